#include "accessiblefactory.h"

#include "clickablelabel.h"
#include "clickablelabelaccessible.h"
#include "rolloverpopup.h"
#include "rolloverpopupaccessible.h"
#include "runninglineaccessible.h"
#include "runninglineview.h"

#include <QAccessibleWidget>


namespace {
QAccessibleInterface *create(const QString &className, QObject *object)
{
    if (className == QLatin1String("ClickableLabel"))
        return new ClickableLabelAccessible(static_cast<ClickableLabel *>(object));
    if (className == QLatin1String("RunningLineView"))
        return new RunningLineAccessible(static_cast<RunningLineView *>(object));
    if (className == QLatin1String("Announcer"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    if (className == QLatin1String("RollOverPopUp"))
        return new RollOverPopUpAccessible(static_cast<RollOverPopUp *>(object));
    return nullptr;
}
}

void AccessibleFactory::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(create);
        return true;
    }();
    Q_UNUSED(installed)
}
