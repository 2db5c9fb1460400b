#pragma once

#include <QCompleter>

class DialSuggestionModel;
class QLineEdit;
class QWidget;

//! Completes the dial field from the contacts' numbers; choosing a suggestion inserts the bare
//! number kept in CompleteRole, not the suggestion's text.
class DialCompleter final : public QCompleter
{
    Q_OBJECT
    Q_DISABLE_COPY(DialCompleter)

public:
    static constexpr int CompleteRole = Qt::UserRole + 1;
    static constexpr int maxVisibleSuggestions = 15;

    explicit DialCompleter(QObject *parent = nullptr);

    QString pathFromIndex(const QModelIndex &index) const override;

    //! The dial field's completer, set up and attached to the field: at most 15 rows visible,
    //! the rows whose column 0 contains the typed text, case-insensitively (narrowed by a
    //! DialSuggestionFilter as the user types), drawn by a DialCompleterItemDelegate. The parent
    //! owns the completer; the model stays the caller's.
    static DialCompleter *attach(QLineEdit *field, DialSuggestionModel *model, QWidget *parent);
};
