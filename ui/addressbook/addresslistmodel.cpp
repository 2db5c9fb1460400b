#include "addresslistmodel.h"

#include <algorithm>

AddressListModel::AddressListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int AddressListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int AddressListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AddressListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::EditRole))
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

const QString &AddressListModel::cell(const Row &row, int column)
{
    switch (column) {
    case IdColumn:
        return row.id;
    case FirstNameColumn:
        return row.firstName;
    case LastNameColumn:
        return row.lastName;
    case CompanyColumn:
        return row.company;
    default:
        break;
    }
    static const QString none;
    return none;
}

const QString &AddressListModel::text(int row, int column) const
{
    return cell(m_entries.at(m_order.at(row)).row, column);
}

// As a stable sort gives them: equal texts keep the order in which their rows came, either way.
bool AddressListModel::lessThan(int left, int right) const
{
    const Entry &a = m_entries.at(left);
    const Entry &b = m_entries.at(right);
    if (m_sortColumn >= 0) {
        const int compared = a.key.compare(b.key);
        if (compared != 0)
            return m_sortOrder == Qt::AscendingOrder ? compared < 0 : compared > 0;
    }
    return a.arrival < b.arrival;
}

QString AddressListModel::sortKey(const Row &row) const
{
    return m_sortColumn < 0 ? QString() : cell(row, m_sortColumn).toCaseFolded();
}

void AddressListModel::rebuildPositions()
{
    m_position.assign(m_entries.size(), -1);
    for (size_t row = 0; row < m_order.size(); ++row)
        m_position[size_t(m_order[row])] = int(row);
}

void AddressListModel::reorder(std::vector<int> order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QVector<int> entries;
    entries.reserve(before.size());
    for (const QModelIndex &index : before)
        entries.append(m_order.at(size_t(index.row())));
    m_order = std::move(order);
    rebuildPositions();
    QModelIndexList after;
    after.reserve(before.size());
    for (int i = 0; i < before.size(); ++i)
        after.append(index(m_position.at(size_t(entries.at(i))), before.at(i).column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void AddressListModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column >= 0 && column < ColumnCount ? column : -1;
    m_sortOrder = order;
    for (Entry &entry : m_entries)
        entry.key = sortKey(entry.row);
    std::vector<int> sorted = m_order;
    std::stable_sort(sorted.begin(), sorted.end(), [this](int a, int b) { return lessThan(a, b); });
    reorder(std::move(sorted));
}

void AddressListModel::appendRows(const QVector<Row> &rows)
{
    std::vector<int> fresh;
    fresh.reserve(size_t(rows.size()));
    for (const Row &row : rows) {
        if (m_entryById.contains(row.id))
            continue;
        m_entryById.insert(row.id, m_entries.size());
        fresh.push_back(m_entries.size());
        m_entries.append({row, m_arrivals++, sortKey(row)});
    }
    if (fresh.empty())
        return;
    // They join at the end, then move to their places in one merge.
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + int(fresh.size()) - 1);
    m_order.insert(m_order.end(), fresh.cbegin(), fresh.cend());
    rebuildPositions();
    endInsertRows();
    if (m_sortColumn < 0)
        return;
    const auto less = [this](int a, int b) { return lessThan(a, b); };
    std::sort(fresh.begin(), fresh.end(), less);
    // A slice is small against a large book: each new row's place is searched for, and the
    // listed rows between two places are copied, not compared one by one.
    std::vector<int> merged;
    merged.reserve(m_order.size());
    auto from = m_order.cbegin();
    const auto listed = m_order.cbegin() + first;
    for (const int entry : fresh) {
        const auto place = std::lower_bound(from, listed, entry, less);
        merged.insert(merged.end(), from, place);
        merged.push_back(entry);
        from = place;
    }
    merged.insert(merged.end(), from, listed);
    if (merged != m_order)
        reorder(std::move(merged));
}

int AddressListModel::rowOf(const QString &id) const
{
    const auto entry = m_entryById.constFind(id);
    return entry == m_entryById.cend() ? -1 : m_position.at(size_t(*entry));
}

bool AddressListModel::updateRow(const Row &row)
{
    const auto found = m_entryById.constFind(row.id);
    if (found == m_entryById.cend())
        return false;
    const int entry = *found;
    Row &stored = m_entries[entry].row;
    if (stored.firstName == row.firstName && stored.lastName == row.lastName && stored.company == row.company)
        return true;
    stored.firstName = row.firstName;
    stored.lastName = row.lastName;
    stored.company = row.company;
    m_entries[entry].key = sortKey(stored);
    const int at = m_position.at(size_t(entry));
    emit dataChanged(index(at, FirstNameColumn), index(at, CompanyColumn));
    if (m_sortColumn < 0)
        return true;
    // The row moves to where its new text belongs.
    std::vector<int> order = m_order;
    order.erase(order.begin() + at);
    const auto place = std::lower_bound(order.begin(), order.end(), entry,
                                        [this](int a, int b) { return lessThan(a, b); });
    order.insert(place, entry);
    if (order != m_order)
        reorder(std::move(order));
    return true;
}

bool AddressListModel::removeRowOf(const QString &id)
{
    const auto found = m_entryById.constFind(id);
    if (found == m_entryById.cend())
        return false;
    const int entry = *found;
    const int at = m_position.at(size_t(entry));
    beginRemoveRows(QModelIndex(), at, at);
    m_order.erase(m_order.begin() + at);
    for (int &other : m_order) {
        if (other > entry)
            --other;
    }
    m_entries.remove(entry);
    m_entryById.remove(id);
    for (auto it = m_entryById.begin(); it != m_entryById.end(); ++it) {
        if (*it > entry)
            --*it;
    }
    rebuildPositions();
    endRemoveRows();
    return true;
}
