#include "accessiblefactory.h"

#include "clickablelabel.h"
#include "clickablelabelaccessible.h"
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
    // Shown without taking the focus: read out as an alert as it appears.
    if (className == QLatin1String("RollOverPopUp"))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::AlertMessage);
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
