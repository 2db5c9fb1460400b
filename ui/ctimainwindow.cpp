#include "ctimainwindow.h"

#include "registry.h"

#include <QIcon>

CTIMainWindow::CTIMainWindow(QWidget *parent)
    : QWidget(parent)
{
    resize(248, 485);
    setWindowIcon(QIcon(QStringLiteral(":/images/appicon.png")));
    setWindowTitle(tr("Talvero CTI Client"));
    Registry::instance()->setCTIMainWindow(this);
}

CTIMainWindow::~CTIMainWindow()
{
    if (Registry::instance()->getCTIMainWindow() == this)
        Registry::instance()->setCTIMainWindow(nullptr);
}

void CTIMainWindow::onApplicationStartup()
{
}

void CTIMainWindow::onApplicationShutdown()
{
}

void CTIMainWindow::quitApplication()
{
    emit applicationQuitRequest();
}
