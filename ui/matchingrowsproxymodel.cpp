#include "matchingrowsproxymodel.h"

#include <algorithm>

MatchingRowsProxyModel::MatchingRowsProxyModel(QAbstractItemModel *source, QObject *parent)
    : QAbstractProxyModel(parent)
    , m_source(source)
    , m_count(source->rowCount())
{
    QAbstractProxyModel::setSourceModel(source);
    connect(source, &QAbstractItemModel::rowsInserted, this, &MatchingRowsProxyModel::onRowsInserted);
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, &MatchingRowsProxyModel::onRowsAboutToBeRemoved);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &MatchingRowsProxyModel::onRowsRemoved);
    connect(source, &QAbstractItemModel::dataChanged, this, &MatchingRowsProxyModel::onDataChanged);
}

void MatchingRowsProxyModel::trimEarlier(EarlierRows &earlier)
{
    constexpr int rowsKept = 1 << 21;
    int kept = 0;
    for (const auto &rows : qAsConst(earlier))
        kept += rows.second.size();
    while (kept > rowsKept) {
        kept -= earlier.constFirst().second.size();
        earlier.removeFirst();
    }
}

void MatchingRowsProxyModel::showAll()
{
    m_all = true;
    m_count = m_source->rowCount();
    m_rows.clear();
}

void MatchingRowsProxyModel::showRows(QVector<int> rows)
{
    m_all = false;
    m_rows = std::move(rows);
}

void MatchingRowsProxyModel::sourceRowsLeaving(int first, int last)
{
    Q_UNUSED(first)
    Q_UNUSED(last)
}

QModelIndex MatchingRowsProxyModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex MatchingRowsProxyModel::parent(const QModelIndex &child) const
{
    Q_UNUSED(child)
    return {};
}

int MatchingRowsProxyModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_all ? m_count : m_rows.size();
}

int MatchingRowsProxyModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_source->columnCount();
}

bool MatchingRowsProxyModel::hasChildren(const QModelIndex &parent) const
{
    return !parent.isValid() && rowCount() > 0;
}

QModelIndex MatchingRowsProxyModel::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.model() != this)
        return {};
    return m_source->index(sourceRow(proxyIndex.row()), proxyIndex.column());
}

QModelIndex MatchingRowsProxyModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.model() != m_source)
        return {};
    if (m_all)
        return index(sourceIndex.row(), sourceIndex.column());
    const auto found = std::lower_bound(m_rows.cbegin(), m_rows.cend(), sourceIndex.row());
    if (found == m_rows.cend() || *found != sourceIndex.row())
        return {};
    return index(int(found - m_rows.cbegin()), sourceIndex.column());
}

void MatchingRowsProxyModel::onRowsInserted(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    sourceRowsArrived(first, last);
    const int count = last - first + 1;
    if (m_all) {
        beginInsertRows(QModelIndex(), first, last);
        m_count += count;
        endInsertRows();
        return;
    }
    const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), first);
    const int position = int(at - m_rows.begin());
    for (auto it = at; it != m_rows.end(); ++it)
        *it += count;
    QVector<int> added;
    for (int row = first; row <= last; ++row) {
        if (matchesRow(row))
            added.append(row);
    }
    if (added.isEmpty())
        return;
    beginInsertRows(QModelIndex(), position, position + added.size() - 1);
    m_rows.insert(position, added.size(), 0);
    std::copy(added.cbegin(), added.cend(), m_rows.begin() + position);
    endInsertRows();
}

void MatchingRowsProxyModel::onRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    sourceRowsLeaving(first, last);
    if (m_all) {
        m_removingFirst = first;
        m_removingLast = last;
    } else {
        m_removingFirst = int(std::lower_bound(m_rows.cbegin(), m_rows.cend(), first) - m_rows.cbegin());
        m_removingLast = int(std::upper_bound(m_rows.cbegin(), m_rows.cend(), last) - m_rows.cbegin()) - 1;
    }
    if (m_removingFirst <= m_removingLast)
        beginRemoveRows(QModelIndex(), m_removingFirst, m_removingLast);
}

void MatchingRowsProxyModel::onRowsRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    sourceRowsLeft(first, last);
    const int count = last - first + 1;
    const bool announced = m_removingFirst <= m_removingLast;
    if (m_all) {
        m_count -= count;
    } else {
        if (announced)
            m_rows.erase(m_rows.begin() + m_removingFirst, m_rows.begin() + m_removingLast + 1);
        for (auto it = std::lower_bound(m_rows.begin(), m_rows.end(), first); it != m_rows.end(); ++it)
            *it -= count;
    }
    m_removingFirst = m_removingLast = -1;
    if (announced)
        endRemoveRows();
}

void MatchingRowsProxyModel::onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                           const QVector<int> &roles)
{
    if (!topLeft.isValid() || !bottomRight.isValid() || topLeft.parent().isValid())
        return;
    sourceRowsChanged(topLeft.row(), bottomRight.row());
    if (m_all) {
        emit dataChanged(mapFromSource(topLeft), mapFromSource(bottomRight), roles);
        return;
    }
    // A changed row that starts or stops matching comes or goes here.
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), row);
        const int position = int(at - m_rows.begin());
        const bool listed = at != m_rows.end() && *at == row;
        const bool matching = matchesRow(row);
        if (listed && !matching) {
            beginRemoveRows(QModelIndex(), position, position);
            m_rows.remove(position);
            endRemoveRows();
        } else if (!listed && matching) {
            beginInsertRows(QModelIndex(), position, position);
            m_rows.insert(position, row);
            endInsertRows();
        } else if (listed) {
            emit dataChanged(index(position, topLeft.column()), index(position, bottomRight.column()), roles);
        }
    }
}
