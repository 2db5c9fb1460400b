#pragma once

#include <QListView>

//! The dial field's list of suggestions. Given rows already narrowed, the completer shows them all
//! and makes the first one current; Enter would then take it instead of dialling what was typed,
//! and a screen reader would read it at every key. Here a row is current only once the arrows
//! chose (selected) it.
class DialSuggestionView final : public QListView
{
    Q_OBJECT
    Q_DISABLE_COPY(DialSuggestionView)

public:
    explicit DialSuggestionView(QWidget *parent = nullptr);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
};
