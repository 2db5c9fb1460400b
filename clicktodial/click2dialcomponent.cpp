#include "click2dialcomponent.h"

#include "cticonnector.h"
#include "desktopkeynames.h"
#include "desktopsession.h"
#include "globalshortcut.h"
#include "log.h"
#include "numbercanonizer.h"
#include "platform.h"
#include "portalshortcut.h"
#include "settings.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#ifdef TALVERO_X11_HOTKEY
#include <QX11Info>
#endif

#include <algorithm>

namespace {
const QString logTag = QStringLiteral("cti");
QString g_scriptHost = QStringLiteral("/usr/bin/osascript");
} // namespace

const QString Click2DialComponent::hotKeySetting = QStringLiteral("clickToDialHotKey");
const QString Click2DialComponent::portalShortcutId = QStringLiteral("dial-marked-number");
const QString Click2DialComponent::applicationId = QStringLiteral("eu.talvero.CTIClient");

const QByteArray Click2DialComponent::copyScript = "tell application \"System Events\" \n"
                                                   "    try \n"
                                                   "       delay 0.2\n"
                                                   "       keystroke \"c\" using {command down}\n"
                                                   "       delay 0.2\n"
                                                   "    on error\n"
                                                   "       key up {control, shift, option, command}\n"
                                                   "    end try\n"
                                                   "end tell\n";

const QByteArray Click2DialComponent::activationScript = "tell application \"talvero-cti-client\"\n"
                                                         "    activate\n"
                                                         "end tell\n";

QKeySequence Click2DialComponent::defaultHotKey()
{
    // Alt+F1 opens a menu or the overview in GNOME and KDE: in a session where they have the
    // keyboard first, a key they leave free.
    if (DesktopSession::kind() == DesktopSession::Kind::Wayland)
        return QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::Key_P);
    return QKeySequence(Qt::AltModifier | Qt::Key_F1);
}

QKeySequence Click2DialComponent::storedHotKey()
{
    const QString stored = Settings::instance()
                               ->getValueForKey(hotKeySetting, defaultHotKey().toString(QKeySequence::PortableText))
                               .toString();
    return QKeySequence::fromString(stored, QKeySequence::PortableText);
}

Click2DialComponent::Click2DialComponent(QObject *parent)
    : QObject(parent)
    , m_shortcut(new GlobalShortCut(this))
{
    connect(m_shortcut, &GlobalShortCut::activated, this, &Click2DialComponent::onDialGlobalHotKey);
    connect(Settings::instance(), &Settings::settingChanged, this, [this](const QString &key) {
        if (key == hotKeySetting && m_initialised)
            applyHotKey();
    });
}

Click2DialComponent::~Click2DialComponent()
{
    // The grab is the desktop's: give it back, so a later owner (or a restart) can have it. The
    // portal's session ends with its object.
    if (m_registered)
        m_shortcut->unsetShortcut();
    // An activation script still running is of no use any more.
    for (QProcess *activation : findChildren<QProcess *>()) {
        activation->kill();
        activation->waitForFinished(1000);
    }
}

bool Click2DialComponent::initialise()
{
    m_initialised = true;
    applyHotKey();
    return hotKeyActive();
}

void Click2DialComponent::applyHotKey()
{
    if (m_registered) {
        m_shortcut->setEnabled(false);
        m_shortcut->unsetShortcut();
        m_registered = false;
    }
    m_hotKey = storedHotKey();
    // A grab through XWayland hears keys only while an X11 window has the focus. Without a
    // display the grab is not available either, which the next branch says.
    if (DesktopSession::kind() == DesktopSession::Kind::Wayland) {
        askPortal();
        return;
    }
    if (!GlobalShortCut::isAvailable()) {
        Log::w(QStringLiteral("click-to-dial is off: ") + GlobalShortCut::unavailableReason(), logTag);
        setRoute(Route::Unavailable);
    } else if (m_hotKey.isEmpty()) {
        Log::d(QStringLiteral("click-to-dial has no hot key"), logTag);
        setRoute(Route::NoHotKey);
    } else {
        m_registered = m_shortcut->setShortcut(m_hotKey);
        m_shortcut->setEnabled(m_registered);
        const QString name = m_hotKey.toString(QKeySequence::PortableText);
        if (m_registered) {
            Log::d(QStringLiteral("click-to-dial listens to ") + name + QStringLiteral(" (X11 hot key)"), logTag);
        } else {
            Log::w(QStringLiteral("click-to-dial is off: the hot key ") + name
                       + QStringLiteral(" is taken by another program; choose another one in the configuration"),
                   logTag);
        }
        setRoute(m_registered ? Route::X11HotKey : Route::X11Taken);
    }
}

void Click2DialComponent::askPortal()
{
    if (!m_portal) {
        m_portal = new PortalShortcut(QDBusConnection::sessionBus(), this);
        connect(m_portal, &PortalShortcut::stateChanged, this, &Click2DialComponent::portalStateChanged);
        connect(m_portal, &PortalShortcut::activated, this, &Click2DialComponent::onDialGlobalHotKey);
    }
    setRoute(Route::AskingDesktop);
    Log::d(QStringLiteral("click-to-dial: a Wayland session; asking the desktop's portal for the hot key ")
               + m_hotKey.toString(QKeySequence::PortableText),
           logTag);
    m_portal->bind(applicationId, portalShortcutId, tr("Dial the marked number"),
                   DesktopKeyNames::portalTrigger(m_hotKey));
}

void Click2DialComponent::portalStateChanged()
{
    switch (m_portal->state()) {
    case PortalShortcut::State::Idle:
    case PortalShortcut::State::Binding:
        return;
    case PortalShortcut::State::Bound:
        Log::d(QStringLiteral("click-to-dial listens to ")
                   + (m_portal->trigger().isEmpty() ? QStringLiteral("a key not yet chosen") : m_portal->trigger())
                   + QStringLiteral(" (hot key from the desktop)"),
               logTag);
        setRoute(Route::DesktopHotKey);
        return;
    case PortalShortcut::State::Refused:
    case PortalShortcut::State::Absent:
        Log::w(QStringLiteral("click-to-dial has no hot key from the desktop (") + m_portal->problem()
                   + QStringLiteral("): bind \"") + dialSelectionCommand()
                   + QStringLiteral("\" to a key in the desktop's keyboard settings"),
               logTag);
        setRoute(Route::DesktopShortcut);
        return;
    }
}

void Click2DialComponent::setRoute(Route route)
{
    m_route = route;
    emit hotKeyStateChanged(hotKeyActive());
}

QString Click2DialComponent::desktopTrigger() const
{
    return m_portal && m_route == Route::DesktopHotKey ? m_portal->trigger() : QString();
}

QString Click2DialComponent::portalProblem() const
{
    return m_portal && m_route == Route::DesktopShortcut ? m_portal->problem() : QString();
}

QString Click2DialComponent::dialSelectionCommand()
{
    QString program = QCoreApplication::applicationFilePath();
    // The desktops split the command as a shell does.
    if (program.contains(QRegularExpression(QStringLiteral("[^A-Za-z0-9_./+-]"))))
        program = QLatin1Char('\'') + program.replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
    return program + QStringLiteral(" --dial-selection");
}

void Click2DialComponent::dialSelection(const QByteArray &startupId)
{
#ifdef TALVERO_X11_HOTKEY
    // The menu is the window the desktop started us for: it may take the keyboard.
    if (!startupId.isEmpty() && QX11Info::isPlatformX11())
        QX11Info::setNextStartupId(startupId);
#endif
    if (!startupId.isEmpty())
        Log::d(QStringLiteral("click-to-dial: asked by the desktop (startup id ") + QString::fromUtf8(startupId)
                   + QLatin1Char(')'),
               logTag);
    onDialGlobalHotKey();
}

void Click2DialComponent::onDialGlobalHotKey()
{
    if (m_menuOpen)
        return;
    // The copy through the scripting host takes a while: a second press meanwhile is ignored.
    m_menuOpen = true;
    const QString text = getMarkedNumberToDial();
    m_menuOpen = false;
    offerToDial(text);
}

void Click2DialComponent::offerToDial(const QString &text, Origin origin)
{
    if (m_menuOpen) {
        Log::d(QStringLiteral("click-to-dial: a menu is open already"), logTag);
        return;
    }
    showMenu(text, origin);
    // Links that came meanwhile, each in a menu of its own.
    if (!m_waitingLinks.isEmpty())
        QTimer::singleShot(0, this, &Click2DialComponent::offerNextLink);
}

void Click2DialComponent::showMenu(const QString &text, Origin origin)
{
    if (text.size() > maxMarkedLength) {
        Log::d(QStringLiteral("click-to-dial: the marked text is too long for a number"), logTag);
        return;
    }
    // Text without a digit would offer the bare dial prefix, or nothing, to dial.
    const QString canonical = NumberCanonizer::convertToE123(text);
    if (std::none_of(canonical.cbegin(), canonical.cend(), [](QChar c) { return c.isDigit(); })) {
        Log::d(QStringLiteral("click-to-dial: the marked text holds no number"), logTag);
        return;
    }
    const QString number = NumberCanonizer::convertToDialable(text);

    m_menuOpen = true;
    m_menuOrigin = origin;
    QMenu menu;
    QAction *dial = menu.addAction(QIcon(QStringLiteral(":/images/dialbutton_label.png")), tr("Dial: ") + number);
    menu.addAction(QIcon(QStringLiteral(":/images/abort.png")), tr("Abort"));
    connect(dial, &QAction::triggered, this, &Click2DialComponent::onMenuDialClicked);
    connect(&menu, &QMenu::aboutToHide, this, &Click2DialComponent::menuClosed);
    m_numberToDial = number;
    // Asked for by the hot key, Enter dials at once. A link may come while the user types
    // elsewhere: its menu waits for a choice. Escape (or a click elsewhere) aborts either.
    if (origin == Origin::HotKey)
        menu.setActiveAction(dial);
    menu.installEventFilter(this);
    Log::d(QStringLiteral("click-to-dial offers ") + number, logTag);
    emit menuAboutToShow(number);
    menu.exec(QCursor::pos());
    m_numberToDial.clear();
}

void Click2DialComponent::offerLink(const QString &number)
{
    m_waitingLinks << number;
    // The menu runs a loop of its own: not inside the caller's handler.
    if (!m_menuOpen)
        QTimer::singleShot(0, this, &Click2DialComponent::offerNextLink);
}

void Click2DialComponent::offerNextLink()
{
    if (!m_menuOpen && !m_waitingLinks.isEmpty())
        offerToDial(m_waitingLinks.takeFirst(), Origin::Link);
}

bool Click2DialComponent::choosesUnasked(const QMenu *menu, const QKeyEvent *key)
{
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        return !menu->activeAction();
    // These would move to an entry as well; only the arrow keys and the mouse choose one.
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

bool Click2DialComponent::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const auto *menu = qobject_cast<QMenu *>(watched);
    if (m_menuOrigin == Origin::Link && menu && event->type() == QEvent::KeyPress && choosesUnasked(menu, key)) {
        Log::d(QStringLiteral("click-to-dial: a link's menu waits for a choice"), logTag);
        return true;
    }
    const int combination = key->key() | int(key->modifiers() & ~Qt::KeypadModifier);
    switch (key->key()) {
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Control:
    case Qt::Key_Shift:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return true;
    default:
        return !m_hotKey.isEmpty() && combination == m_hotKey[0];
    }
}

void Click2DialComponent::onMenuDialClicked()
{
    CTIConnector::instance()->dialNumber(m_numberToDial);
    m_numberToDial.clear();
}

void Click2DialComponent::menuClosed()
{
    m_menuOpen = false;
}

QString Click2DialComponent::getMarkedNumberToDial()
{
    if (Platform::isMacOSX())
        return copyThroughScriptHost();
    // What the user marked is the PRIMARY selection; no key press is faked (Ctrl+C would
    // interrupt a terminal's program and overwrite the clipboard).
    QClipboard *clipboard = QGuiApplication::clipboard();
    QString text;
    if (clipboard->supportsSelection())
        text = clipboard->text(QClipboard::Selection);
    if (text.trimmed().isEmpty())
        text = clipboard->text(QClipboard::Clipboard);
    return text;
}

QString Click2DialComponent::copyThroughScriptHost()
{
    const QStringList arguments{QStringLiteral("-l"), QStringLiteral("AppleScript")};
    {
        QProcess copy;
        copy.start(g_scriptHost, arguments, QIODevice::ReadWrite);
        copy.write(copyScript);
        copy.closeWriteChannel();
        // A script that hangs must not freeze the client: after the limit the clipboard is
        // read as it is.
        QDeadlineTimer deadline(scriptTimeoutMs);
        if (copy.waitForStarted(int(deadline.remainingTime())))
            copy.waitForReadyRead(int(deadline.remainingTime()));
        copy.readAll();
        if (copy.state() != QProcess::NotRunning && !copy.waitForFinished(int(deadline.remainingTime()))) {
            Log::w(QStringLiteral("click-to-dial: the copy script did not finish in time"), logTag);
            copy.kill();
            copy.waitForFinished(1000);
        }
    }

    // Brings this program to the front for the menu; not waited for.
    auto *activate = new QProcess(this);
    connect(activate, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), activate, &QObject::deleteLater);
    connect(activate, &QProcess::errorOccurred, activate, [activate](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            activate->deleteLater();
    });
    activate->start(g_scriptHost, arguments, QIODevice::ReadWrite);
    activate->write(activationScript);
    activate->closeWriteChannel();

    return QGuiApplication::clipboard()->text(QClipboard::Clipboard);
}

void Click2DialComponent::setScriptHost(const QString &program)
{
    g_scriptHost = program;
}

QString Click2DialComponent::scriptHost()
{
    return g_scriptHost;
}
