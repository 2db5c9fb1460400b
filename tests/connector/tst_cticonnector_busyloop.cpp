#include "cticonnector.h"
#include "pbxsimulator.h"
#include "signalrecorder.h"

#include <QElapsedTimer>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

namespace {
const QString address = QStringLiteral("127.0.0.15");

//! The simulator on a thread of its own: it answers pings while the client's thread is busy.
class SimulatorThread final : public QThread
{
public:
    bool listening = false;
    QSemaphore ready;

protected:
    void run() override
    {
        PbxSimulator sim{QHostAddress(address)};
        sim.addAccount(QStringLiteral("anna"), QStringLiteral("secret"));
        listening = sim.listen();
        ready.release();
        exec();
    }
};

//! Work on the main thread that keeps its event loop away for that long.
void busy(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
    }
}
} // namespace

class tst_CTIConnectorBusyLoop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void busyClientKeepsAHealthyLink();

private:
    SimulatorThread simThread;
    CTIConnector *connector = CTIConnector::instance();
    static constexpr int intervalMs = 300;
};

void tst_CTIConnectorBusyLoop::initTestCase()
{
    simThread.start();
    simThread.ready.acquire();
    QVERIFY(simThread.listening);
    connector->setPingIntervalMs(intervalMs);
    QSignalSpy accepted(connector, &CTIConnector::loginSuccess);
    connector->login(QStringLiteral("anna"), QStringLiteral("secret"), address);
    QTRY_COMPARE(accepted.count(), 1);
}

void tst_CTIConnectorBusyLoop::cleanupTestCase()
{
    simThread.quit();
    simThread.wait();
}

// Each stretch of work outlasts a ping interval, with one pass of the event loop between: the
// tick in that pass comes before the pong that waited is handled. The server answers every ping
// and says nothing else: its pongs alone keep the link.
void tst_CTIConnectorBusyLoop::busyClientKeepsAHealthyLink()
{
    SignalRecorder recorder(connector);
    for (int round = 0; round < 3 * CTIConnector::deadLinkTicks + 2; ++round) {
        busy(intervalMs * 3 / 2);
        QCoreApplication::processEvents();
    }
    // Idle again: the link is still up and keeps being checked.
    QTest::qWait(3 * intervalMs);
    QVERIFY(!connector->isReconnecting());
    QCOMPARE(recorder.emitted(), QStringList());
}

QTEST_GUILESS_MAIN(tst_CTIConnectorBusyLoop)
#include "tst_cticonnector_busyloop.moc"
