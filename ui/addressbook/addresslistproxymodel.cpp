#include "addresslistproxymodel.h"

#include "addresslistmodel.h"

AddressListProxyModel::AddressListProxyModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
    setFilterKeyColumn(-1);
    setDynamicSortFilter(true);
}

void AddressListProxyModel::setSourceModel(QAbstractItemModel *model)
{
    m_list = qobject_cast<AddressListModel *>(model);
    QSortFilterProxyModel::setSourceModel(model);
}

void AddressListProxyModel::sort(int column, Qt::SortOrder order)
{
    if (m_list)
        m_list->sort(column, order);
    else
        QSortFilterProxyModel::sort(column, order);
}

void AddressListProxyModel::setSearchWildcard(const QString &pattern)
{
    if (pattern == m_pattern)
        return;
    m_pattern = pattern;
    m_plain = true;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('[') || c == QLatin1Char(']')
            || c == QLatin1Char('\\')) {
            m_plain = false;
            break;
        }
    }
    m_regExp = QRegExp(pattern, Qt::CaseInsensitive, QRegExp::Wildcard);
    // Filtering every row afresh in one pass beats taking out and putting back each run of rows
    // that changed, and tells the view once.
    invalidate();
}

bool AddressListProxyModel::matches(const QString &text) const
{
    return m_plain ? text.contains(m_pattern, Qt::CaseInsensitive) : m_regExp.indexIn(text) != -1;
}

bool AddressListProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_pattern.isEmpty())
        return true;
    if (m_list && !sourceParent.isValid()) {
        for (int column = 0; column < AddressListModel::ColumnCount; ++column) {
            if (matches(m_list->text(sourceRow, column)))
                return true;
        }
        return false;
    }
    const QAbstractItemModel *model = sourceModel();
    for (int column = 0; column < model->columnCount(sourceParent); ++column) {
        if (matches(model->index(sourceRow, column, sourceParent).data(filterRole()).toString()))
            return true;
    }
    return false;
}
