#include "cticonnector.h"
#include "pbxsimulator.h"
#include "signalrecorder.h"

#include <QSignalSpy>
#include <QtTest>

// Runs with the real timers (5 s between silent attempts, 15 s pings): each function starts
// logged in and ends logged in again.
class tst_CTIConnectorReconnect : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void serverAwayEndsInConnectionLost();
    void reconnectAfterLoss();
    void serverBackDuringSilentAttempts();
    void deadLinkIsNoticed();
    void refusedSilentLoginEndsInConnectionLost();

private:
    const QString host = QStringLiteral("127.0.0.12");
    PbxSimulator sim{QHostAddress(QStringLiteral("127.0.0.12"))};
    CTIConnector *connector = CTIConnector::instance();
};

void tst_CTIConnectorReconnect::initTestCase()
{
    sim.addAccount(QStringLiteral("anna"), QStringLiteral("secret"));
    QVERIFY2(sim.listen(), qPrintable(sim.errorString()));
    QSignalSpy accepted(connector, &CTIConnector::loginSuccess);
    connector->login(QStringLiteral("anna"), QStringLiteral("secret"), host);
    QTRY_COMPARE(accepted.count(), 1);
}

void tst_CTIConnectorReconnect::serverAwayEndsInConnectionLost()
{
    SignalRecorder recorder(connector);
    QSignalSpy lost(connector, &CTIConnector::connectionLost);
    QElapsedTimer clock;
    clock.start();
    sim.stopListening();
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
    QCOMPARE(recorder.emitted(), (QStringList{"reconnectFailed()x1", "connectionLost()x1"}));
}

void tst_CTIConnectorReconnect::reconnectAfterLoss()
{
    QVERIFY(sim.listen());
    SignalRecorder recorder(connector);
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    connector->reconnect();
    QTRY_COMPARE(again.count(), 1);
    QCOMPARE(connector->silentReconnectAttempts(), 0);
    QCOMPARE(recorder.emitted(), QStringList{"reconnectSuccess()x1"});
}

void tst_CTIConnectorReconnect::serverBackDuringSilentAttempts()
{
    SignalRecorder recorder(connector);
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    sim.stopListening();
    sim.dropAllConnections();
    QTRY_VERIFY_WITH_TIMEOUT(connector->silentReconnectAttempts() >= 1, 8000);
    QVERIFY(sim.listen());
    QTRY_COMPARE_WITH_TIMEOUT(again.count(), 1, 12000);
    QCOMPARE(connector->silentReconnectAttempts(), 0);
    QVERIFY(!connector->isReconnecting());
    QCOMPARE(recorder.emitted(), QStringList{"reconnectSuccess()x1"});
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
    QCOMPARE(recorder.emitted(), QStringList{"reconnectSuccess()x1"});
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
    QCOMPARE(recorder.emitted(), (QStringList{"loginFailed()x1", "connectionLost()x1"}));

    sim.addAccount(QStringLiteral("anna"), QStringLiteral("secret"));
    QSignalSpy again(connector, &CTIConnector::reconnectSuccess);
    connector->reconnect();
    QTRY_COMPARE(again.count(), 1);
}

QTEST_GUILESS_MAIN(tst_CTIConnectorReconnect)
#include "tst_cticonnector_reconnect.moc"
