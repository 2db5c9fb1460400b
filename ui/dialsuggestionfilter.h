#pragma once

#include "foldedtexts.h"

#include <QAbstractProxyModel>
#include <QPair>
#include <QString>
#include <QVector>

class DialSuggestionModel;

//! The dial field's suggestions narrowed to what the user typed: the rows of the suggestion model
//! whose line contains the text, compared case-insensitively, in the model's order. A key that
//! extends the text narrows the matches of the text before it; a key taken back finds the matches
//! it had. The completer on top is told that every row matches: MatchRole holds the text typed
//! before and the text now, so also its look with the text before, as the rows change, ends at
//! the first row.
class DialSuggestionFilter final : public QAbstractProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY(DialSuggestionFilter)

public:
    //! The role the completer matches on: the same for every row.
    static constexpr int MatchRole = Qt::UserRole + 2;

    explicit DialSuggestionFilter(DialSuggestionModel *source, QObject *parent = nullptr);

    void setFilterText(const QString &text);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    //! Folds and appends the source's rows from the first not yet prepared on.
    void prepare();
    //! The matches among the given source rows, or among all of them.
    QVector<int> matchesAmong(const QVector<int> *candidates) const;
    int sourceRow(int row) const { return m_all ? row : m_rows.at(row); }
    void sourceRowsInserted(const QModelIndex &parent, int first, int last);
    void sourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void sourceRowsRemoved(const QModelIndex &parent, int first, int last);
    void sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QVector<int> &roles);

    DialSuggestionModel *m_source;
    QString m_text;
    QString m_needle; // m_text case-folded
    QString m_matchText; // the text before, a line feed, the text now
    //! No text: every row, in place. Else the source rows that match, ascending.
    bool m_all = true;
    int m_count = 0; // the rows while there is no text
    QVector<int> m_rows;
    //! The matches of shorter texts typed on the way here, shortest first.
    QVector<QPair<QString, QVector<int>>> m_earlier;
    //! Every source row's line, folded for the search. Rows that change or go make it anew.
    FoldedTexts m_keys;
    bool m_stale = false;
    //! A removal in the source, between its announcement and its end: the rows it takes here.
    int m_removingFirst = -1;
    int m_removingLast = -1;
};
