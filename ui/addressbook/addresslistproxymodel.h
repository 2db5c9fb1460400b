#pragma once

#include <QRegExp>
#include <QSortFilterProxyModel>
#include <QString>

class AddressListModel;

//! The search over an address book tab's rows: a wildcard pattern (* ? [..]) matched
//! case-insensitively anywhere in any column. Over an AddressListModel, which keeps its rows in
//! sort order itself, sorting goes to that model, and the search reads the texts directly: a
//! keystroke filters every row of the book. Over any other model it is a plain proxy.
class AddressListProxyModel final : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY(AddressListProxyModel)

public:
    explicit AddressListProxyModel(QObject *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    //! An empty pattern shows every row.
    void setSearchWildcard(const QString &pattern);
    QString searchWildcard() const { return m_pattern; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    bool matches(const QString &text) const;

    AddressListModel *m_list = nullptr;
    QString m_pattern;
    //! A pattern without wildcard characters is a plain substring search, which gives what the
    //! wildcard expression gives, several times faster.
    bool m_plain = true;
    mutable QRegExp m_regExp;
};
