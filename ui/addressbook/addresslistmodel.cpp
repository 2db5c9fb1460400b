#include "addresslistmodel.h"

AddressListModel::AddressListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int AddressListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int AddressListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AddressListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return text(index.row(), index.column());
}

QVariant AddressListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_headerTexts.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_headerTexts.at(section);
}

Qt::ItemFlags AddressListModel::flags(const QModelIndex &index) const
{
    // Neither editable nor draggable.
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}

void AddressListModel::setHeaderTexts(const QStringList &texts)
{
    m_headerTexts = texts;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void AddressListModel::appendRows(const QVector<Row> &rows)
{
    QVector<Row> fresh;
    fresh.reserve(rows.size());
    QHash<QString, int> added;
    for (const Row &row : rows) {
        if (m_rowById.contains(row.id) || added.contains(row.id))
            continue;
        added.insert(row.id, 0);
        fresh.append(row);
    }
    if (fresh.isEmpty())
        return;
    const int first = m_rows.size();
    beginInsertRows(QModelIndex(), first, first + fresh.size() - 1);
    m_rows.reserve(first + fresh.size());
    for (const Row &row : qAsConst(fresh)) {
        m_rowById.insert(row.id, m_rows.size());
        m_rows.append(row);
    }
    endInsertRows();
}

int AddressListModel::rowOf(const QString &id) const
{
    return m_rowById.value(id, -1);
}

bool AddressListModel::updateRow(const Row &row)
{
    const int index = rowOf(row.id);
    if (index < 0)
        return false;
    Row &stored = m_rows[index];
    if (stored.firstName == row.firstName && stored.lastName == row.lastName && stored.company == row.company)
        return true;
    stored.firstName = row.firstName;
    stored.lastName = row.lastName;
    stored.company = row.company;
    emit dataChanged(this->index(index, FirstNameColumn), this->index(index, CompanyColumn));
    return true;
}

bool AddressListModel::removeRowOf(const QString &id)
{
    const int index = rowOf(id);
    if (index < 0)
        return false;
    beginRemoveRows(QModelIndex(), index, index);
    m_rows.remove(index);
    m_rowById.remove(id);
    for (int row = index; row < m_rows.size(); ++row)
        m_rowById[m_rows.at(row).id] = row;
    endRemoveRows();
    return true;
}

const QString &AddressListModel::text(int row, int column) const
{
    const Row &r = m_rows.at(row);
    switch (column) {
    case IdColumn:
        return r.id;
    case FirstNameColumn:
        return r.firstName;
    case LastNameColumn:
        return r.lastName;
    case CompanyColumn:
        return r.company;
    default:
        break;
    }
    static const QString none;
    return none;
}
