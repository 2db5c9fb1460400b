#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

//! The rows of an address book tab: one per contact, four columns (id, first name, last name,
//! company), plain texts only. A table of its own rather than a QStandardItemModel: a book of
//! 100,000 contacts would cost four items each, and rows come in by the thousand, appended in
//! one insertion per batch. Rows are found by contact id.
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

    void setHeaderTexts(const QStringList &texts);
    //! One insertion at the end for all of them; ids already listed are skipped.
    void appendRows(const QVector<Row> &rows);
    //! -1 when the id is not listed.
    int rowOf(const QString &id) const;
    //! Replaces the three name texts of the row of that id; false when it is not listed.
    bool updateRow(const Row &row);
    bool removeRowOf(const QString &id);

    //! The text of a cell, for the proxy's comparisons without going through QVariant.
    const QString &text(int row, int column) const;

private:
    QVector<Row> m_rows;
    QHash<QString, int> m_rowById;
    QStringList m_headerTexts;
};
