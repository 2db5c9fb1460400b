#include "portalshortcut.h"
#include "privatebus.h"
#include "standinportal.h"

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

namespace {
using State = PortalShortcut::State;
using namespace StandIn;
const QString appId = QStringLiteral("de.talvero.client");
const QString id = QStringLiteral("dial");
const QString description = QStringLiteral("Dial the selected number");
const QString wished = QStringLiteral("CTRL+ALT+p");
constexpr int timeoutMs = 1000; // ample for a stand-in in this process, even on a busy machine
} // namespace

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
    portal.slowUserMs = 2 * timeoutMs;
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
