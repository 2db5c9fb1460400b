#include "dialcompleter.h"

#include "dialcompleteritemdelegate.h"
#include "dialsuggestionfilter.h"
#include "dialsuggestionview.h"

#include <QLineEdit>

DialCompleter::DialCompleter(QObject *parent)
    : QCompleter(parent)
{
}

QString DialCompleter::pathFromIndex(const QModelIndex &index) const
{
    return index.data(CompleteRole).toString();
}

DialCompleter *DialCompleter::attach(QLineEdit *field, DialSuggestionModel *model, QWidget *parent)
{
    auto *completer = new DialCompleter(parent);
    completer->setMaxVisibleItems(maxVisibleSuggestions);
    completer->setCompletionColumn(0);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    // The filter narrows the rows before the completer looks (the field tells of an edit before
    // it asks the completer), so the completer shows all it is given and never searches or counts
    // the rows itself; where it still looks for a first match, the first row has one.
    auto *filter = new DialSuggestionFilter(model, completer);
    connect(field, &QLineEdit::textEdited, filter, &DialSuggestionFilter::setFilterText);
    completer->setCompletionRole(DialSuggestionFilter::MatchRole);
    completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    completer->setModel(filter);

    auto *popup = new DialSuggestionView;
    completer->setPopup(popup);
    popup->setItemDelegate(new DialCompleterItemDelegate(popup));
    // A short typed text can match hundreds of thousands of rows: with one row height for all,
    // the list lays them out without asking each row for its size.
    popup->setUniformItemSizes(true);

    field->setCompleter(completer);
    return completer;
}
