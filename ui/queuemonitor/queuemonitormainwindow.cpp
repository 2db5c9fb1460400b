#include "queuemonitormainwindow.h"

QueueMonitorMainWindow::QueueMonitorMainWindow(QWidget *parent)
    : QMainWindow(parent)
{
}
