#include "runninglineaccessible.h"

#include "runninglineview.h"

RunningLineAccessible::RunningLineAccessible(RunningLineView *view)
    : QAccessibleWidget(view, QAccessible::Grouping)
{
}

QString RunningLineAccessible::text(QAccessible::Text t) const
{
    const auto *view = static_cast<const RunningLineView *>(widget());
    switch (t) {
    case QAccessible::Name:
        return view->spokenName();
    case QAccessible::Description:
        return view->spokenDescription();
    default:
        return QAccessibleWidget::text(t);
    }
}
