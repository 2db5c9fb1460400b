#include "portalshortcut.h"
#include "privatebus.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

// A shortcut as the stand-in marshals it: written apart from the client's, so a fault shared by
// both sides does not cancel out.
struct Shortcut
{
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(Shortcut)

QDBusArgument &operator<<(QDBusArgument &argument, const Shortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Shortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace {
using State = PortalShortcut::State;
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString appId = QStringLiteral("de.talvero.client");
const QString id = QStringLiteral("dial");
const QString description = QStringLiteral("Dial the selected number");
const QString wished = QStringLiteral("CTRL+ALT+p");
const QString given = QStringLiteral("Ctrl+Alt+P");
constexpr int timeoutMs = 1000; // ample for a stand-in in this process, even on a busy machine

QVariant shortcutList(const QString &shortcutId, const QString &trigger)
{
    return QVariant::fromValue(QList<Shortcut>{{shortcutId, {{QStringLiteral("trigger_description"), trigger}}}});
}
}

// The desktop's portal as far as the client uses it. `fault` names how it strays from a
// well-behaved one (the row names of tst_PortalShortcut::bind); it records what it was asked.
class StandInPortal final : public QDBusVirtualObject
{
public:
    StandInPortal(const QDBusConnection &bus, const QString &fault)
        : m_bus(bus)
        , m_fault(fault)
    {
        QVERIFY(m_bus.registerVirtualObject(PortalShortcut::objectPath, this, QDBusConnection::SubPath));
        if (fault != QLatin1String("no portal on the bus"))
            QVERIFY(m_bus.registerService(PortalShortcut::service));
        m_repeater.setInterval(20);
    }

    ~StandInPortal() override
    {
        m_bus.unregisterService(PortalShortcut::service);
        m_bus.unregisterObject(PortalShortcut::objectPath, QDBusConnection::UnregisterTree);
    }

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        const QString member = message.member();
        calls << member;
        m_repeater.stop();
        if (member == QLatin1String("CreateSession") || member == QLatin1String("BindShortcuts"))
            requests << requestPath(message);
        if (m_fault == QLatin1String("hangs on ") + member)
            return true;
        if (member == QLatin1String("Register")) {
            registered << message.arguments().value(0).toString();
            m_bus.send(m_fault == QLatin1String("no registry")
                           ? message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method"))
                           : message.createReply());
        } else if (member == QLatin1String("Get")) {
            if (m_fault == QLatin1String("no global shortcuts")
                || message.arguments() != QVariantList{shortcutsInterface, QStringLiteral("version")})
                m_bus.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such interface")));
            else
                m_bus.send(message.createReply(QVariant::fromValue(QDBusVariant(
                    m_fault == QLatin1String("version of wrong type") ? QVariant(QStringLiteral("1")) : QVariant(1u)))));
        } else if (member == QLatin1String("CreateSession")) {
            createSession(message);
        } else if (member == QLatin1String("BindShortcuts")) {
            bindShortcuts(message);
        } else {
            if (member == QLatin1String("Close"))
                closed << message.path();
            m_bus.send(message.createReply());
        }
        return true;
    }

    void emitSignal(const QString &path, const QString &interface, const QString &member, const QVariantList &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, member);
        signal.setArguments(arguments);
        QVERIFY(m_bus.send(signal));
    }

    void press(const QString &inSession, const QString &shortcutId)
    {
        emitSignal(PortalShortcut::objectPath, shortcutsInterface, QStringLiteral("Activated"),
                   {QVariant::fromValue(QDBusObjectPath(inSession)), shortcutId, quint64(1234), QVariantMap()});
    }

    QStringList calls;
    QStringList registered;
    //! What the last BindShortcuts asked for: id, description, preferred trigger, parent window.
    QStringList bound;
    QString session;
    //! The requests handed out, and the sessions and requests the client closed.
    QStringList requests;
    QStringList closed;

private:
    void createSession(const QDBusMessage &message)
    {
        if (m_fault == QLatin1String("CreateSession error")) {
            m_bus.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.Failed"),
                                                QStringLiteral("no backend")));
            return;
        }
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(0));
        session = PortalShortcut::objectPath + QStringLiteral("/session/") + sender(message) + QLatin1Char('/')
            + options.value(QStringLiteral("session_handle_token")).toString();
        QVariantMap results{{QStringLiteral("session_handle"), QVariant::fromValue(QDBusObjectPath(session))}};
        if (m_fault == QLatin1String("session handle as string"))
            results[QStringLiteral("session_handle")] = session;
        else if (m_fault == QLatin1String("session handle not a path"))
            results[QStringLiteral("session_handle")] = QStringLiteral("session 1");
        else if (m_fault == QLatin1String("no session handle"))
            results.clear();
        answer(message, options, m_fault == QLatin1String("session refused") ? 2 : 0, results);
    }

    void bindShortcuts(const QDBusMessage &message)
    {
        const QVariantList arguments = message.arguments();
        if (message.signature() != QLatin1String("oa(sa{sv})sa{sv}")
            || arguments.at(0).value<QDBusObjectPath>().path() != session) {
            m_bus.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("bad arguments")));
            return;
        }
        const Shortcut wanted = qdbus_cast<QList<Shortcut>>(arguments.at(1)).value(0);
        bound = QStringList{wanted.id, wanted.properties.value(QStringLiteral("description")).toString(),
                            wanted.properties.value(QStringLiteral("preferred_trigger")).toString(),
                            arguments.at(2).toString()};
        QVariantMap results{{QStringLiteral("shortcuts"), shortcutList(wanted.id, given)}};
        if (m_fault == QLatin1String("shortcut missing"))
            results[QStringLiteral("shortcuts")] = shortcutList(QStringLiteral("other"), given);
        else if (m_fault == QLatin1String("shortcuts of wrong type"))
            results[QStringLiteral("shortcuts")] = QVariantMap{{wanted.id, given}};
        const uint response = m_fault == QLatin1String("user cancels") ? 1 : m_fault == QLatin1String("binding fails") ? 2 : 0;
        answer(message, qdbus_cast<QVariantMap>(arguments.at(3)), response, results);
    }

    // Replies with the request's handle and sends the Response on it, in the order (and at the
    // time) the fault says.
    void answer(const QDBusMessage &message, const QVariantMap &options, uint response, const QVariantMap &results)
    {
        const QString token = options.value(QStringLiteral("handle_token")).toString();
        if (token.isEmpty() || m_tokens.contains(token)) {
            m_bus.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("handle_token used before")));
            return;
        }
        m_tokens << token;
        const QString path = requests.constLast();
        const QVariantList arguments = m_fault == QLatin1String("Response of wrong types")
            ? QVariantList{QStringLiteral("done")}
            : QVariantList{response, results};
        const auto respond = [this, path, arguments] {
            emitSignal(path, requestInterface, QStringLiteral("Response"), arguments);
        };
        const QDBusMessage reply = message.createReply(m_fault == QLatin1String("request handle of wrong type")
                                                           ? QVariant(path)
                                                           : QVariant::fromValue(QDBusObjectPath(path)));
        if (m_fault == QLatin1String("answers before replying")) {
            respond();
            m_bus.send(reply);
        } else if (m_fault == QLatin1String("own request paths")) {
            // No telling when the client listens on a path it learnt only now: repeat until it asks on.
            m_bus.send(reply);
            QObject::disconnect(&m_repeater, nullptr, nullptr, nullptr);
            QObject::connect(&m_repeater, &QTimer::timeout, this, respond);
            m_repeater.start();
        } else {
            m_bus.send(reply);
            const bool slowUser = m_fault == QLatin1String("slow user") && message.member() == QLatin1String("BindShortcuts");
            QTimer::singleShot(slowUser ? 2 * timeoutMs : 0, this, respond);
        }
    }

    QString requestPath(const QDBusMessage &message) const
    {
        if (m_fault == QLatin1String("own request paths"))
            return PortalShortcut::objectPath + QStringLiteral("/request/own/r%1").arg(requests.size());
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(message.arguments().size() - 1));
        return PortalShortcut::objectPath + QStringLiteral("/request/") + sender(message) + QLatin1Char('/')
            + options.value(QStringLiteral("handle_token")).toString();
    }

    static QString sender(const QDBusMessage &message)
    {
        return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    }

    QDBusConnection m_bus;
    const QString m_fault;
    QStringList m_tokens;
    QTimer m_repeater;
};

// The shortcut against a stand-in portal on a private session bus.
class tst_PortalShortcut : public QObject
{
    Q_OBJECT

public slots:
    void synced() { ++m_synced; }

private slots:
    void initTestCase();
    void bind_data();
    void bind();
    void afterBinding_data();
    void afterBinding();
    void closedWhileBinding_data();
    void closedWhileBinding();

private:
    //! Hands the shortcut a signal as if it had been queued before what the test did last.
    static void deliverQueued(PortalShortcut *shortcut, const QDBusMessage &signal)
    {
        QVERIFY(QMetaObject::invokeMethod(shortcut, "route", Q_ARG(QDBusMessage, signal)));
    }
    //! Returns once the client has seen every signal the portal sent so far.
    bool sync(StandInPortal &portal);

    PrivateBus m_bus{"DBUS_SESSION_BUS_ADDRESS"};
    QDBusConnection m_client{QString()};
    int m_synced = 0;
};

void tst_PortalShortcut::initTestCase()
{
    if (const char *why = PrivateBus::missing())
        QSKIP(why);
    const QString problem = m_bus.start();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    m_client = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("client"));
    QVERIFY(m_client.connect(QString(), QStringLiteral("/sync"), QStringLiteral("org.talvero.Test"),
                             QStringLiteral("Synced"), this, SLOT(synced())));
}

bool tst_PortalShortcut::sync(StandInPortal &portal)
{
    const int expected = m_synced + 1;
    portal.emitSignal(QStringLiteral("/sync"), QStringLiteral("org.talvero.Test"), QStringLiteral("Synced"), {});
    return QTest::qWaitFor([&] { return m_synced == expected; }, 5000);
}

// The row's name is the stand-in's fault; `expected` is the trigger when bound, else part of
// the problem.
void tst_PortalShortcut::bind_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("expected");
    QTest::newRow("well-behaved") << State::Bound << given;
    QTest::newRow("no registry") << State::Bound << given;
    QTest::newRow("answers before replying") << State::Bound << given;
    QTest::newRow("own request paths") << State::Bound << given;
    QTest::newRow("session handle as string") << State::Bound << given;
    QTest::newRow("slow user") << State::Bound << given;

    QTest::newRow("user cancels") << State::Refused << "cancelled";
    QTest::newRow("binding fails") << State::Refused << "refused the shortcut CTRL+ALT+p";
    QTest::newRow("session refused") << State::Refused << "refused a shortcut session";
    QTest::newRow("CreateSession error") << State::Refused << "no backend";
    QTest::newRow("shortcut missing") << State::Refused << "did not take the shortcut";
    QTest::newRow("shortcuts of wrong type") << State::Refused << "did not take the shortcut";
    QTest::newRow("Response of wrong types") << State::Refused << "malformed";
    QTest::newRow("request handle of wrong type") << State::Refused << "malformed";
    QTest::newRow("no session handle") << State::Refused << "malformed";
    QTest::newRow("session handle not a path") << State::Refused << "malformed";

    QTest::newRow("no portal on the bus") << State::Absent << "no desktop portal";
    QTest::newRow("no session bus") << State::Absent << "no session bus";
    QTest::newRow("no global shortcuts") << State::Absent << "no global shortcuts portal";
    QTest::newRow("version of wrong type") << State::Absent << "malformed";
    QTest::newRow("hangs on Register") << State::Absent << "did not answer Register within 1000 ms";
    QTest::newRow("hangs on BindShortcuts") << State::Absent << "did not answer BindShortcuts";
}

void tst_PortalShortcut::bind()
{
    QFETCH(State, state);
    QFETCH(QString, expected);
    const QString fault = QString::fromLatin1(QTest::currentDataTag());
    StandInPortal portal(m_bus.serviceConnection(), fault);
    PortalShortcut shortcut(fault == QLatin1String("no session bus")
                                ? QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/talvero-bus"),
                                                                QStringLiteral("none"))
                                : m_client);
    shortcut.setCallTimeoutMs(timeoutMs);
    QSignalSpy changed(&shortcut, &PortalShortcut::stateChanged);
    shortcut.bind(appId, id, description, wished);
    QTRY_VERIFY_WITH_TIMEOUT(shortcut.state() != State::Binding, 10 * timeoutMs);
    QCOMPARE(shortcut.state(), state);
    QVERIFY(!changed.isEmpty());
    if (state == State::Bound) {
        QCOMPARE(shortcut.trigger(), expected);
        QCOMPARE(shortcut.problem(), QString());
        QCOMPARE(portal.registered, QStringList{appId});
        QCOMPARE(portal.bound, (QStringList{id, description, wished, QString()}));
        // The request is answered: the same answer once more, or another, is of no account.
        deliverQueued(&shortcut, QDBusMessage::createSignal(portal.requests.constLast(), requestInterface,
                                                            QStringLiteral("Response"))
                                     << 1u << QVariantMap());
        QCOMPARE(shortcut.state(), State::Bound);
    } else {
        QVERIFY2(shortcut.problem().contains(expected), qPrintable(shortcut.problem()));
        QCOMPARE(shortcut.trigger(), QString());
    }
    // A session the desktop refused to bind in is of no use: it goes.
    if (state == State::Refused && portal.calls.contains(QStringLiteral("BindShortcuts")))
        QTRY_VERIFY(portal.closed.contains(portal.session));
}

// After binding, what the row names happens; then the presses, changes and state seen.
void tst_PortalShortcut::afterBinding_data()
{
    QTest::addColumn<int>("presses");
    QTest::addColumn<int>("changes");
    QTest::addColumn<State>("state");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<bool>("sessionClosed");
    QTest::newRow("pressed") << 1 << 0 << State::Bound << given << false;
    QTest::newRow("another shortcut pressed") << 0 << 0 << State::Bound << given << false;
    QTest::newRow("pressed in another session") << 0 << 0 << State::Bound << given << false;
    QTest::newRow("pressed, malformed") << 0 << 0 << State::Bound << given << false;
    QTest::newRow("trigger changed") << 0 << 1 << State::Bound << "Super+D" << false;
    QTest::newRow("trigger reported unchanged") << 0 << 0 << State::Bound << given << false;
    QTest::newRow("trigger changed in another session") << 0 << 0 << State::Bound << given << false;
    QTest::newRow("others' triggers changed") << 0 << 0 << State::Bound << given << false;
    QTest::newRow("trigger change malformed") << 0 << 0 << State::Bound << given << false;
    QTest::newRow("desktop ends the session, then pressed") << 0 << 1 << State::Refused << QString() << false;
    QTest::newRow("closed twice, then ended and pressed") << 0 << 1 << State::Idle << QString() << true;
    QTest::newRow("bound anew, then pressed in both") << 1 << 2 << State::Bound << given << true;
    QTest::newRow("destroyed") << 0 << 0 << State::Idle << QString() << true;
}

void tst_PortalShortcut::afterBinding()
{
    QFETCH(int, presses);
    QFETCH(int, changes);
    QFETCH(State, state);
    QFETCH(QString, trigger);
    QFETCH(bool, sessionClosed);
    const QString event = QString::fromLatin1(QTest::currentDataTag());
    StandInPortal portal(m_bus.serviceConnection(), QString());
    auto shortcut = std::make_unique<PortalShortcut>(m_client);
    shortcut->bind(appId, id, description, wished);
    QTRY_COMPARE(shortcut->state(), State::Bound);
    const QString session = portal.session;
    const QString otherSession = PortalShortcut::objectPath + QStringLiteral("/session/1_999/talvero1");
    QSignalSpy pressed(shortcut.get(), &PortalShortcut::activated);
    QSignalSpy changed(shortcut.get(), &PortalShortcut::stateChanged);
    const auto triggersChanged = [&](const QString &inSession, const QVariant &shortcuts) {
        portal.emitSignal(PortalShortcut::objectPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"),
                          {QVariant::fromValue(QDBusObjectPath(inSession)), shortcuts});
    };

    if (event == QLatin1String("pressed")) {
        portal.press(session, id);
    } else if (event == QLatin1String("another shortcut pressed")) {
        portal.press(session, QStringLiteral("other"));
    } else if (event == QLatin1String("pressed in another session")) {
        portal.press(otherSession, id);
    } else if (event == QLatin1String("pressed, malformed")) { // the session a string, no object path
        portal.emitSignal(PortalShortcut::objectPath, shortcutsInterface, QStringLiteral("Activated"), {session, id});
    } else if (event == QLatin1String("trigger changed")) {
        triggersChanged(session, shortcutList(id, QStringLiteral("Super+D")));
    } else if (event == QLatin1String("trigger reported unchanged")) {
        triggersChanged(session, shortcutList(id, given));
    } else if (event == QLatin1String("trigger changed in another session")) {
        triggersChanged(otherSession, shortcutList(id, QStringLiteral("Super+D")));
    } else if (event == QLatin1String("others' triggers changed")) {
        triggersChanged(session, shortcutList(QStringLiteral("other"), QStringLiteral("Super+D")));
    } else if (event == QLatin1String("trigger change malformed")) { // as above
        portal.emitSignal(PortalShortcut::objectPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"),
                          {session, shortcutList(id, QStringLiteral("Super+D"))});
    } else if (event == QLatin1String("desktop ends the session, then pressed")) {
        portal.emitSignal(session, sessionInterface, QStringLiteral("Closed"), {QVariantMap()});
        portal.press(session, id);
    } else if (event == QLatin1String("closed twice, then ended and pressed")) {
        shortcut->close();
        shortcut->close();
        deliverQueued(shortcut.get(), QDBusMessage::createSignal(session, sessionInterface, QStringLiteral("Closed")));
        portal.press(session, id);
    } else if (event == QLatin1String("bound anew, then pressed in both")) {
        shortcut->bind(appId, id, description, wished);
        QTRY_COMPARE(shortcut->state(), State::Bound);
        QVERIFY(portal.session != session);
        portal.press(session, id);
        portal.press(portal.session, id);
    } else if (event == QLatin1String("destroyed")) {
        shortcut.reset();
    }
    QVERIFY(sync(portal));
    QCOMPARE(pressed.count(), presses);
    QCOMPARE(changed.count(), changes);
    if (shortcut) {
        QCOMPARE(shortcut->state(), state);
        QCOMPARE(shortcut->trigger(), trigger);
        QCOMPARE(shortcut->problem().isEmpty(), state != State::Refused);
    }
    if (sessionClosed)
        QTRY_VERIFY(portal.closed.contains(session));
}

// Whatever the portal still sends for a binding closed midway counts no more.
void tst_PortalShortcut::closedWhileBinding_data()
{
    QTest::addColumn<QString>("call");
    QTest::newRow("hangs on CreateSession") << "CreateSession";
    QTest::newRow("slow user") << "BindShortcuts";
}

void tst_PortalShortcut::closedWhileBinding()
{
    QFETCH(QString, call);
    StandInPortal portal(m_bus.serviceConnection(), QString::fromLatin1(QTest::currentDataTag()));
    PortalShortcut shortcut(m_client);
    shortcut.setCallTimeoutMs(timeoutMs);
    QSignalSpy changed(&shortcut, &PortalShortcut::stateChanged);
    shortcut.bind(appId, id, description, wished);
    QTRY_VERIFY(portal.calls.contains(call));
    shortcut.close();
    QCOMPARE(shortcut.state(), State::Idle);
    const QString request = portal.requests.constLast();
    QStringList closed{request};
    if (call == QLatin1String("BindShortcuts"))
        closed << portal.session;
    QTRY_COMPARE(portal.closed, closed);
    deliverQueued(&shortcut, QDBusMessage::createSignal(request, requestInterface, QStringLiteral("Response"))
                                 << 0u << QVariantMap());
    // A second shortcut asked later ends later: by then the first one's time-out or answer passed.
    PortalShortcut witness(m_client);
    witness.setCallTimeoutMs(timeoutMs);
    witness.bind(appId, id, description, wished);
    QTRY_VERIFY_WITH_TIMEOUT(witness.state() != State::Binding, 10 * timeoutMs);
    QCOMPARE(shortcut.state(), State::Idle);
    QCOMPARE(changed.count(), 2);
}

QTEST_GUILESS_MAIN(tst_PortalShortcut)
#include "tst_portalshortcut.moc"
