#pragma once

#include <QMainWindow>
#include <QString>

//! Placeholder; replaced by the queue monitor's work.
class QueueMonitorMainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit QueueMonitorMainWindow(QWidget *parent = nullptr);
    QString getAppPartName() const { return QStringLiteral("queuemonitor"); }
};
