#include "dialsuggestionview.h"

#include <QItemSelectionModel>

DialSuggestionView::DialSuggestionView(QWidget *parent)
    : QListView(parent)
{
    // As the completer sets up a list of its own.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void DialSuggestionView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    if (current.isValid() && !selectionModel()->isSelected(current)) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        return;
    }
    QListView::currentChanged(current, previous);
}
