#pragma once

#include <QAbstractProxyModel>
#include <QPair>
#include <QString>
#include <QVector>

//! A proxy over a flat model that shows all of its rows or those that match, in the source's
//! order: a search list's rows without a sorting proxy's mappings. Subclasses say what matches
//! and set the rows when their search changes; rows that come, go or change in the source come,
//! go or change here.
class MatchingRowsProxyModel : public QAbstractProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY(MatchingRowsProxyModel)

public:
    explicit MatchingRowsProxyModel(QAbstractItemModel *source, QObject *parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;

protected:
    //! The rows of shorter searches typed on the way to this one, oldest first: a key that
    //! extends a search narrows their rows, a key taken back finds them again.
    using EarlierRows = QVector<QPair<QString, QVector<int>>>;
    //! Drops the oldest until they hold at most about two million rows together.
    static void trimEarlier(EarlierRows &earlier);

    //! Whether a source row matches the search; asked only while one is set.
    virtual bool matchesRow(int sourceRow) const = 0;
    //! Told before the rows here follow a change in the source.
    virtual void sourceRowsArrived(int first, int last) = 0;
    virtual void sourceRowsLeaving(int first, int last);
    virtual void sourceRowsLeft(int first, int last) = 0;
    virtual void sourceRowsChanged(int first, int last) = 0;

    //! Every source row, in place; or the given source rows, ascending. Called between the
    //! subclass's announcements of a reset or layout change.
    void showAll();
    void showRows(QVector<int> rows);
    bool showsAll() const { return m_all; }
    const QVector<int> &shownRows() const { return m_rows; }
    int sourceRow(int row) const { return m_all ? row : m_rows.at(row); }

private:
    void onRowsInserted(const QModelIndex &parent, int first, int last);
    void onRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void onRowsRemoved(const QModelIndex &parent, int first, int last);
    void onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QVector<int> &roles);

    QAbstractItemModel *m_source;
    bool m_all = true;
    int m_count = 0; // the rows while all are shown
    QVector<int> m_rows;
    //! A removal in the source, between its announcement and its end: the rows it takes here.
    int m_removingFirst = -1;
    int m_removingLast = -1;
};
