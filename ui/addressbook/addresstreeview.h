#pragma once

#include <QTreeView>

//! The address list. Qt's views tell screen readers of every change of the current row as a
//! change of focus; this one does so only while its window is the active one, so contacts arriving
//! or changing in a hidden or background address book do not take the screen reader away from
//! where the user types.
class AddressTreeView final : public QTreeView
{
    Q_OBJECT
    Q_DISABLE_COPY(AddressTreeView)

public:
    explicit AddressTreeView(QWidget *parent = nullptr);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
};
