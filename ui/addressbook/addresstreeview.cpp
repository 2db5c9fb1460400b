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
    // QTreeView's own handling less the focus event it sends (and less the repaint of whole rows
    // that only a view showing the focus across all columns needs: this one does not).
    QAbstractItemView::currentChanged(current, previous);
}
