#pragma once

#include <QSortFilterProxyModel>

//! The conversations list's sorting proxy. Its rows are read-only and have no children; it says
//! so itself, without asking the source: a view asks every row's flags on each layout, and with a
//! long history sorted apart from its arrival order each such question is a walk through memory.
class UCConversationsProxyModel final : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY(UCConversationsProxyModel)

public:
    static constexpr Qt::ItemFlags rowFlags = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;

    using QSortFilterProxyModel::QSortFilterProxyModel;

    Qt::ItemFlags flags(const QModelIndex &index) const override;
    //! A screen reader reads a row as its two painted lines say it, not by its bare date.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
};
