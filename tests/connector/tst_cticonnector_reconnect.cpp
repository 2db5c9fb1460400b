#include "addressbook.h"
#include "addresses.h"
#include "connectedsimulator.h"
#include "cticonnector.h"
#include "line.h"
#include "signalrecorder.h"
#include "simcalls.h"
#include "simpresence.h"
#include "user.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

// Runs with the real timers (5 s between silent attempts, 15 s pings): each function starts
// logged in and ends logged in again.
class tst_CTIConnectorReconnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void serverAwayEndsInConnectionLost_data();
    void serverAwayEndsInConnectionLost();
    void deadLinkIsNoticed();
    void refusedSilentLoginEndsInConnectionLost();
    void slowHandshakeReachesASilentLogin();
    void changesDuringAnOutageAreLearnt();
    void startUpAnswersAskedAgain_data();
    void startUpAnswersAskedAgain();
    void bookLoadingResumesAfterADrop_data();
    void bookLoadingResumesAfterADrop();

private:
    ConnectedSimulator sim{"127.0.0.12"};
    CTIConnector *connector = CTIConnector::instance();
};

void tst_CTIConnectorReconnect::initTestCase()
{
    sim.logIn(QStringLiteral("anna"), QStringLiteral("secret"));
}

// A failed function leaves the link as it found it, so that the next one fails only for its own fault.
void tst_CTIConnectorReconnect::cleanup()
{
    if (!QTest::currentTestFailed())
        return;
    sim.setUnansweredCommands({});
    sim.setFrozen(false);
    sim.setHandshakeDelayMs(0);
    sim.addAccount(QStringLiteral("anna"), QStringLiteral("secret"));
    QVERIFY(sim.listen());
    QTRY_VERIFY_WITH_TIMEOUT(!connector->isReconnecting(), 30000);
    if (sim.loggedInCount() == 0)
        connector->reconnect();
    QTRY_VERIFY_WITH_TIMEOUT(sim.loggedInCount() == 1 && !connector->isReconnecting(), 30000);
}

// An attempt counts only once its login is accepted: a handshake alone does not start the
// silent attempts afresh, nor end a user's attempt.
void tst_CTIConnectorReconnect::serverAwayEndsInConnectionLost_data()
{
    QTest::addColumn<bool>("handshakes");
    QTest::newRow("server away") << false;
    QTest::newRow("link dropped before each login answer") << true;
}

void tst_CTIConnectorReconnect::serverAwayEndsInConnectionLost()
{
    QFETCH(bool, handshakes);
    SignalRecorder recorder(connector);
    QSignalSpy lost(connector, &CTIConnector::connectionLost);
    QElapsedTimer clock;
    clock.start();
    // Each handshake completes, and the link drops as the login comes, unanswered.
    QScopedPointer<QObject> dropping(new QObject);
    if (handshakes) {
        sim.setUnansweredCommands({QStringLiteral("login")});
        connect(&sim, &PbxSimulator::commandReceived, dropping.data(),
                [this] { QMetaObject::invokeMethod(&sim, [this] { sim.dropAllConnections(); }, Qt::QueuedConnection); });
    } else {
        sim.stopListening();
    }
    sim.dropAllConnections();

    QTRY_VERIFY_WITH_TIMEOUT(connector->isReconnecting(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 30000);
    // Three attempts, 5 s apart, the first 5 s after the drop.
    QVERIFY2(clock.elapsed() >= 14000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!connector->isReconnecting());
    QCOMPARE(connector->silentReconnectAttempts(), 3);

    // A user-triggered attempt that fails is a reconnectFailed, and nothing else.
    QSignalSpy failed(connector, &CTIConnector::reconnectFailed);
    connector->reconnect();
    QTRY_COMPARE(failed.count(), 1);
    QVERIFY(!connector->isReconnecting());
    // The answers to the previous reconnection's questions may still be arriving.
    QCOMPARE(recorder.linkSignals(), (QStringList{"reconnectFailed()x1", "connectionLost()x1"}));

    // The server back, the user's attempt succeeds; silent attempts start from none again.
    dropping.reset();
    sim.setUnansweredCommands({});
    QVERIFY(sim.listen());
    SignalRecorder back(connector);
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    connector->reconnect();
    QTRY_COMPARE(again.count(), 1);
    QCOMPARE(connector->silentReconnectAttempts(), 0);
    QCOMPARE(back.linkSignals(), QStringList{"reconnectSuccess()x1"});
}

void tst_CTIConnectorReconnect::deadLinkIsNoticed()
{
    SignalRecorder recorder(connector);
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    QElapsedTimer clock;
    clock.start();
    sim.setFrozen(true); // no answers, no pongs: a dead peer that keeps TCP open

    const int interval = CTIConnector::pingIntervalMs;
    QTRY_VERIFY_WITH_TIMEOUT(connector->isReconnecting(), (CTIConnector::deadLinkTicks + 1) * interval + 5000);
    // Two whole silent ping intervals, give or take where in an interval the freeze fell.
    QVERIFY2(clock.elapsed() >= (CTIConnector::deadLinkTicks - 1) * interval - 1000,
             qPrintable(QString::number(clock.elapsed())));
    sim.setFrozen(false);
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, 12000);
    QCOMPARE(recorder.linkSignals(), QStringList{"reconnectSuccess()x1"});
}

void tst_CTIConnectorReconnect::refusedSilentLoginEndsInConnectionLost()
{
    // The password was changed on the server while the link was down.
    sim.addAccount(QStringLiteral("anna"), QStringLiteral("changed"));
    SignalRecorder recorder(connector);
    QSignalSpy lost(connector, &CTIConnector::connectionLost);
    sim.dropAllConnections();
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 12000);
    QVERIFY(!connector->isReconnecting());
    QCOMPARE(recorder.linkSignals(), (QStringList{"loginFailed()x1", "connectionLost()x1"}));

    // The user decides now: a drop starts no silent attempts, and a reconnect() that fails is
    // answered at once.
    sim.stopListening();
    sim.dropAllConnections();
    SignalRecorder afterwards(connector);
    QSignalSpy failed(connector, &CTIConnector::reconnectFailed);
    QElapsedTimer clock;
    clock.start();
    connector->reconnect();
    QTRY_COMPARE(failed.count(), 1);
    QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!connector->isReconnecting());
    QCOMPARE(afterwards.emitted(), QStringList{"reconnectFailed()x1"});

    // Refused again: the refusal is the attempt's answer, and the end of its link is not another.
    QVERIFY(sim.listen());
    SignalRecorder refused(connector);
    connector->reconnect();
    QTRY_COMPARE(refused.emitted(), QStringList{"loginFailed()x1"});
    sim.dropAllConnections();
    QVERIFY(!failed.wait(1000));
    QCOMPARE(refused.emitted(), QStringList{"loginFailed()x1"});

    sim.addAccount(QStringLiteral("anna"), QStringLiteral("secret"));
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    connector->reconnect();
    QTRY_COMPARE(again.count(), 1);
}

void tst_CTIConnectorReconnect::slowHandshakeReachesASilentLogin()
{
    // A server that takes 7 s for the handshake: the attempt is given its time instead of being
    // replaced at the next 5 s tick.
    SignalRecorder recorder(connector);
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    sim.setHandshakeDelayMs(7000);
    sim.dropAllConnections();
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, 30000);
    sim.setHandshakeDelayMs(0);
    QCOMPARE(recorder.linkSignals(), QStringList{"reconnectSuccess()x1"});
    QCOMPARE(connector->silentReconnectAttempts(), 0);
    QVERIFY(!connector->isReconnecting());
}

// What the server changed while the link was down is never heard of as an event, yet learnt.
void tst_CTIConnectorReconnect::changesDuringAnOutageAreLearnt()
{
    QStringList opened, closed;
    connect(connector, &CTIConnector::lineOpenend, this, [&](Line *line) { opened << line->callId(); });
    // Closed as ended, whatever it last was: a view or pop-up reading a ringing state would ring on.
    connect(connector, &CTIConnector::lineClosed, this, [&](Line *line) {
        closed << line->callId() + (line->callState() >= CallState::Ended ? QString() : QStringLiteral(" not ended"));
    });
    const QString ended = sim.calls().startIncomingCall(QStringLiteral("0711 5550123")).value(0);
    const QString going = sim.calls().startIncomingCall(QStringLiteral("0711 5550124")).value(0);
    QTRY_VERIFY(opened.contains(ended) && opened.contains(going));
    sim.presence().reset(QJsonObject{
        {"users", QJsonArray{QJsonObject{{"id", "u-201"}, {"extension", "201"}, {"phone_presence", "free"}}}}});
    connector->requestJabberBuddies();
    QTRY_VERIFY(connector->buddy(QStringLiteral("u-201")));
    User *stored = connector->buddy(QStringLiteral("u-201"));
    QCOMPARE(stored->getPhonePresence(), QStringLiteral("free"));

    // One call ends and a colleague gets busy while the link is down.
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    sim.dropAllConnections();
    QTRY_VERIFY(connector->isReconnecting());
    QVERIFY(sim.calls().endCall(ended));
    QVERIFY(sim.presence().setPhonePresence(QStringLiteral("u-201"), QStringLiteral("busy")));
    sim.clearReceived();
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, 12000);
    QTRY_COMPARE(closed, QStringList{ended});
    QTRY_COMPARE(stored->getPhonePresence(), QStringLiteral("busy"));
    QCOMPARE(connector->buddy(QStringLiteral("u-201")), stored);
    // The phone configuration is asked for again too.
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("requestPhoneConfig")).size(), 1);
    QCOMPARE(sim.receivedCommands(QStringLiteral("requestJabberBuddies")).size(), 1);

    // The other call is still there, and still ends as calls do.
    QVERIFY(sim.calls().endCall(going));
    QTRY_COMPARE(closed, (QStringList{ended, going}));
    disconnect(connector, nullptr, this, nullptr);
}

// A start-up answer that the drop cut off is asked for again; one that came is not.
void tst_CTIConnectorReconnect::startUpAnswersAskedAgain_data()
{
    QTest::addColumn<QString>("lost");
    QTest::addColumn<QString>("answered");
    QTest::newRow("book list") << "getAddressbooks" << "getContactTypes";
    QTest::newRow("contact types") << "getContactTypes" << "getAddressbooks";
}

void tst_CTIConnectorReconnect::startUpAnswersAskedAgain()
{
    QFETCH(QString, lost);
    QFETCH(QString, answered);
    sim.scenario().addGeneratedAddressBook(QStringLiteral("few"), QStringLiteral("Few"), 3);
    QStringList heard;
    QObject context; // the connections end with the test, failed or not
    connect(connector, &CTIConnector::addressBookAdded, &context, [&] { heard << QStringLiteral("getAddressbooks"); });
    connect(connector, &CTIConnector::contactTypesAvailable, &context,
            [&] { heard << QStringLiteral("getContactTypes"); });
    sim.setUnansweredCommands({lost});
    connector->requestAddressBooks();
    connector->requestContactTypes();
    QTRY_VERIFY(heard.contains(answered) && sim.receivedCommands(lost).size() == 1);

    sim.setUnansweredCommands({});
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    sim.dropAllConnections();
    sim.clearReceived();
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, 12000);
    QTRY_VERIFY(heard.contains(lost));
    connector->hangup(QStringLiteral("marker")); // sent behind whatever the reconnection asked for
    QTRY_COMPARE(sim.receivedCommands(QStringLiteral("hangup")).size(), 1);
    QCOMPARE(sim.receivedCommands(lost).size(), 1);
    QCOMPARE(sim.receivedCommands(answered).size(), 0);
}

// A book whose loading the link cut off goes on from the page it waited for, each page asked once.
void tst_CTIConnectorReconnect::bookLoadingResumesAfterADrop_data()
{
    QTest::addColumn<bool>("whileHandedOut");
    QTest::addColumn<QList<int>>("offsets");
    // The second page's request is lost with the link and asked for again on the new one.
    QTest::newRow("link dropped while the second page is asked") << false << QList<int>{0, 10001, 10001, 20002};
    // The first page, still handed out when the new login is answered, asks for the second itself.
    QTest::newRow("new login while the first page is handed out") << true << QList<int>{0, 10001, 20002};
}

void tst_CTIConnectorReconnect::bookLoadingResumesAfterADrop()
{
    QFETCH(bool, whileHandedOut);
    const QString bookId = whileHandedOut ? QStringLiteral("big2") : QStringLiteral("big");
    sim.scenario().addGeneratedAddressBook(bookId, QStringLiteral("Big"), 25000, 1, 3);
    int contacts = 0;
    QStringList finished;
    QList<int> offsets;
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    QObject context;
    connect(connector, &CTIConnector::addressAdded, &context, [&] {
        if (++contacts > 1 || !whileHandedOut)
            return;
        // Back before the page is through: the new login's answer waits behind the page.
        sim.clearReceived();
        connector->reconnect();
        [&] { QTRY_COMPARE(sim.receivedCommands(QStringLiteral("login")).size(), 1); }();
    });
    connect(connector, &CTIConnector::addressesLoadingFinished, &context, [&](const QString &id) { finished << id; });
    connect(&sim, &PbxSimulator::commandReceived, &context, [&](const QJsonObject &command) {
        if (command.value(QStringLiteral("name")).toString() != QLatin1String("getAddresses"))
            return;
        offsets << command.value(QStringLiteral("data")).toObject().value(QStringLiteral("offset")).toInt();
        if (offsets.size() == 2 && !whileHandedOut) {
            // The link drops while the second page is asked for: that page never comes.
            sim.setUnansweredCommands({QStringLiteral("getAddresses")});
            QMetaObject::invokeMethod(
                &sim,
                [this] {
                    sim.setUnansweredCommands({});
                    sim.dropAllConnections();
                },
                Qt::QueuedConnection);
        }
    });
    connector->requestAddresses(bookId);
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(finished, QStringList{bookId}, 30000);
    QCOMPARE(contacts, 25000);
    QTEST(offsets, "offsets");
}

QTEST_GUILESS_MAIN(tst_CTIConnectorReconnect)
#include "tst_cticonnector_reconnect.moc"
