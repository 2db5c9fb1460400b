#include "ctimainwindow.h"
#include "ui_ctimainwindow.h"

#include "addressbookwindow.h"
#include "announcer.h"
#include "addresses.h"
#include "click2dialcomponent.h"
#include "configtab.h"
#include "cticonnector.h"
#include "dialcompleter.h"
#include "dialsuggestionmodel.h"
#include "focusring.h"
#include "iconcache.h"
#include "line.h"
#include "notification.h"
#include "notificationfactory.h"
#include "notificationtype.h"
#include "passbudget.h"
#include "queuemonitormainwindow.h"
#include "reconnectwindow.h"
#include "rolloverpopup.h"
#include "registry.h"
#include "runninglineview.h"
#include "stickybuddylist.h"
#include "systemtrayicon.h"
#include "ucconversationslist.h"
#include "windowgeometry.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <utility>

#ifdef __GLIBC__
#include <malloc.h>
#endif

CTIMainWindow::CTIMainWindow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CTIMainWindow)
{
    ui->setupUi(this);
    FocusRing::install();
    ui->addressBookPushButton->setIcon(IconCache::glyph(QStringLiteral(":/images/addressbook.png")));
    // Offered once the phone configuration lists a queue of the user's.
    ui->queueMonitorPushButton->hide();
    // A one-letter button as narrow as its icon-only neighbour, so the dial field keeps its room.
    ui->queueMonitorPushButton->setMaximumWidth(ui->addressBookPushButton->sizeHint().width());
    connect(ui->dialPushButton, &QPushButton::clicked, this, &CTIMainWindow::onDialButtonClicked);
    connect(ui->dialerLineEdit, &QLineEdit::returnPressed, this, &CTIMainWindow::onDialButtonClicked);
    connect(ui->addressBookPushButton, &QPushButton::clicked, this, &CTIMainWindow::onAddressBookButtonClicked);
    connect(ui->queueMonitorPushButton, &QPushButton::clicked, this, &CTIMainWindow::onQueueMonitorButtonClicked);
    setWindowTitle(tr("Talvero CTI Client"));
    addShortcuts();

    CTIConnector *connector = CTIConnector::instance();
    connect(connector, &CTIConnector::lineOpenend, this, &CTIMainWindow::lineOpenend);
    connect(connector, &CTIConnector::lineChanged, this, &CTIMainWindow::lineChanged);
    connect(connector, &CTIConnector::lineClosed, this, &CTIMainWindow::lineClosed);
    connect(connector, &CTIConnector::connectionLost, this, &CTIMainWindow::onDissconnect);
    connect(connector, &CTIConnector::addressAdded, this, &CTIMainWindow::addressAdded);
    connect(connector, &CTIConnector::addressDeleted, this, &CTIMainWindow::addressDeleted);

    m_addressBookWindow = new AddressBookWindow;
    m_reconnectWindow = new ReconnectWindow;
    m_announcer = new Announcer(this);
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

    m_viewPass.setSingleShot(true);
    connect(&m_viewPass, &QTimer::timeout, this, &CTIMainWindow::buildPendingViews);
    m_heapReturn.setSingleShot(true);
    m_heapReturn.setInterval(heapReturnDelayMs);
    connect(&m_heapReturn, &QTimer::timeout, this, [this] {
        m_freedViews = 0;
#ifdef __GLIBC__
        QThreadPool::globalInstance()->start([] { malloc_trim(0); });
#endif
    });

    // Views go in above the stretch, which takes what room is left below them.
    ui->lineListLayout->addStretch();
    ui->lineScrollArea->setFixedHeight(ui->lineListLayout->sizeHint().height());

    m_suggestions = new DialSuggestionModel(this);
    DialCompleter::attach(ui->dialerLineEdit, m_suggestions, this);
    connect(m_addressBookWindow, &AddressBookWindow::dismissed, this, [this] {
        activateWindow();
        focusDialField();
    });
    // Where the user starts after login.
    ui->dialerLineEdit->setFocus();

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
    if (!WindowGeometry::restore(this, getAppPartName()))
        placeClearOfMonitor();
}

void CTIMainWindow::placeClearOfMonitor()
{
    // On the monitor's screen, below or beside it; without a monitor at the top left of this
    // screen. Where a frame is not known yet, room is left for what a window manager puts around
    // the window.
    const auto framed = [](const QWidget *window) {
        const bool unknown = window->frameGeometry() == window->geometry()
            && !window->windowFlags().testFlag(Qt::FramelessWindowHint);
        return unknown ? QRect(window->pos(), window->size() + decorationRoom) : window->frameGeometry();
    };
    const bool monitorShows = m_stickyBuddyList->isSwitchedOn();
    const QScreen *screen = monitorShows ? m_stickyBuddyList->screen() : this->screen();
    if (!screen)
        return;
    const QRect monitor = monitorShows ? framed(m_stickyBuddyList) : QRect();
    move(WindowGeometry::clearOf(monitor, framed(this).size(), screen->availableGeometry()));
}

void CTIMainWindow::lineOpenend(Line *line)
{
    const QString callId = line->callId();
    // A call id reported open again takes over the place in the list: the old view goes.
    if (RunningLineView *old = m_lineViews.take(callId))
        retireView(old);
    // Views are built in the next pass of the event loop, a batch at a time: a line status
    // with thousands of lines must not freeze the window (nor starve the link's keep-alive).
    m_pendingByCallId.insert(callId, line);
    m_pendingLines.append(line);
    scheduleViewPass();
}

void CTIMainWindow::lineChanged(Line *line)
{
    // A line still waiting for its view is notified of when the view is built.
    if (isPending(line))
        return;
    notify(line);
    fitLineAreaWidth(); // a number the server reports anew may be longer
}

void CTIMainWindow::lineClosed(Line *line)
{
    notify(line);
    const QString callId = line->callId();
    if (isPending(line)) {
        m_pendingByCallId.remove(callId);
        return;
    }
    RunningLineView *view = m_lineViews.take(callId);
    if (!view)
        return;
    m_announcer->announce(tr("%1: call ended").arg(view->spokenName()));
    retireView(view);
}

void CTIMainWindow::retireView(RunningLineView *view)
{
    // Thousands of calls may end in one burst: each view leaves the layout with the layout off,
    // which the next pass lays out once, and is freed there within the pass's budget.
    ui->lineListLayout->setEnabled(false);
    // The keyboard leaves with the call, as it would if the view were freed now, rather than
    // landing on the next call's buttons.
    QWidget *focus = QApplication::focusWidget();
    if (focus && view->isAncestorOf(focus))
        focus->clearFocus();
    view->hide();
    m_retiredViews.append(view);
    scheduleViewPass();
}

bool CTIMainWindow::isPending(Line *line) const
{
    return m_pendingByCallId.value(line->callId()) == line;
}

void CTIMainWindow::scheduleViewPass(int delayMs)
{
    // A timer, not a posted call (QTimer::singleShot(0) posts one): the socket, the keep-alive and
    // painting get their turn between passes.
    if (m_viewPass.isActive() && m_viewPass.remainingTime() <= delayMs)
        return;
    m_viewPass.start(delayMs);
}

void CTIMainWindow::buildPendingViews()
{
    // Retired views, hidden, leave the layout together: taking each out on its own would look
    // through every view listed. Each time the whole list is laid out again, so while calls end
    // in a burst it is done every sweepIntervalMs, not in every pass.
    const bool sweep = !m_retiredViews.isEmpty() && (!m_lastSweep.isValid() || m_lastSweep.elapsed() >= sweepIntervalMs);
    if (sweep) {
        for (int i = ui->lineListLayout->count() - 1; i >= 0; --i) {
            const QWidget *widget = ui->lineListLayout->itemAt(i)->widget();
            if (widget && widget->isHidden())
                delete ui->lineListLayout->takeAt(i);
        }
        m_unlistedViews += std::exchange(m_retiredViews, {});
        m_lastSweep.start();
    }
    // One of each at least, whatever else this pass did, so a burst goes on in every pass.
    const bool freeing = !m_unlistedViews.isEmpty();
    for (bool first = true; !m_unlistedViews.isEmpty() && (first || !PassBudget::spent(viewPassBudgetMs)); first = false) {
        delete m_unlistedViews.takeFirst();
        ++m_freedViews;
    }
    // glibc keeps what a burst freed for the process: given back once the burst is over, off
    // the main thread, as trimming a large heap takes tens of milliseconds.
    if (freeing && m_unlistedViews.isEmpty() && m_retiredViews.isEmpty() && m_freedViews >= heapReturnViews)
        m_heapReturn.start();
    QList<RunningLineView *> built;
    for (bool first = true; !m_pendingLines.isEmpty() && (first || !PassBudget::spent(viewPassBudgetMs)); first = false) {
        const QPointer<Line> line = m_pendingLines.takeFirst();
        if (!line || !isPending(line))
            continue; // closed, or reported open again, before its view was built
        m_pendingByCallId.remove(line->callId());
        auto *view = new RunningLineView(line, ui->lineListWidget);
        view->hide(); // shown below, with the rest of the batch
        m_lineViews.insert(line->callId(), view);
        connect(view, &RunningLineView::stateChanged, this, [this, view] { announceCall(view); });
        // Tab reaches the calls where they are shown: below the dial field, above the history.
        QWidget *previous = ui->dialPushButton;
        if (ui->lineListLayout->count() > 1) {
            if (auto *above = qobject_cast<RunningLineView *>(ui->lineListLayout->itemAt(ui->lineListLayout->count() - 2)->widget()))
                previous = above->tabStops().constLast();
        }
        // Qt looks back along the focus chain from each stop it moves for a widget that takes
        // focus, past the labels of every call built before: the view itself ends that look.
        const Qt::FocusPolicy policy = view->focusPolicy();
        view->setFocusPolicy(Qt::ClickFocus);
        for (QWidget *stop : view->tabStops()) {
            QWidget::setTabOrder(previous, stop);
            previous = stop;
        }
        view->setFocusPolicy(policy);
        ui->lineListLayout->insertWidget(ui->lineListLayout->count() - 1, view); // above the stretch
        built.append(view);
        m_burst.append(line);
    }
    if (sweep || !built.isEmpty()) {
        // Each view shown into an active layout would lay out all the others again: show the
        // batch with the layout off, then give the list its new height and lay it out once.
        ui->lineListLayout->setEnabled(false);
        for (RunningLineView *view : qAsConst(built))
            view->show();
        ui->lineListLayout->setEnabled(true);
        // The list first grows to take the new views: laid out in the old height, every view
        // would be squeezed and then stretched again. Views taken out while the layout was off
        // asked for no layout: one for all of them.
        QWidget *list = ui->lineListWidget;
        list->resize(list->width(), std::max(list->height(), ui->lineListLayout->sizeHint().height()));
        ui->lineListLayout->activate();
        fitLineArea();
    }
    if (!m_pendingLines.isEmpty() || !m_unlistedViews.isEmpty())
        scheduleViewPass();
    else if (!m_retiredViews.isEmpty())
        scheduleViewPass(int(std::max<qint64>(0, sweepIntervalMs - m_lastSweep.elapsed())));
    if (m_pendingLines.isEmpty())
        notifyBurst();
}

void CTIMainWindow::announceCall(const RunningLineView *view)
{
    m_announcer->announce(tr("%1: %2").arg(view->spokenName(), view->spokenState()));
}

void CTIMainWindow::notifyBurst()
{
    // Pop-ups roll in one over the other, and any line change rolls them all out: of the lines
    // that came together only the newest that rings needs one.
    const QList<QPointer<Line>> burst = std::exchange(m_burst, {});
    // A call of its own is told as it starts, unless its pop-up tells it; a burst (the lines
    // reported again after a reconnection) is not told call by call.
    if (burst.size() == 1 && burst.first()) {
        Line *line = burst.first();
        const bool ringingIn = line->callState() == CallState::Ringing
                               && line->callCallDirection() == CallDirection::Incoming;
        if (!ringingIn && m_lineViews.contains(line->callId()))
            announceCall(m_lineViews.value(line->callId()));
    }
    for (auto it = burst.crbegin(); it != burst.crend(); ++it) {
        Line *line = *it;
        if (!line || !m_lineViews.contains(line->callId()))
            continue;
        Notification *notification = NotificationFactory::buildFromLine(line);
        if (!notification)
            continue;
        const bool popsUp = notification->type() != NotificationType::Silent;
        notification->submit();
        if (popsUp)
            return;
    }
}

int CTIMainWindow::maxLineAreaHeight() const
{
    const QScreen *screen = this->screen();
    return screen ? int(screen->availableGeometry().height() * lineAreaScreenShare) : QWIDGETSIZE_MAX;
}

void CTIMainWindow::fitLineAreaWidth()
{
    // A scroll area does not pass on its content's least width: the window must be as wide as a
    // call's number needs (its name and company elide), up to the screen's width.
    QScrollArea *area = ui->lineScrollArea;
    int width = ui->lineListLayout->minimumSize().width() + 2 * area->frameWidth();
    if (area->verticalScrollBar()->isVisible())
        width += area->verticalScrollBar()->sizeHint().width();
    if (const QScreen *screen = this->screen())
        width = std::min(width, screen->availableGeometry().width() - 2 * layout()->contentsMargins().left());
    if (area->minimumWidth() != width)
        area->setMinimumWidth(width);
}

void CTIMainWindow::fitLineArea()
{
    fitLineAreaWidth();
    // The running calls take what they need up to a share of the screen, and scroll beyond it.
    // The window grows by what the calls take and gives it back when they end, so the history
    // below keeps its size; it never grows past the screen.
    const int height = std::min(ui->lineListLayout->sizeHint().height(), maxLineAreaHeight());
    const int delta = height - ui->lineScrollArea->maximumHeight();
    if (delta == 0)
        return;
    const int frameHeight = frameGeometry().height();
    int windowHeight = this->height();
    ui->lineScrollArea->setFixedHeight(height);
    // The window's minimum follows at once: a window shrinking now must not be held at the old one.
    layout()->activate();
    int up = 0;
    if (delta > 0) {
        int room = delta;
        if (const QScreen *screen = this->screen()) {
            // In the lower half of the screen the window moves up for what would reach past its bottom.
            const QRect available = screen->availableGeometry();
            const QRect frame = frameGeometry();
            room = std::clamp(available.height() - frameHeight, 0, delta);
            up = std::clamp(frame.bottom() + room - available.bottom(), 0, std::max(0, frame.top() - available.top()));
        }
        windowHeight += room;
        m_grownForLines += room;
        m_movedUpForLines += up;
    } else {
        const int giveBack = std::min(-delta, m_grownForLines);
        windowHeight -= giveBack;
        m_grownForLines -= giveBack;
        // ... and back down once the calls have ended.
        up = -std::min(giveBack, m_movedUpForLines);
        m_movedUpForLines += up;
    }
    if (up != 0)
        move(x(), y() - up);
    resize(width(), windowHeight);
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
    // Told here, not whenever it shows: it is shown once unseen at start-up to be placed.
    QAccessibleEvent alert(m_reconnectWindow, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
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

void CTIMainWindow::addShortcuts()
{
    const auto withKeys = [](QWidget *widget, const QString &text, const QKeySequence &keys) {
        widget->setToolTip(tr("%1 (%2)").arg(text, keys.toString(QKeySequence::NativeText)));
    };
    withKeys(ui->dialerLineEdit, tr("Number or name to dial; Enter dials"), dialFieldKeys);
    withKeys(ui->addressBookPushButton, tr("Address book"), addressBookKeys);
    const auto onKeys = [this](const QKeySequence &keys, auto slot) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    onKeys(dialFieldKeys, [this] { focusDialField(); });
    onKeys(addressBookKeys, [this] { m_addressBookWindow->openForSearch(); });
    onKeys(monitorKeys, [this] { m_stickyBuddyList->focusLamps(); });
    onKeys(RunningLineView::hangupKeys, [this] {
        if (RunningLineView *view = newestLineView())
            view->hangupCall();
    });
    onKeys(RunningLineView::holdKeys, [this] {
        RunningLineView *view = newestLineView();
        if (view && view->offersHold())
            view->holdCall();
    });
    onKeys(RunningLineView::transferKeys, [this] {
        RunningLineView *view = newestLineView();
        if (view && view->offersTransfer())
            view->transferCall();
    });
}

void CTIMainWindow::focusDialField()
{
    ui->dialerLineEdit->setFocus(Qt::ShortcutFocusReason);
    ui->dialerLineEdit->selectAll();
}

RunningLineView *CTIMainWindow::newestLineView() const
{
    // Views come in below the others: the newest is the lowest.
    for (int i = ui->lineListLayout->count() - 1; i >= 0; --i) {
        auto *view = qobject_cast<RunningLineView *>(ui->lineListLayout->itemAt(i)->widget());
        if (view && !view->isHidden()) // not one ended and still to leave the layout
            return view;
    }
    return nullptr;
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
    // What the window grew and moved up by for the running calls is theirs, not the user's choice.
    WindowGeometry::save(getAppPartName(), QPoint(x(), y() + m_movedUpForLines),
                         QSize(width(), height() - m_grownForLines));
    if (SystemTrayIcon::isEnabled()) {
        hide();
        event->ignore();
        return;
    }
    event->accept();
    // Without the tray nothing leads back to this window: the program ends with it, whatever
    // else still shows (the monitor as a titled window, the address book).
    emit applicationQuitRequest();
}
