#include "connectedsimulator.h"
#include "cticonnector.h"
#include "line.h"
#include "privatesystembus.h"
#include "signalrecorder.h"
#include "simcalls.h"
#include "wakewatcher.h"

#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

namespace {
QStringList g_wakeLog;
QtMessageHandler g_previous = nullptr;

void recordWakeLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("WakeWatcher")))
        g_wakeLog << message;
    g_previous(type, context, message);
}
}

// The watcher on a private system bus with stand-ins for logind and NetworkManager, wired to the
// connector as the program wires them; its clock is the test's.
class tst_WakeWatcher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void deadLinkReconnectsAtOnce_data();
    void deadLinkReconnectsAtOnce();
    void noWakeChecksNothing_data();
    void noWakeChecksNothing();
    void attemptsAtOnceKeepTheirInterval();
    void wakeSentTwiceReconnectsOnce_data();
    void wakeSentTwiceReconnectsOnce();
    void withoutBusOrServices_data();
    void withoutBusOrServices();

private:
    //! Makes the link "alive", "dropped" (the client saw it go) or "frozen" (dead, unnoticed);
    //! new links are served either way.
    void breakLink(const QString &link);
    //! What the system reports: a wake, a sleep, a network coming back or going, a clock jump.
    void happen(const QString &event);

    PrivateSystemBus bus;
    ConnectedSimulator sim{"127.0.0.117"};
    CTIConnector *connector = CTIConnector::instance();
    qint64 now = 1800000000000;
    static constexpr int clockIntervalMs = 50;
    WakeWatcher *watcher = nullptr;
};

void tst_WakeWatcher::initTestCase()
{
    if (const char *why = PrivateSystemBus::missing())
        QSKIP(why);
    const QString problem = bus.start();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(bus.ownServices());
    sim.logIn(QStringLiteral("anna"), QStringLiteral("secret"));
    watcher = new WakeWatcher(this, [this] { return now; });
    watcher->setClockCheckIntervalMs(clockIntervalMs);
    connect(watcher, &WakeWatcher::linkCheckWanted, connector, &CTIConnector::checkLinkNow);
    watcher->start();
    QTRY_VERIFY(watcher->hasAskedBus());
}

void tst_WakeWatcher::breakLink(const QString &link)
{
    if (link == QLatin1String("dropped")) {
        sim.dropAllConnections();
        QTRY_VERIFY(connector->isReconnecting());
    } else if (link == QLatin1String("frozen")) {
        sim.setFrozen(true); // the link stays frozen for good
        sim.setFrozen(false);
    }
}

void tst_WakeWatcher::happen(const QString &event)
{
    // Each report of a network back follows one of it gone: only a return is news.
    if (event == QLatin1String("woke")) {
        bus.prepareForSleep(false);
    } else if (event == QLatin1String("going to sleep")) {
        bus.prepareForSleep(true);
    } else if (event == QLatin1String("network state back")) {
        bus.networkStateChanged(20);
        bus.networkStateChanged(70);
    } else if (event == QLatin1String("network gone")) {
        bus.networkStateChanged(20); // disconnected, then asleep: no return in between
        bus.networkStateChanged(10);
    } else if (event == QLatin1String("State property back")) {
        bus.networkPropertyChanged(QStringLiteral("State"), 20);
        bus.networkPropertyChanged(QStringLiteral("State"), 60);
    } else if (event == QLatin1String("connectivity back")) {
        bus.networkPropertyChanged(QStringLiteral("Connectivity"), 1);
        bus.networkPropertyChanged(QStringLiteral("Connectivity"), 3);
    } else if (event == QLatin1String("clock jumped")) {
        now += clockIntervalMs + WakeWatcher::clockJumpMs + 1;
    } else if (event == QLatin1String("checked at once")) {
        connector->checkLinkNow();
    } else {
        QFAIL(qPrintable(QStringLiteral("no such event: ") + event));
    }
}

// Logged in again with what the server holds: a call that rang meanwhile is shown.
void tst_WakeWatcher::deadLinkReconnectsAtOnce_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("earliestMs");
    QTest::addColumn<int>("latestMs");
    // The server dropped the link while the machine slept: the next attempt does not wait 5 s.
    const int atOnce = 2000;
    QTest::newRow("dropped, woke") << "dropped" << "woke" << 0 << atOnce;
    QTest::newRow("dropped, network state back") << "dropped" << "network state back" << 0 << atOnce;
    QTest::newRow("dropped, State property back") << "dropped" << "State property back" << 0 << atOnce;
    QTest::newRow("dropped, connectivity back") << "dropped" << "connectivity back" << 0 << atOnce;
    QTest::newRow("dropped, clock jumped") << "dropped" << "clock jumped" << 0 << atOnce;
    // A link that died unnoticed is given up when the check's ping goes unanswered for 2 s. Every
    // event asks for the same check: the rows above cover the events, this one the frozen link.
    const int checkMs = CTIConnector::linkCheckTimeoutMs;
    QTest::newRow("frozen, woke") << "frozen" << "woke" << checkMs << checkMs + 1500;
    // The check's ping meets a link the server had dropped: no need to wait for its answer.
    QTest::newRow("dropped during the check") << "dropped during the check" << "checked at once" << 0 << atOnce;
}

void tst_WakeWatcher::deadLinkReconnectsAtOnce()
{
    QFETCH(QString, link);
    QFETCH(QString, event);
    QFETCH(int, earliestMs);
    QFETCH(int, latestMs);
    breakLink(link);
    const QString call = sim.calls().startIncomingCall(QStringLiteral("0711 5550199"), QString(), QString(), QString(),
                                                       QStringLiteral("anna")).value(0);
    QVERIFY(!call.isEmpty());
    qint64 shownAfterMs = -1;
    QElapsedTimer clock;
    QObject context;
    connect(connector, &CTIConnector::lineOpenend, &context, [&](Line *line) {
        if (line->callId() == call)
            shownAfterMs = clock.elapsed();
    });
    SignalRecorder recorder(connector);

    clock.start();
    happen(event);
    if (link == QLatin1String("dropped during the check"))
        sim.dropAllConnections();
    QTRY_VERIFY_WITH_TIMEOUT(shownAfterMs >= 0, latestMs + 5000);
    QVERIFY2(shownAfterMs >= earliestMs && shownAfterMs <= latestMs, qPrintable(QString::number(shownAfterMs)));
    QCOMPARE(recorder.linkSignals(), QStringList{"reconnectSuccess()x1"});
    QCOMPARE(connector->silentReconnectAttempts(), 0);
    QSignalSpy closed(connector, &CTIConnector::lineClosed);
    QVERIFY(sim.calls().endCall(call));
    QTRY_COMPARE(closed.count(), 1);
}

// Nothing is sent before sleep, nor when a network goes (a clock that merely ran late: see
// withoutBusOrServices); a wake on a live link sends a ping, answered, and nothing else happens.
void tst_WakeWatcher::noWakeChecksNothing_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("event");
    QTest::newRow("going to sleep") << "frozen" << "going to sleep";
    QTest::newRow("network gone") << "frozen" << "network gone";
    QTest::newRow("woke, link alive") << "alive" << "woke";
}

void tst_WakeWatcher::noWakeChecksNothing()
{
    QFETCH(QString, link);
    QFETCH(QString, event);
    breakLink(link);
    SignalRecorder recorder(connector);
    QSignalSpy dropped(&sim, &PbxSimulator::clientDisconnected);
    happen(event);
    // Long enough for a check's ping to go unanswered.
    QVERIFY(!dropped.wait(CTIConnector::linkCheckTimeoutMs + 1000));
    QVERIFY(!connector->isReconnecting());
    // The link's signals only: answers to the previous row's reconnection may still come in.
    QCOMPARE(recorder.linkSignals(), QStringList());

    if (link == QLatin1String("frozen")) {
        // Woken for real, the frozen link goes.
        QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
        happen(QStringLiteral("woke"));
        QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, CTIConnector::linkCheckTimeoutMs + 3000);
    }
}

// The attempt made at once is one of the silent attempts; the next one still comes 5 s later.
void tst_WakeWatcher::attemptsAtOnceKeepTheirInterval()
{
    sim.stopListening();
    breakLink(QStringLiteral("dropped"));
    QElapsedTimer clock;
    clock.start();
    happen(QStringLiteral("woke"));
    QTRY_COMPARE_WITH_TIMEOUT(connector->silentReconnectAttempts(), 1, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(connector->silentReconnectAttempts(), 2, CTIConnector::reconnectIntervalMs + 2000);
    QVERIFY2(clock.elapsed() >= CTIConnector::reconnectIntervalMs - 500, qPrintable(QString::number(clock.elapsed())));
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    QVERIFY(sim.listen());
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, CTIConnector::reconnectIntervalMs + 2000);
}

// Some systems send the wake twice: one reconnection.
void tst_WakeWatcher::wakeSentTwiceReconnectsOnce_data()
{
    QTest::addColumn<QString>("link");
    QTest::newRow("dropped") << "dropped";
    QTest::newRow("frozen") << "frozen";
}

void tst_WakeWatcher::wakeSentTwiceReconnectsOnce()
{
    QFETCH(QString, link);
    breakLink(link);
    sim.clearReceived();
    SignalRecorder recorder(connector);
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    happen(QStringLiteral("woke"));
    happen(QStringLiteral("woke"));
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, CTIConnector::linkCheckTimeoutMs + 3000);
    // A wake handled after the new login finds the new link alive.
    QSignalSpy dropped(&sim, &PbxSimulator::clientDisconnected);
    QVERIFY(!dropped.wait(CTIConnector::linkCheckTimeoutMs + 1000));
    QCOMPARE(sim.receivedCommands(QStringLiteral("login")).size(), 1);
    QCOMPARE(recorder.linkSignals(), QStringList{"reconnectSuccess()x1"});
    QCOMPARE(connector->silentReconnectAttempts(), 0);
}

// Without the bus or the services the clock still notices a wake, and one line says so.
void tst_WakeWatcher::withoutBusOrServices_data()
{
    QTest::addColumn<bool>("busRuns");
    QTest::newRow("no bus") << false;
    QTest::newRow("no services") << true;
}

void tst_WakeWatcher::withoutBusOrServices()
{
    QFETCH(bool, busRuns);
    PrivateSystemBus bare;
    if (busRuns) {
        const QString problem = bare.start();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    } else {
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/talvero-test-bus");
    }
    QLoggingCategory::setFilterRules(QStringLiteral("cti.debug=true"));
    g_wakeLog.clear();
    g_previous = qInstallMessageHandler(recordWakeLog);
    const auto restore = qScopeGuard([] {
        qInstallMessageHandler(g_previous);
        QLoggingCategory::setFilterRules(QString());
    });
    qint64 time = 0;
    WakeWatcher alone(nullptr, [&time] { return time; });
    QSignalSpy wanted(&alone, &WakeWatcher::linkCheckWanted);
    alone.start();
    QTRY_COMPARE(g_wakeLog.size(), 1);
    // The real interval: a check 15 s late is no wake, one a moment later is.
    const int interval = WakeWatcher::clockCheckIntervalMs;
    time += interval + WakeWatcher::clockJumpMs;
    QVERIFY(!wanted.wait(interval + 1000));
    time += interval + WakeWatcher::clockJumpMs + 1;
    QTRY_COMPARE_WITH_TIMEOUT(wanted.count(), 1, interval + 1000);
    QCOMPARE(g_wakeLog.size(), 1);
    QVERIFY2(g_wakeLog.constFirst().contains(busRuns ? "org.freedesktop.login1 and org.freedesktop.NetworkManager"
                                                     : "no system bus"),
             qPrintable(g_wakeLog.constFirst()));
}

QTEST_GUILESS_MAIN(tst_WakeWatcher)
#include "tst_wakewatcher.moc"
