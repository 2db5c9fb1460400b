#include "dialcompleter.h"

#include "dialcompleteritemdelegate.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QListView>

DialCompleter::DialCompleter(QObject *parent)
    : QCompleter(parent)
{
}

QString DialCompleter::pathFromIndex(const QModelIndex &index) const
{
    return index.data(CompleteRole).toString();
}

DialCompleter *DialCompleter::attach(QLineEdit *field, QAbstractItemModel *model, QWidget *parent)
{
    auto *completer = new DialCompleter(parent);
    completer->setMaxVisibleItems(maxVisibleSuggestions);
    completer->setCompletionColumn(0);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    completer->setModel(model);

    QAbstractItemView *popup = completer->popup();
    popup->setItemDelegate(new DialCompleterItemDelegate(popup));
    // A short typed text can match hundreds of thousands of rows: with one row height for all,
    // the list lays them out without asking each row for its size.
    if (auto *list = qobject_cast<QListView *>(popup))
        list->setUniformItemSizes(true);

    field->setCompleter(completer);
    return completer;
}
