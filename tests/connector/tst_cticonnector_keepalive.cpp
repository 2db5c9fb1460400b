#include "connectedsimulator.h"
#include "cticonnector.h"
#include "signalrecorder.h"

#include <QSignalSpy>
#include <QtTest>

// A process of its own beside tst_cticonnector_reconnect: the wait below runs with the real
// 15 s pings, and in parallel with the other tests it costs the suite no time.
class tst_CTIConnectorKeepAlive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void quietServerKeepsTheLink();

private:
    ConnectedSimulator sim{"127.0.0.14"};
    CTIConnector *connector = CTIConnector::instance();
};

void tst_CTIConnectorKeepAlive::initTestCase()
{
    sim.logIn(QStringLiteral("anna"), QStringLiteral("secret"));
}

// A server with nothing to say answers pings and sends nothing else: its pongs alone must keep
// the link alive past the latest moment a dead one is given up.
void tst_CTIConnectorKeepAlive::quietServerKeepsTheLink()
{
    SignalRecorder recorder(connector);
    QSignalSpy sent(&sim, &PbxSimulator::messageSent);
    QSignalSpy dropped(&sim, &PbxSimulator::clientDisconnected);
    const int deadLinkNoticedMs = (CTIConnector::deadLinkTicks + 1) * CTIConnector::pingIntervalMs;

    QVERIFY(!dropped.wait(deadLinkNoticedMs + 3000));
    QCOMPARE(sent.count(), 0);
    QCOMPARE(sim.loggedInCount(), 1);
    QVERIFY(!connector->isReconnecting());
    QCOMPARE(recorder.emitted(), QStringList());
}

QTEST_GUILESS_MAIN(tst_CTIConnectorKeepAlive)
#include "tst_cticonnector_keepalive.moc"
