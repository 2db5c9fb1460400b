#pragma once

#include <QWidget>

//! Placeholder; replaced by the queue monitor's work.
class QueueMonitorCallsWidget final : public QWidget
{
    Q_OBJECT

public:
    explicit QueueMonitorCallsWidget(QWidget *parent = nullptr);
};
