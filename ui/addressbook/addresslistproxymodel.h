#pragma once

#include "foldedtexts.h"
#include "matchingrowsproxymodel.h"

#include <QPair>
#include <QPersistentModelIndex>
#include <QRegExp>
#include <QString>
#include <QVector>

class AddressListModel;

//! The search over an address book tab's rows: a wildcard pattern (* ? [..]) matched
//! case-insensitively anywhere in any column; an empty pattern shows every row. Rows keep the
//! list model's order, which sorts itself. A book of 100,000 contacts is searched at typing speed:
//! each contact's texts are folded for the search once, as it comes; a key that extends a pattern
//! without wildcards narrows the rows it had, a key taken back finds its earlier rows again, and
//! a wildcard pattern is tried only on rows that hold its plain letters.
class AddressListProxyModel final : public MatchingRowsProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY(AddressListProxyModel)

public:
    explicit AddressListProxyModel(AddressListModel *source, QObject *parent = nullptr);

    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    void setSearchWildcard(const QString &pattern);
    QString searchWildcard() const { return m_pattern; }

    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

protected:
    bool matchesRow(int sourceRow) const override;
    void sourceRowsArrived(int first, int last) override;
    void sourceRowsLeaving(int first, int last) override;
    void sourceRowsLeft(int first, int last) override;
    void sourceRowsChanged(int first, int last) override;

private:
    //! The entry's texts, all columns, as one text for the search: a needle without nulls
    //! cannot match across two of them.
    QString searchText(int entry) const;
    //! Folds the texts of the entries not prepared yet.
    void prepare();
    //! The rows that match now, from the rows of earlier patterns where they can tell.
    QVector<int> filter();
    //! The source rows, ascending, of the given entries.
    QVector<int> rowsOfEntries(const QVector<int> &entries) const;
    //! The longest run of the wildcard pattern's plain letters every match must hold, folded;
    //! empty when there is none to trust.
    QString requiredText() const;

    //! Our rows change while the views' persistent indexes follow their source rows.
    void beginLayoutChange();
    void endLayoutChange();
    void sourceLayoutAboutToBeChanged();
    void sourceLayoutChanged();

    AddressListModel *m_list;
    QString m_pattern;
    //! A pattern without wildcard characters (and without nulls) is searched in the folded texts.
    bool m_plain = true;
    QString m_needle; // the plain pattern folded
    QRegExp m_regExp;
    //! A pattern of ASCII letters, stars and question marks only, folded, with a star either side.
    QString m_glob;
    //! What requiredText() gives for the pattern.
    QString m_required;
    //! Patterns without brackets or backslashes only; gone with any change of the rows.
    EarlierRows m_earlier;
    //! Every entry's texts, folded.
    FoldedTexts m_keys;
    //! Across a change of our rows: our persistent indexes and their source rows; the entries
    //! that matched, across a change of the source's order.
    QModelIndexList m_layoutProxy;
    QList<QPersistentModelIndex> m_layoutSource;
    QVector<int> m_layoutEntries;
    //! The entries a removal in the source takes, between its announcement and its end.
    QVector<int> m_removingEntries;
};
