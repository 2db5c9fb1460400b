#include "rolloverpopupaccessible.h"

#include "rolloverpopup.h"

RollOverPopUpAccessible::RollOverPopUpAccessible(RollOverPopUp *popUp)
    : QAccessibleWidget(popUp, QAccessible::AlertMessage)
{
}

QAccessible::Role RollOverPopUpAccessible::role() const
{
    return static_cast<const RollOverPopUp *>(object())->isTold() ? QAccessible::Notification
                                                                   : QAccessible::AlertMessage;
}

int RollOverPopUpAccessible::childCount() const
{
    return 0;
}

QAccessibleInterface *RollOverPopUpAccessible::child(int index) const
{
    Q_UNUSED(index)
    return nullptr;
}

int RollOverPopUpAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    Q_UNUSED(child)
    return -1;
}

QAccessibleInterface *RollOverPopUpAccessible::childAt(int x, int y) const
{
    Q_UNUSED(x)
    Q_UNUSED(y)
    return nullptr;
}
