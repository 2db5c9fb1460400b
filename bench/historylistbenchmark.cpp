#include "historylistbenchmark.h"

#include "benchreport.h"
#include "benchsession.h"
#include "stallprobe.h"
#include "cticonnector.h"
#include "pbxsimulator.h"
#include "ucconversationslist.h"
#include "ucitem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSortFilterProxyModel>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int itemCount = 50000;
const QString address = QStringLiteral("127.0.0.6");

//! Items with random times; filed under ids that rise with the time as the simulator's history
//! does ("ordered"), or under ids unrelated to it ("shuffled").
QJsonObject historyItems(bool ordered)
{
    QRandomGenerator random(42);
    const QDateTime base(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    QVector<qint64> seconds(itemCount);
    for (qint64 &second : seconds)
        second = random.bounded(365 * 86400);
    if (ordered)
        std::sort(seconds.begin(), seconds.end());
    QJsonObject items;
    for (int i = 0; i < itemCount; ++i) {
        const QString id = QStringLiteral("uc%1").arg(i, 8, 10, QLatin1Char('0'));
        items.insert(id, QJsonObject{
                             {"callid", QStringLiteral("1490%1.%2").arg(100000 + i).arg(i % 97)},
                             {"company", QStringLiteral("Muster Handel GmbH")},
                             {"direction", i % 2},
                             {"duration", (i * 7) % 3600},
                             {"firstname", QStringLiteral("Erika")},
                             {"lastname", QStringLiteral("Mustermann %1").arg(i % 1000)},
                             {"owner_id", QStringLiteral("u-0042")},
                             {"remote_number", QStringLiteral("+49711%1").arg(1000000 + i)},
                             {"state", 8},
                             {"timestamp", base.addSecs(seconds.at(i)).toString(Qt::ISODate)},
                             {"typ", QStringLiteral("call")},
                         });
    }
    return items;
}

bool isNewestFirst(const QAbstractItemModel *model)
{
    for (int row = 1; row < model->rowCount(); ++row) {
        if (model->index(row - 1, 0).data().toString() < model->index(row, 0).data().toString())
            return false;
    }
    return true;
}

struct Run
{
    int rows = 0;
    bool newestFirst = false;
    double totalSeconds = 0;
    double stallMs = 0;
    double receivingStallMs = 0;
};

//! One history into a fresh, shown list; the clock starts once the simulator has sent it.
Run listHistory(PbxSimulator &sim, bool ordered)
{
    CTIConnector *connector = CTIConnector::instance();
    Run run;
    UCConversationsList list;
    list.resize(260, 600);
    list.show();
    // The simulator answers the list's own request with its (empty) history first.
    sim.clearReceived();
    list.init();
    if (!spinUntil([&] { return !sim.receivedCommands(QStringLiteral("requestUCItems")).isEmpty(); }, 10000)) {
        qWarning("history_list benchmark: no history request");
        return run;
    }
    spinUntil([] { return false; }, 200);

    const QJsonObject data{{"items", historyItems(ordered)}};
    int received = 0;
    QObject context;
    QObject::connect(connector, &CTIConnector::ucItemAdded, &context, [&received] { ++received; });
    QSortFilterProxyModel *proxy = list.proxyModel();
    QElapsedTimer clock;
    qint64 completeNs = 0;
    QObject::connect(proxy, &QAbstractItemModel::rowsInserted, &context, [&] {
        if (proxy->rowCount() >= itemCount && completeNs == 0)
            completeNs = clock.nsecsElapsed();
    });
    StallProbe probe(received);

    sim.pushResponse(QStringLiteral("requestUCItems"), data); // serialising is the simulator's time
    clock.start();
    probe.start();
    const bool complete = spinUntil([&] { return completeNs > 0; }, 300000);
    // The view lays out the last rows when it paints next.
    spinUntil([] { return false; }, 300);
    probe.stop();
    if (!complete)
        qWarning("history_list benchmark: only %d of %d rows listed", proxy->rowCount(), itemCount);

    run.rows = proxy->rowCount();
    run.newestFirst = isNewestFirst(proxy);
    run.totalSeconds = completeNs / 1e9;
    run.stallMs = probe.afterFirstItemMs();
    run.receivingStallMs = probe.receivingMs();
    return run;
}

} // namespace

void runHistoryListBenchmark(BenchReport &report)
{
    PbxSimulator sim{QHostAddress(address)};
    sim.addAccount(QStringLiteral("bench"), QStringLiteral("bench"));
    if (!listenAndLogIn(sim, "history_list"))
        return;

    // The simulator's history: ids rise with the time, so the list receives it oldest first.
    const Run ordered = listHistory(sim, true);
    report.add(QStringLiteral("history_list.rows"), ordered.rows, QStringLiteral("rows"), itemCount,
               BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("history_list.newest_first"), ordered.newestFirst ? 1 : 0, QStringLiteral("bool"), 1,
               BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("history_list.total_s"), ordered.totalSeconds, QStringLiteral("s"), 2.0,
               BenchReport::Goal::AtMost);
    report.add(QStringLiteral("history_list.max_stall_ms"), ordered.stallMs, QStringLiteral("ms"), 16.0,
               BenchReport::Goal::AtMost);
    // Before the first item: the socket assembling the large message on the main thread.
    report.add(QStringLiteral("history_list.max_stall_receiving_ms"), ordered.receivingStallMs, QStringLiteral("ms"));

    // A server whose ids do not follow the time: every row lands somewhere in the middle.
    const Run shuffled = listHistory(sim, false);
    report.add(QStringLiteral("history_list.shuffled_rows"), shuffled.rows, QStringLiteral("rows"), itemCount,
               BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("history_list.shuffled_total_s"), shuffled.totalSeconds, QStringLiteral("s"));
    report.add(QStringLiteral("history_list.shuffled_max_stall_ms"), shuffled.stallMs, QStringLiteral("ms"), 16.0,
               BenchReport::Goal::AtMost);
}
