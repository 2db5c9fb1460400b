#include "queuemonitorcallswidget.h"

QueueMonitorCallsWidget::QueueMonitorCallsWidget(QWidget *parent)
    : QWidget(parent)
{
}
