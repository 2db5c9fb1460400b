#include "addresstreeview.h"

AddressTreeView::AddressTreeView(QWidget *parent)
    : QTreeView(parent)
{
}

void AddressTreeView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // The search field keeps the keyboard while its arrows choose a row here: that row is told.
    if (isVisible() && isActiveWindow()) {
        QTreeView::currentChanged(current, previous);
        return;
    }
    // QTreeView's own handling less the focus event it sends.
    QAbstractItemView::currentChanged(current, previous);
    if (allColumnsShowFocus()) {
        for (const QModelIndex &index : {previous, current}) {
            if (index.isValid())
                viewport()->update(QRect(0, visualRect(index).y(), viewport()->width(), visualRect(index).height()));
        }
    }
}
