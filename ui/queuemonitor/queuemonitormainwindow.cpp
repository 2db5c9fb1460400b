#include "queuemonitormainwindow.h"
#include "ui_queuemonitormainwindow.h"

#include "queuemonitorcallswidget.h"
#include "windowgeometry.h"

#include <QCloseEvent>

QueueMonitorMainWindow::QueueMonitorMainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::QueueMonitorMainWindow)
    , m_callsWidget(new QueueMonitorCallsWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("Talvero Queue Monitor"));
    setCentralWidget(m_callsWidget);
    // A side window: closing it while the main window is hidden in the tray must not end the
    // program, and an open one must not keep it running once the main window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    connect(m_callsWidget, &QueueMonitorCallsWidget::queuesAvailable, this, &QueueMonitorMainWindow::queuesAvailable);
}

QueueMonitorMainWindow::~QueueMonitorMainWindow()
{
    delete ui;
}

void QueueMonitorMainWindow::restoreWindowGeometry()
{
    WindowGeometry::restore(this, getAppPartName());
}

bool QueueMonitorMainWindow::hasQueues() const
{
    return m_callsWidget->hasQueues();
}

void QueueMonitorMainWindow::setVisible(bool visible)
{
    // Once, before the window first maps: later it is only hidden and keeps where the user put it.
    if (visible && !m_geometryRestored) {
        m_geometryRestored = true;
        restoreWindowGeometry();
    }
    QMainWindow::setVisible(visible);
}

void QueueMonitorMainWindow::closeEvent(QCloseEvent *event)
{
    WindowGeometry::save(this, getAppPartName());
    event->accept();
}
