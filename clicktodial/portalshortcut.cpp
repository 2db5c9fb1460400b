#include "portalshortcut.h"

#include "log.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QRegularExpression>

#include <optional>

namespace {
// One entry of the portal's shortcut lists, a(sa{sv}).
struct PortalShortcutEntry
{
    QString id;
    QVariantMap properties;
};
using PortalShortcutList = QList<PortalShortcutEntry>;

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcutEntry &entry)
{
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

// Only ever reached after the signature was checked: libdbus aborts on a mismatched read.
const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcutEntry &entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

const QString logTag = QStringLiteral("cti");

const QString globalShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString registryInterface = QStringLiteral("org.freedesktop.host.portal.Registry");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

namespace Keys {
const QString handleToken = QStringLiteral("handle_token");
const QString sessionHandleToken = QStringLiteral("session_handle_token");
const QString sessionHandle = QStringLiteral("session_handle");
const QString shortcuts = QStringLiteral("shortcuts");
const QString description = QStringLiteral("description");
const QString preferredTrigger = QStringLiteral("preferred_trigger");
const QString triggerDescription = QStringLiteral("trigger_description");
}

const QString malformed = QStringLiteral("the desktop portal's answer is malformed");

// Session handles come as object paths or, from some portals, as strings; empty if neither.
QString pathOf(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    // Checked here: QDBusObjectPath warns about and empties a bad path only as it is made.
    static const QRegularExpression objectPath(QStringLiteral("^/([A-Za-z0-9_]+(/[A-Za-z0-9_]+)*)?$"));
    if (value.userType() == QMetaType::QString && objectPath.match(value.toString()).hasMatch())
        return value.toString();
    return QString();
}

// The properties a shortcut list gives for id; none when it lacks id or is no a(sa{sv}).
std::optional<QVariantMap> shortcutIn(const QVariant &list, const QString &id)
{
    const QDBusArgument argument = list.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("a(sa{sv})"))
        return std::nullopt;
    PortalShortcutList shortcuts;
    argument >> shortcuts;
    for (const PortalShortcutEntry &shortcut : qAsConst(shortcuts)) {
        if (shortcut.id == id)
            return shortcut.properties;
    }
    return std::nullopt;
}
}

Q_DECLARE_METATYPE(PortalShortcutEntry)

const QString PortalShortcut::service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalShortcut::objectPath = QStringLiteral("/org/freedesktop/portal/desktop");

PortalShortcut::PortalShortcut(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    static const bool typesRegistered = [] {
        qDBusRegisterMetaType<PortalShortcutEntry>();
        qDBusRegisterMetaType<PortalShortcutList>();
        return true;
    }();
    Q_UNUSED(typesRegistered)
}

PortalShortcut::~PortalShortcut()
{
    release();
}

void PortalShortcut::bind(const QString &appId, const QString &id, const QString &description,
                          const QString &preferredTrigger)
{
    release();
    m_id = id;
    m_description = description;
    m_preferredTrigger = preferredTrigger;
    // Without a connection no call would ever finish.
    if (!m_bus.isConnected()) {
        setState(State::Absent, QStringLiteral("no session bus"));
        return;
    }
    setState(State::Binding);
    listen(objectPath, globalShortcutsInterface, QStringLiteral("Activated"));
    listen(objectPath, globalShortcutsInterface, QStringLiteral("ShortcutsChanged"));
    if (appId.isEmpty()) {
        probe();
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(service, objectPath, registryInterface,
                                                          QStringLiteral("Register"));
    message << appId << QVariantMap();
    call(message, &PortalShortcut::registered);
}

void PortalShortcut::close()
{
    release();
    setState(State::Idle);
}

// Portals from before the registry know no such method; one that knows us already says so.
// Either way the binding goes on.
void PortalShortcut::registered(const QDBusMessage &)
{
    probe();
}

void PortalShortcut::probe()
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, objectPath, propertiesInterface,
                                                          QStringLiteral("Get"));
    message << globalShortcutsInterface << QStringLiteral("version");
    call(message, &PortalShortcut::probed);
}

void PortalShortcut::probed(const QDBusMessage &reply)
{
    if (reply.type() == QDBusMessage::ErrorMessage) {
        fail(State::Absent, QStringLiteral("the desktop offers no global shortcuts portal (") + reply.errorMessage()
                 + QLatin1Char(')'));
        return;
    }
    const QVariant version = reply.signature() == QLatin1String("v")
        ? reply.arguments().constFirst().value<QDBusVariant>().variant()
        : QVariant();
    if (version.userType() != QMetaType::UInt) {
        fail(State::Absent, malformed);
        return;
    }
    Log::d(QStringLiteral("the desktop's global shortcuts portal has version %1").arg(version.toUInt()), logTag);
    createSession();
}

void PortalShortcut::createSession()
{
    callWithRequest(QDBusMessage::createMethodCall(service, objectPath, globalShortcutsInterface,
                                                   QStringLiteral("CreateSession")),
                    {{Keys::sessionHandleToken, nextToken()}}, &PortalShortcut::sessionCreated);
}

void PortalShortcut::sessionCreated(uint response, const QVariantMap &results)
{
    if (response != 0) {
        fail(State::Refused, QStringLiteral("the desktop refused a shortcut session (response %1)").arg(response));
        return;
    }
    const QString session = pathOf(results.value(Keys::sessionHandle));
    if (session.isEmpty()) {
        fail(State::Refused, malformed);
        return;
    }
    m_session = session;
    listen(m_session, sessionInterface, QStringLiteral("Closed"));
    bindShortcuts();
}

void PortalShortcut::bindShortcuts()
{
    QVariantMap properties{{Keys::description, m_description}};
    if (!m_preferredTrigger.isEmpty())
        properties.insert(Keys::preferredTrigger, m_preferredTrigger);
    QDBusMessage message = QDBusMessage::createMethodCall(service, objectPath, globalShortcutsInterface,
                                                          QStringLiteral("BindShortcuts"));
    message << QVariant::fromValue(QDBusObjectPath(m_session))
            << QVariant::fromValue(PortalShortcutList{{m_id, properties}}) << QString();
    callWithRequest(message, {}, &PortalShortcut::shortcutsBound);
}

void PortalShortcut::shortcutsBound(uint response, const QVariantMap &results)
{
    if (response == 1) {
        fail(State::Refused, QStringLiteral("the user cancelled the desktop's shortcut dialog"));
        return;
    }
    if (response != 0) {
        fail(State::Refused, QStringLiteral("the desktop refused the shortcut %1 (response %2)")
                                 .arg(m_preferredTrigger)
                                 .arg(response));
        return;
    }
    const std::optional<QVariantMap> ours = shortcutIn(results.value(Keys::shortcuts), m_id);
    if (!ours) {
        fail(State::Refused, QStringLiteral("the desktop did not take the shortcut"));
        return;
    }
    m_trigger = ours->value(Keys::triggerDescription).toString();
    setState(State::Bound);
}

// A signal may have been queued before close() or a new bind(): the handlers match it against
// the current request and session.
void PortalShortcut::route(const QDBusMessage &signal)
{
    struct Route
    {
        const QString &interface;
        const char *member;
        void (PortalShortcut::*handler)(const QDBusMessage &);
    };
    static const Route routes[] = {
        {requestInterface, "Response", &PortalShortcut::onResponse},
        {globalShortcutsInterface, "Activated", &PortalShortcut::onActivated},
        {globalShortcutsInterface, "ShortcutsChanged", &PortalShortcut::onShortcutsChanged},
        {sessionInterface, "Closed", &PortalShortcut::onSessionClosed},
    };
    for (const Route &route : routes) {
        if (signal.interface() == route.interface && signal.member() == QLatin1String(route.member)) {
            (this->*route.handler)(signal);
            return;
        }
    }
}

void PortalShortcut::onResponse(const QDBusMessage &signal)
{
    if (!m_requestPaths.contains(signal.path()))
        return;
    const ResponseHandler handler = m_onResponse;
    stopListeningToRequest();
    ++m_serial; // the method's reply may still come: it no longer matters
    if (signal.signature() != QLatin1String("ua{sv}")) {
        fail(State::Refused, malformed);
        return;
    }
    const QVariantList arguments = signal.arguments();
    (this->*handler)(arguments.at(0).toUInt(), qdbus_cast<QVariantMap>(arguments.at(1)));
}

void PortalShortcut::onActivated(const QDBusMessage &signal)
{
    const QVariantList arguments = signal.arguments();
    if (signal.signature() == QLatin1String("osta{sv}") && pathOf(arguments.at(0)) == m_session
        && arguments.at(1).toString() == m_id)
        emit activated();
}

// The list names only the shortcuts that changed: ours missing from it is no news.
void PortalShortcut::onShortcutsChanged(const QDBusMessage &signal)
{
    const QVariantList arguments = signal.arguments();
    if (signal.signature() != QLatin1String("oa(sa{sv})") || pathOf(arguments.at(0)) != m_session)
        return;
    const std::optional<QVariantMap> ours = shortcutIn(arguments.at(1), m_id);
    if (!ours)
        return;
    const QString trigger = ours->value(Keys::triggerDescription).toString();
    if (trigger == m_trigger)
        return;
    m_trigger = trigger;
    Log::d(QStringLiteral("the desktop's shortcut is now ") + trigger, logTag);
    emit stateChanged();
}

void PortalShortcut::onSessionClosed(const QDBusMessage &signal)
{
    if (signal.path() != m_session)
        return;
    release();
    setState(State::Refused, QStringLiteral("the desktop ended the shortcut's session"));
}

void PortalShortcut::call(const QDBusMessage &message, ReplyHandler onReply)
{
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, m_callTimeoutMs), this);
    const quint64 serial = m_serial;
    const QString member = message.member();
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, serial, member, onReply] {
        watcher->deleteLater();
        if (serial != m_serial)
            return;
        const QDBusMessage reply = watcher->reply();
        switch (reply.type() == QDBusMessage::ErrorMessage ? QDBusError(reply).type() : QDBusError::NoError) {
        case QDBusError::NoReply:
        case QDBusError::Timeout:
        case QDBusError::TimedOut:
            fail(State::Absent, QStringLiteral("the desktop portal did not answer %1 within %2 ms")
                                    .arg(member)
                                    .arg(m_callTimeoutMs));
            break;
        case QDBusError::ServiceUnknown:
        case QDBusError::Disconnected:
            fail(State::Absent, QStringLiteral("no desktop portal on the session bus"));
            break;
        default:
            (this->*onReply)(reply);
        }
    });
}

void PortalShortcut::callWithRequest(QDBusMessage message, QVariantMap options, ResponseHandler onResponse)
{
    const QString token = nextToken();
    options.insert(Keys::handleToken, token);
    message << options;
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString predicted = objectPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    if (listen(predicted, requestInterface, QStringLiteral("Response")))
        m_requestPaths << predicted;
    m_onResponse = onResponse;
    call(message, &PortalShortcut::requestStarted);
}

void PortalShortcut::requestStarted(const QDBusMessage &reply)
{
    if (reply.type() == QDBusMessage::ErrorMessage) {
        fail(State::Refused, QStringLiteral("the desktop portal failed: ") + reply.errorMessage());
        return;
    }
    if (reply.signature() != QLatin1String("o")) {
        fail(State::Refused, malformed);
        return;
    }
    // Portals from before handle_token choose the request's path themselves.
    const QString handle = pathOf(reply.arguments().constFirst());
    if (!m_requestPaths.contains(handle) && listen(handle, requestInterface, QStringLiteral("Response")))
        m_requestPaths << handle;
}

void PortalShortcut::stopListeningToRequest()
{
    for (const QString &path : qAsConst(m_requestPaths))
        listen(path, requestInterface, QStringLiteral("Response"), false);
    m_requestPaths.clear();
    m_onResponse = nullptr;
}

bool PortalShortcut::listen(const QString &path, const QString &interface, const QString &member, bool on)
{
    return on ? m_bus.connect(service, path, interface, member, this, SLOT(route(QDBusMessage)))
              : m_bus.disconnect(service, path, interface, member, this, SLOT(route(QDBusMessage)));
}

void PortalShortcut::release()
{
    ++m_serial;
    // A request still open is the desktop's dialog: it goes with the session.
    for (const QString &path : qAsConst(m_requestPaths))
        m_bus.send(QDBusMessage::createMethodCall(service, path, requestInterface, QStringLiteral("Close")));
    if (!m_session.isEmpty())
        m_bus.send(QDBusMessage::createMethodCall(service, m_session, sessionInterface, QStringLiteral("Close")));
    stopListeningToRequest();
    if (!m_session.isEmpty()) {
        listen(m_session, sessionInterface, QStringLiteral("Closed"), false);
        m_session.clear();
    }
}

void PortalShortcut::fail(State state, const QString &problem)
{
    release();
    setState(state, problem);
}

void PortalShortcut::setState(State state, const QString &problem)
{
    if (state != State::Bound)
        m_trigger.clear();
    if (state == m_state && problem == m_problem)
        return;
    m_state = state;
    m_problem = problem;
    if (state == State::Bound)
        Log::d(QStringLiteral("the desktop holds the shortcut ") + m_trigger, logTag);
    else if (!problem.isEmpty())
        Log::d(QStringLiteral("no shortcut through the desktop portal: ") + problem, logTag);
    emit stateChanged();
}

QString PortalShortcut::nextToken()
{
    static quint64 count = 0;
    return QStringLiteral("talvero%1").arg(++count);
}
