#pragma once

#include <QAccessibleWidget>

class RunningLineView;

//! A running call as a screen reader reads it: named by its party and number, described by its
//! state and duration as they are when asked, not as they were at the last announcement.
class RunningLineAccessible final : public QAccessibleWidget
{
public:
    explicit RunningLineAccessible(RunningLineView *view);

    QString text(QAccessible::Text t) const override;
};
