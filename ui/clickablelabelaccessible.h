#pragma once

#include <QAccessibleWidget>

class ClickableLabel;

//! What a screen reader needs to offer the label as a button: the role, and press and menu
//! actions that do what the clicks do. One the keyboard does not reach stays a plain label. The
//! interface is made once, often while the label is built: it asks the label each time.
class ClickableLabelAccessible final : public QAccessibleWidget
{
public:
    explicit ClickableLabelAccessible(ClickableLabel *label);

    QAccessible::Role role() const override;
    QString text(QAccessible::Text type) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    ClickableLabel *label() const;
    bool isButton() const;
};
