#pragma once

#include <QAccessibleWidget>

class RollOverPopUp;

//! The pop-up as screen readers see it. It takes no focus, so they read it as it appears: as a
//! notification when it tells of a call, as a mere alert when it only replaces one telling the
//! same (a screen reader reads a notification each time one appears). Its name and description
//! carry what its labels show, so the labels are not offered again as its children: a screen
//! reader would read the caller twice.
class RollOverPopUpAccessible final : public QAccessibleWidget
{
public:
    explicit RollOverPopUpAccessible(RollOverPopUp *popUp);

    QAccessible::Role role() const override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
};
