#pragma once

#include <QMainWindow>
#include <QString>

class QueueMonitorCallsWidget;

namespace Ui {
class QueueMonitorMainWindow;
}

//! The top-level window of the queue monitor around a QueueMonitorCallsWidget. Created hidden once
//! after login and kept for the life of the process: closing only hides it and never quits the
//! application. Stores its geometry on close and takes it back the first time it is shown.
class QueueMonitorMainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY(QueueMonitorMainWindow)

public:
    explicit QueueMonitorMainWindow(QWidget *parent = nullptr);
    ~QueueMonitorMainWindow() override;

    static QString getAppPartName() { return QStringLiteral("queuemonitor"); }
    void restoreWindowGeometry();

    QueueMonitorCallsWidget *callsWidget() const { return m_callsWidget; }
    //! As QueueMonitorCallsWidget::hasQueues(): whether there is anything to offer the user.
    bool hasQueues() const;

    void setVisible(bool visible) override;

signals:
    //! Passed on from QueueMonitorCallsWidget::queuesAvailable().
    void queuesAvailable(bool available);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Ui::QueueMonitorMainWindow *ui;
    QueueMonitorCallsWidget *m_callsWidget;
    bool m_geometryRestored = false;
};
