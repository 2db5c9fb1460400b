#include "clickablelabelaccessible.h"

#include "accessiblenames.h"
#include "clickablelabel.h"

ClickableLabelAccessible::ClickableLabelAccessible(ClickableLabel *label)
    : QAccessibleWidget(label)
{
}

QAccessible::Role ClickableLabelAccessible::role() const
{
    if (isButton())
        return QAccessible::Button;
    return label()->pixmap(Qt::ReturnByValue).isNull() ? QAccessible::StaticText : QAccessible::Graphic;
}

QString ClickableLabelAccessible::text(QAccessible::Text type) const
{
    if (type != QAccessible::Name || !widget()->accessibleName().isEmpty())
        return QAccessibleWidget::text(type);
    return AccessibleNames::plainText(label()->text());
}

QStringList ClickableLabelAccessible::actionNames() const
{
    if (!isButton())
        return QAccessibleWidget::actionNames();
    return QStringList{pressAction(), showMenuAction()} + QAccessibleWidget::actionNames();
}

void ClickableLabelAccessible::doAction(const QString &actionName)
{
    if (isButton() && actionName == pressAction())
        emit label()->clicked();
    else if (isButton() && actionName == showMenuAction())
        emit label()->rightClicked();
    else
        QAccessibleWidget::doAction(actionName);
}

ClickableLabel *ClickableLabelAccessible::label() const
{
    return static_cast<ClickableLabel *>(widget());
}

bool ClickableLabelAccessible::isButton() const
{
    return widget()->focusPolicy() & Qt::TabFocus;
}
