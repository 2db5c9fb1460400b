#include "ctimainwindow.h"

#include "cticonnector.h"
#include "registry.h"

#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

CTIMainWindow::CTIMainWindow(QWidget *parent)
    : QWidget(parent)
{
    resize(248, 485);
    setWindowIcon(QIcon(QStringLiteral(":/images/appicon.png")));
    setWindowTitle(tr("Talvero CTI Client"));

    // Until the dial field and the call list move in: say who is logged in where.
    auto *layout = new QVBoxLayout(this);
    auto *icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/images/appicon.png")).pixmap(64, 64));
    icon->setAlignment(Qt::AlignCenter);
    auto *status = new QLabel(this);
    status->setObjectName(QStringLiteral("statusLabel"));
    status->setTextFormat(Qt::PlainText);
    status->setAlignment(Qt::AlignCenter);
    status->setWordWrap(true);
    const CTIConnector *connector = CTIConnector::instance();
    status->setText(connector->getCurrentUsername() + QLatin1Char('@') + connector->getCurrentHost());
    layout->addStretch();
    layout->addWidget(icon);
    layout->addWidget(status);
    layout->addStretch();

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
