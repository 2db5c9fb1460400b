#include "historybenchmark.h"

#include "benchreport.h"
#include "benchsession.h"
#include "stallprobe.h"
#include "cticonnector.h"
#include "pbxsimulator.h"
#include "ucitem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int itemCount = 50000;
constexpr double maxStallTargetMs = 16;
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

//! Receives the items on the main thread the way the conversations list does: a row item per item,
//! appended to a model behind a proxy sorted newest first; the record itself is not kept (so the
//! connector releases it).
class HistoryReceiver : public QObject
{
public:
    explicit HistoryReceiver(QElapsedTimer &clock)
        : m_clock(clock)
    {
        m_proxy.setSourceModel(&m_model);
        m_proxy.setDynamicSortFilter(true);
        m_proxy.sort(0, Qt::DescendingOrder);
    }

    int received = 0;
    int offMainThread = 0;
    qint64 lastArrivalNs = 0;

    void onItem(UCItem *item)
    {
        ++received;
        if (QThread::currentThread() != thread() || item->thread() != thread())
            ++offMainThread;
        QStandardItem *row = item->toStandardItem();
        row->setEditable(false);
        row->setDragEnabled(false);
        m_model.appendRow(row);
        lastArrivalNs = m_clock.nsecsElapsed();
    }

private:
    QElapsedTimer &m_clock;
    QStandardItemModel m_model;
    QSortFilterProxyModel m_proxy;
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
    HistoryReceiver receiver(clock);
    const QMetaObject::Connection connection =
        QObject::connect(connector, &CTIConnector::ucItemAdded, &receiver, &HistoryReceiver::onItem);
    StallProbe probe(receiver.received);

    QElapsedTimer pushClock;
    pushClock.start();
    sim.pushResponse(QStringLiteral("requestUCItems"), data); // serialises 50,000 items: not the client's time
    const double pushSeconds = pushClock.nsecsElapsed() / 1e9;

    clock.start();
    probe.start();
    const bool complete = spinUntil([&] { return receiver.received >= itemCount; }, 300000);
    probe.stop();
    QObject::disconnect(connection);
    // Let the released items go before the next benchmark.
    spinUntil([] { return false; }, 200);

    if (!complete)
        qWarning("history benchmark: only %d of %d items arrived", receiver.received, itemCount);
    report.add(QStringLiteral("history.items"), receiver.received, QStringLiteral("items"), itemCount,
               BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("history.total_s"), receiver.lastArrivalNs / 1e9, QStringLiteral("s"));
    report.add(QStringLiteral("history.max_stall_ms"), probe.maxMs(), QStringLiteral("ms"), maxStallTargetMs,
               BenchReport::Goal::AtMost);
    // The two phases apart: receiving is the socket taking in the 15 MB message (the text is
    // assembled by the WebSocket on the main thread) until the first item arrives; handing over is
    // from the first item to the last.
    report.add(QStringLiteral("history.max_stall_receiving_ms"), probe.receivingMs(), QStringLiteral("ms"));
    report.add(QStringLiteral("history.max_stall_handing_over_ms"), probe.afterFirstItemMs(), QStringLiteral("ms"),
               maxStallTargetMs, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("history.items_off_main_thread"), receiver.offMainThread, QStringLiteral("items"), 0,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("history.sim_push_s"), pushSeconds, QStringLiteral("s"));
}
