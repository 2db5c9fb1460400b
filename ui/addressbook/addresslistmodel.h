#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <vector>

//! The rows of an address book tab: one per contact, four columns (id, first name, last name,
//! company), plain texts only, kept in sort order (case-insensitive, ties in the order the
//! contacts came). A table of its own rather than a QStandardItemModel with a sorting proxy:
//! a book of 100,000 contacts would cost four items each, and rows come in by the thousand;
//! a batch is merged into the sorted rows in one pass instead of being sorted in row by row,
//! and no full sort waits at the end of loading.
class AddressListModel final : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY(AddressListModel)

public:
    enum Column { IdColumn = 0, FirstNameColumn = 1, LastNameColumn = 2, CompanyColumn = 3, ColumnCount = 4 };

    struct Row
    {
        QString id;
        QString firstName;
        QString lastName;
        QString company;
    };

    explicit AddressListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    //! Reorders the rows; -1: the order in which they came.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    void setHeaderTexts(const QStringList &texts);
    //! Ids already listed are skipped; the others join in their sorted places.
    void appendRows(const QVector<Row> &rows);
    //! -1 when the id is not listed.
    int rowOf(const QString &id) const;
    //! Replaces the three name texts of the row of that id (which may move); false when it is not listed.
    bool updateRow(const Row &row);
    bool removeRowOf(const QString &id);

    //! The text of a cell, for the proxy's search without going through QVariant.
    const QString &text(int row, int column) const;
    //! Entries are the rows in the order they came: an entry keeps its number while rows move,
    //! until an entry before it goes. New ones are numbered on from the last.
    int entryCount() const { return m_entries.size(); }
    int entryAt(int row) const { return m_order.at(size_t(row)); }
    const QString &entryText(int entry, int column) const { return cell(m_entries.at(entry).row, column); }
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

private:
    struct Entry
    {
        Row row;
        quint64 arrival;
        //! The sort column's text case-folded: compared as it is, it orders as a case-insensitive
        //! comparison of the texts does, several times faster, and batches are sorted in by it.
        QString key;
    };
    static const QString &cell(const Row &row, int column);
    bool lessThan(int left, int right) const;
    QString sortKey(const Row &row) const;
    //! Puts the row order into effect: positions, then the views' persistent indexes.
    void reorder(std::vector<int> order);
    void rebuildPositions();

    QVector<Entry> m_entries;      // in the order they came
    std::vector<int> m_order;      // entry index of each row
    std::vector<int> m_position;   // row of each entry
    QHash<QString, int> m_entryById;
    quint64 m_arrivals = 0;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QStringList m_headerTexts;
};
