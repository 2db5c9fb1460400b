#include "historybenchmark.h"

#include "benchreport.h"
#include "cticonnector.h"
#include "pbxsimulator.h"
#include "ucitem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int itemCount = 50000;
constexpr int stallProbeMs = 1;
constexpr double maxStallTargetMs = 50;
const QString address = QStringLiteral("127.0.0.3");

QJsonObject historyItems()
{
    static const int states[] = {4, 7, 8, 3};
    QJsonObject items;
    for (int i = 0; i < itemCount; ++i) {
        const QString id = QStringLiteral("6f1c2a7e-8d3b-4e59-a1f0-%1").arg(i, 12, 10, QLatin1Char('0'));
        items.insert(id, QJsonObject{
                             {"callid", QStringLiteral("1490%1.%2").arg(100000 + i).arg(i % 97)},
                             {"caller_addressbook_id", i % 4 == 0 ? QString() : QStringLiteral("ab-%1").arg(i % 5000)},
                             {"company", QStringLiteral("Muster Handel GmbH")},
                             {"direction", i % 2},
                             {"duration", (i * 7) % 3600},
                             {"firstname", QStringLiteral("Erika")},
                             {"lastname", QStringLiteral("Mustermann %1").arg(i % 1000)},
                             {"owner_id", QStringLiteral("u-0042")},
                             {"remote_number", QStringLiteral("+49711%1").arg(1000000 + i)},
                             {"state", states[i % 4]},
                             {"timestamp", QStringLiteral("2026-%1-%2T%3:%4:00Z")
                                               .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                                               .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                                               .arg(i % 24, 2, 10, QLatin1Char('0'))
                                               .arg(i % 60, 2, 10, QLatin1Char('0'))},
                             {"typ", QStringLiteral("call")},
                         });
    }
    return items;
}

//! Spins the event loop until the condition holds or the time is up; false if it never held.
template<typename Condition>
bool spinUntil(Condition condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

//! Receives the items on the main thread the way the conversations list does: looks at each and
//! keeps none (so the connector releases them).
class HistoryReceiver : public QObject
{
public:
    int received = 0;
    int offMainThread = 0;
    qint64 lastArrivalNs = 0;
    QElapsedTimer *clock = nullptr;

    void onItem(UCItem *item)
    {
        if (!received && qEnvironmentVariableIsSet("HB_DEBUG")) fprintf(stderr, "first item at %.1f ms\n", clock->nsecsElapsed()/1e6);
        ++received;
        if (QThread::currentThread() != thread() || item->thread() != thread())
            ++offMainThread;
        lastArrivalNs = clock->nsecsElapsed();
    }
};

//! A 1 ms timer on the main thread; the longest gap between two ticks, less the interval, is the
//! longest time the main thread could not get to its timers.
class StallProbe : public QObject
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(stallProbeMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_maxLatenessNs = std::max(m_maxLatenessNs, now - m_lastTickNs - stallProbeMs * 1000000LL);
            if (qEnvironmentVariableIsSet("HB_DEBUG") && now - m_lastTickNs > 10000000) fprintf(stderr, "stall %.1f ms ending at %.1f ms\n", (now - m_lastTickNs)/1e6, now/1e6);
            m_lastTickNs = now;
        });
    }

    void start()
    {
        m_clock.start();
        m_lastTickNs = 0;
        m_maxLatenessNs = 0;
        m_timer.start();
    }

    //! Stops, counting the time since the last tick as well.
    double stop()
    {
        m_timer.stop();
        const qint64 now = m_clock.nsecsElapsed();
        m_maxLatenessNs = std::max(m_maxLatenessNs, now - m_lastTickNs - stallProbeMs * 1000000LL);
        return m_maxLatenessNs / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTickNs = 0;
    qint64 m_maxLatenessNs = 0;
};

} // namespace

void runHistoryBenchmark(BenchReport &report)
{
    CTIConnector *connector = CTIConnector::instance();
    PbxSimulator sim{QHostAddress(address)};
    if (!sim.listen()) {
        qWarning("history benchmark: cannot listen on %s: %s", qPrintable(address), qPrintable(sim.errorString()));
        return;
    }
    // The simulator pushes to every connected client, logged in or not. Without an account the
    // login is refused, which keeps the connector from reconnecting once the simulator is gone.
    connector->login(QStringLiteral("bench"), QStringLiteral("bench"), address);
    if (!spinUntil([&] { return !sim.receivedCommands(QStringLiteral("login")).isEmpty(); }, 10000)) {
        qWarning("history benchmark: the connector did not connect");
        return;
    }

    const QJsonObject data{{"items", historyItems()}};
    QElapsedTimer clock;
    HistoryReceiver receiver;
    receiver.clock = &clock;
    const QMetaObject::Connection connection =
        QObject::connect(connector, &CTIConnector::ucItemAdded, &receiver, &HistoryReceiver::onItem);
    StallProbe probe;

    QElapsedTimer pushClock;
    pushClock.start();
    sim.pushResponse(QStringLiteral("requestUCItems"), data); // serialises 50,000 items: not the client's time
    const double pushSeconds = pushClock.nsecsElapsed() / 1e9;

    clock.start();
    probe.start();
    const bool complete = spinUntil([&] { return receiver.received >= itemCount; }, 300000);
    const double maxStallMs = probe.stop();
    QObject::disconnect(connection);
    // Let the released items go before the next benchmark.
    spinUntil([] { return false; }, 200);

    if (!complete)
        qWarning("history benchmark: only %d of %d items arrived", receiver.received, itemCount);
    report.add(QStringLiteral("history.items"), receiver.received, QStringLiteral("items"), itemCount,
               BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("history.total_s"), receiver.lastArrivalNs / 1e9, QStringLiteral("s"));
    report.add(QStringLiteral("history.max_stall_ms"), maxStallMs, QStringLiteral("ms"), maxStallTargetMs,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("history.items_off_main_thread"), receiver.offMainThread, QStringLiteral("items"), 0,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("history.sim_push_s"), pushSeconds, QStringLiteral("s"));
}
