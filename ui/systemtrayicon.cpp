#include "systemtrayicon.h"

#include "cticonnector.h"
#include "numbercanonizer.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>

SystemTrayIcon::SystemTrayIcon(QObject *parent)
    : QObject(parent)
    , m_clipboard(QGuiApplication::clipboard())
    , m_trayIcon(new QSystemTrayIcon(QIcon(QStringLiteral(":/images/appicon.png")), this))
    , m_menu(std::make_unique<QMenu>())
{
    m_dialAction = m_menu->addAction(tr("Dial: "), this, &SystemTrayIcon::dialActionTriggered);
    m_dialAction->setObjectName(QStringLiteral("dialAction"));
    m_dialAction->setEnabled(false);
    m_menu->addSeparator();
    QAction *minimize = m_menu->addAction(tr("Mi&nimize"), this, &SystemTrayIcon::minimizeActionTriggered);
    minimize->setObjectName(QStringLiteral("minimizeAction"));
    QAction *restore = m_menu->addAction(tr("&Restore"), this, &SystemTrayIcon::restoreActionTriggered);
    restore->setObjectName(QStringLiteral("restoreAction"));
    m_menu->addSeparator();
    QAction *quit = m_menu->addAction(tr("&Quit"), this, &SystemTrayIcon::quitActionTriggered);
    quit->setObjectName(QStringLiteral("quitAction"));

    m_trayIcon->setContextMenu(m_menu.get());
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &SystemTrayIcon::trayIconActivated);
    connect(m_clipboard, &QClipboard::dataChanged, this, &SystemTrayIcon::OnClipboardDataChanged);
}

SystemTrayIcon::~SystemTrayIcon()
{
    // The tray icon still points at the menu until it goes with the children after this body.
    m_trayIcon->setContextMenu(nullptr);
}

void SystemTrayIcon::initialise()
{
    m_trayIcon->setVisible(false);
}

void SystemTrayIcon::dialActionTriggered()
{
    CTIConnector::instance()->dialNumber(clipboardNumber);
}

void SystemTrayIcon::minimizeActionTriggered()
{
    emit minimizeRequest();
}

void SystemTrayIcon::restoreActionTriggered()
{
    emit restoreRequest();
}

void SystemTrayIcon::quitActionTriggered()
{
    emit applicationQuitRequest();
}

void SystemTrayIcon::trayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick)
        emit hideShowToggleRequest();
}

void SystemTrayIcon::OnClipboardDataChanged()
{
    clipboardNumber = NumberCanonizer::convertToDialable(m_clipboard->text());
    m_dialAction->setText(tr("Dial: ") + clipboardNumber);
    m_dialAction->setEnabled(!clipboardNumber.isEmpty());
}
