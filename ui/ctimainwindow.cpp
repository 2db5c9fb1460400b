#include "ctimainwindow.h"
#include "ui_ctimainwindow.h"

#include "addressbookwindow.h"
#include "addresses.h"
#include "click2dialcomponent.h"
#include "configtab.h"
#include "cticonnector.h"
#include "dialcompleter.h"
#include "dialsuggestionmodel.h"
#include "line.h"
#include "notification.h"
#include "notificationfactory.h"
#include "queuemonitormainwindow.h"
#include "reconnectwindow.h"
#include "rolloverpopup.h"
#include "registry.h"
#include "runninglineview.h"
#include "stickybuddylist.h"
#include "systemtrayicon.h"
#include "ucconversationslist.h"
#include "windowgeometry.h"

#include <QApplication>
#include <QCloseEvent>

CTIMainWindow::CTIMainWindow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CTIMainWindow)
{
    ui->setupUi(this);
    // Offered once the phone configuration lists a queue of the user's.
    ui->queueMonitorPushButton->hide();
    // A one-letter button as narrow as its icon-only neighbour, so the dial field keeps its room.
    ui->queueMonitorPushButton->setMaximumWidth(ui->addressBookPushButton->sizeHint().width());
    connect(ui->dialPushButton, &QPushButton::clicked, this, &CTIMainWindow::onDialButtonClicked);
    connect(ui->dialerLineEdit, &QLineEdit::returnPressed, this, &CTIMainWindow::onDialButtonClicked);
    connect(ui->addressBookPushButton, &QPushButton::clicked, this, &CTIMainWindow::onAddressBookButtonClicked);
    connect(ui->queueMonitorPushButton, &QPushButton::clicked, this, &CTIMainWindow::onQueueMonitorButtonClicked);
    setWindowTitle(tr("Talvero CTI Client"));

    CTIConnector *connector = CTIConnector::instance();
    connect(connector, &CTIConnector::lineOpenend, this, &CTIMainWindow::lineOpenend);
    connect(connector, &CTIConnector::lineChanged, this, &CTIMainWindow::lineChanged);
    connect(connector, &CTIConnector::lineClosed, this, &CTIMainWindow::lineClosed);
    connect(connector, &CTIConnector::connectionLost, this, &CTIMainWindow::onDissconnect);
    connect(connector, &CTIConnector::addressAdded, this, &CTIMainWindow::addressAdded);
    connect(connector, &CTIConnector::addressDeleted, this, &CTIMainWindow::addressDeleted);

    m_addressBookWindow = new AddressBookWindow;
    m_reconnectWindow = new ReconnectWindow;
    m_queueMonitor = QSharedPointer<QueueMonitorMainWindow>::create();
    connect(m_queueMonitor.data(), &QueueMonitorMainWindow::queuesAvailable, ui->queueMonitorPushButton,
            &QWidget::setVisible);

    m_conversationsList = new UCConversationsList(ui->tabWidget);
    ui->tabWidget->addTab(m_conversationsList, tr("Conversations"));
    connect(m_conversationsList, &UCConversationsList::onNumberClick, this, &CTIMainWindow::setNumberToDialEdit);
    m_configTab = new ConfigTab(ui->tabWidget);
    ui->tabWidget->addTab(m_configTab, tr("Configure"));
    ui->tabWidget->setCurrentIndex(0);

    m_stickyBuddyList = new StickyBuddyList;
    m_click2Dial = new Click2DialComponent;
    m_click2Dial->initialise();

    m_trayIcon = new SystemTrayIcon(this);
    connect(m_trayIcon, &SystemTrayIcon::hideShowToggleRequest, this, &CTIMainWindow::onHideShowToggleRequest);
    connect(m_trayIcon, &SystemTrayIcon::minimizeRequest, this, &QWidget::showMinimized);
    connect(m_trayIcon, &SystemTrayIcon::restoreRequest, this, &QWidget::showNormal);
    connect(m_trayIcon, &SystemTrayIcon::applicationQuitRequest, this, &CTIMainWindow::quitApplication);
    m_trayIcon->initialise();

    m_suggestions = new DialSuggestionModel(this);
    DialCompleter::attach(ui->dialerLineEdit, m_suggestions, this);

    Registry::instance()->setCTIMainWindow(this);
}

CTIMainWindow::~CTIMainWindow()
{
    if (Registry::instance()->getCTIMainWindow() == this)
        Registry::instance()->setCTIMainWindow(nullptr);
    delete m_reconnectWindow;
    delete m_addressBookWindow;
    delete m_stickyBuddyList;
    delete m_click2Dial;
    // Pop-ups free themselves once rolled out; one still standing goes with the window.
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<RollOverPopUp *>(widget))
            delete widget;
    }
    delete ui;
}

void CTIMainWindow::onApplicationStartup()
{
    restoreWindowGeometry();
    CTIConnector *connector = CTIConnector::instance();
    connector->requestLineStatus();
    m_stickyBuddyList->initialise();
    m_conversationsList->init();
    // Its tabs load every book; the dial field hears of every contact as well.
    m_addressBookWindow->init();
    // Lets the window system place it once, so the first real show lands where it should.
    m_reconnectWindow->show();
    m_reconnectWindow->hide();
    m_configTab->initialise();
}

void CTIMainWindow::onApplicationShutdown()
{
}

void CTIMainWindow::restoreWindowGeometry()
{
    WindowGeometry::restore(this, getAppPartName());
}

void CTIMainWindow::lineOpenend(Line *line)
{
    const QString callId = line->callId();
    // A call id reported open again takes over the place in the list: the old view goes.
    if (RunningLineView *old = m_lineViews.take(callId)) {
        ui->lineListLayout->removeWidget(old);
        delete old;
    }
    auto *view = new RunningLineView(line, this);
    m_lineViews.insert(callId, view);
    ui->lineListLayout->addWidget(view);
    notify(line);
}

void CTIMainWindow::lineChanged(Line *line)
{
    notify(line);
}

void CTIMainWindow::lineClosed(Line *line)
{
    notify(line);
    RunningLineView *view = m_lineViews.take(line->callId());
    if (!view)
        return;
    ui->lineListLayout->removeWidget(view);
    delete view;
}

void CTIMainWindow::notify(Line *line)
{
    if (Notification *notification = NotificationFactory::buildFromLine(line))
        notification->submit();
}

void CTIMainWindow::onDissconnect()
{
    const Qt::WindowStates state = (windowState() & ~(Qt::WindowMinimized | Qt::WindowActive)) | Qt::WindowActive;
    m_reconnectWindow->setWindowState(state);
    m_reconnectWindow->raise();
    m_reconnectWindow->activateWindow();
    m_reconnectWindow->show();
}

void CTIMainWindow::addressAdded(Addresses *contact)
{
    m_suggestions->addContact(contact);
}

void CTIMainWindow::addressDeleted(const QString &addressId)
{
    m_suggestions->removeContact(addressId);
}

void CTIMainWindow::onDialButtonClicked()
{
    CTIConnector::instance()->dialNumber(ui->dialerLineEdit->text());
}

void CTIMainWindow::onAddressBookButtonClicked()
{
    if (m_addressBookWindow->isHidden()) {
        m_addressBookWindow->show();
        m_addressBookWindow->raise();
        m_addressBookWindow->activateWindow();
    } else {
        m_addressBookWindow->hide();
    }
}

void CTIMainWindow::onQueueMonitorButtonClicked()
{
    if (m_queueMonitor->isHidden()) {
        m_queueMonitor->show();
        m_queueMonitor->raise();
        m_queueMonitor->activateWindow();
    } else {
        m_queueMonitor->close();
    }
}

void CTIMainWindow::setNumberToDialEdit(const QString &number)
{
    ui->dialerLineEdit->setText(number);
}

void CTIMainWindow::onHideShowToggleRequest()
{
    if (isHidden()) {
        show();
        raise();
        activateWindow();
    } else {
        hide();
        m_addressBookWindow->hide();
    }
}

void CTIMainWindow::quitApplication()
{
    emit applicationQuitRequest();
}

void CTIMainWindow::closeEvent(QCloseEvent *event)
{
    WindowGeometry::save(this, getAppPartName());
    if (SystemTrayIcon::isEnabled()) {
        hide();
        event->ignore();
        return;
    }
    event->accept();
}
