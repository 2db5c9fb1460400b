#include "dialsuggestionfilter.h"

#include "dialsuggestionmodel.h"

#include <QVariant>

#include <algorithm>

namespace {
//! The matches of earlier texts kept at most (in rows, together): a key taken back after a long
//! text finds them; beyond that it searches again.
constexpr int earlierRowsKept = 1 << 21;
}

DialSuggestionFilter::DialSuggestionFilter(DialSuggestionModel *source, QObject *parent)
    : QAbstractProxyModel(parent)
    , m_source(source)
    , m_count(source->rowCount())
{
    setSourceModel(source);
    connect(source, &QAbstractItemModel::rowsInserted, this, &DialSuggestionFilter::sourceRowsInserted);
    connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            &DialSuggestionFilter::sourceRowsAboutToBeRemoved);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &DialSuggestionFilter::sourceRowsRemoved);
    connect(source, &QAbstractItemModel::dataChanged, this, &DialSuggestionFilter::sourceDataChanged);
}

void DialSuggestionFilter::setFilterText(const QString &text)
{
    if (text == m_text)
        return;
    const QString needle = text.toCaseFolded();
    beginResetModel();
    m_matchText = m_text + QLatin1Char('\n') + text;
    m_text = text;
    if (needle.isEmpty()) {
        m_all = true;
        m_count = m_source->rowCount();
        m_rows.clear();
        m_earlier.clear();
    } else {
        // What the new text extends narrows; what it does not extend is dropped.
        if (!m_all)
            m_earlier.append({m_needle, std::move(m_rows)});
        while (!m_earlier.isEmpty() && !needle.startsWith(m_earlier.constLast().first))
            m_earlier.removeLast();
        m_needle = needle;
        prepare();
        if (!m_earlier.isEmpty() && m_earlier.constLast().first == needle)
            m_rows = m_earlier.takeLast().second;
        else
            m_rows = matchesAmong(m_earlier.isEmpty() ? nullptr : &m_earlier.constLast().second);
        m_all = false;
        int kept = 0;
        for (const auto &earlier : qAsConst(m_earlier))
            kept += earlier.second.size();
        while (kept > earlierRowsKept) {
            kept -= m_earlier.constFirst().second.size();
            m_earlier.removeFirst();
        }
    }
    m_needle = needle;
    endResetModel();
}

void DialSuggestionFilter::prepare()
{
    const int rows = m_source->rowCount();
    if (m_stale) {
        m_keys.clear();
        m_stale = false;
    }
    for (int row = m_keys.size(); row < rows; ++row)
        m_keys.append(m_source->index(row, DialSuggestionModel::LineColumn).data().toString());
}

QVector<int> DialSuggestionFilter::matchesAmong(const QVector<int> *candidates) const
{
    if (!candidates)
        return m_keys.findAll(m_needle);
    QVector<int> found;
    for (const int row : *candidates) {
        if (m_keys.contains(row, m_needle))
            found.append(row);
    }
    return found;
}

QModelIndex DialSuggestionFilter::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex DialSuggestionFilter::parent(const QModelIndex &child) const
{
    Q_UNUSED(child)
    return {};
}

int DialSuggestionFilter::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_all ? m_count : m_rows.size();
}

int DialSuggestionFilter::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_source->columnCount();
}

QModelIndex DialSuggestionFilter::mapToSource(const QModelIndex &proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.model() != this)
        return {};
    return m_source->index(sourceRow(proxyIndex.row()), proxyIndex.column());
}

QModelIndex DialSuggestionFilter::mapFromSource(const QModelIndex &sourceIndex) const
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

QVariant DialSuggestionFilter::data(const QModelIndex &index, int role) const
{
    if (role == MatchRole)
        return index.isValid() ? QVariant(m_matchText) : QVariant();
    return m_source->data(mapToSource(index), role);
}

Qt::ItemFlags DialSuggestionFilter::flags(const QModelIndex &index) const
{
    return m_source->flags(mapToSource(index));
}

void DialSuggestionFilter::sourceRowsInserted(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    m_earlier.clear();
    const int count = last - first + 1;
    // Rows come at the end, as contacts arrive: their keys are prepared as they come.
    if (first != m_keys.size())
        m_stale = true;
    if (m_all) {
        if (!m_stale)
            prepare();
        beginInsertRows(QModelIndex(), first, last);
        m_count += count;
        endInsertRows();
        return;
    }
    prepare();
    const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), first);
    const int position = int(at - m_rows.begin());
    for (auto it = at; it != m_rows.end(); ++it)
        *it += count;
    QVector<int> added;
    for (int row = first; row <= last; ++row) {
        if (m_keys.contains(row, m_needle))
            added.append(row);
    }
    if (added.isEmpty())
        return;
    beginInsertRows(QModelIndex(), position, position + added.size() - 1);
    m_rows.insert(position, added.size(), 0);
    std::copy(added.cbegin(), added.cend(), m_rows.begin() + position);
    endInsertRows();
}

void DialSuggestionFilter::sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
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

void DialSuggestionFilter::sourceRowsRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    m_earlier.clear();
    m_stale = true; // made anew when next needed: a book going takes its contacts one by one
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

void DialSuggestionFilter::sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                             const QVector<int> &roles)
{
    m_earlier.clear();
    m_stale = true;
    if (m_all) {
        emit dataChanged(mapFromSource(topLeft), mapFromSource(bottomRight), roles);
        return;
    }
    prepare();
    // A row that starts or stops matching changes the rows here: seldom, so all are found anew.
    const auto from = std::lower_bound(m_rows.cbegin(), m_rows.cend(), topLeft.row());
    const auto to = std::upper_bound(m_rows.cbegin(), m_rows.cend(), bottomRight.row());
    int matching = 0;
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
        matching += m_keys.contains(row, m_needle) ? 1 : 0;
    bool same = matching == int(to - from);
    for (auto it = from; same && it != to; ++it)
        same = m_keys.contains(*it, m_needle);
    if (!same) {
        beginResetModel();
        m_rows = matchesAmong(nullptr);
        endResetModel();
        return;
    }
    if (from != to)
        emit dataChanged(index(int(from - m_rows.cbegin()), topLeft.column()),
                         index(int(to - m_rows.cbegin()) - 1, bottomRight.column()), roles);
}
