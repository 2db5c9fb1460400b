#pragma once

#include "foldedtexts.h"
#include "matchingrowsproxymodel.h"

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
class DialSuggestionFilter final : public MatchingRowsProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY(DialSuggestionFilter)

public:
    //! The role the completer matches on: the same for every row.
    static constexpr int MatchRole = Qt::UserRole + 2;

    explicit DialSuggestionFilter(DialSuggestionModel *source, QObject *parent = nullptr);

    void setFilterText(const QString &text);
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

protected:
    bool matchesRow(int sourceRow) const override;
    void sourceRowsArrived(int first, int last) override;
    void sourceRowsLeft(int first, int last) override;
    void sourceRowsChanged(int first, int last) override;

private:
    //! Folds and appends the source's rows from the first not yet prepared on.
    void prepare();
    //! The matches among the given source rows, or among all of them.
    QVector<int> matchesAmong(const QVector<int> *candidates) const;

    DialSuggestionModel *m_source;
    QString m_text;
    QString m_needle; // m_text case-folded
    QString m_matchText; // the text before, a line feed, the text now
    //! The matches of shorter texts typed on the way here, shortest first.
    EarlierRows m_earlier;
    //! Every source row's line, folded for the search. Rows that change or go make it anew.
    FoldedTexts m_keys;
    bool m_stale = false;
};
