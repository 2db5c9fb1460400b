#include "linesbenchmark.h"

#include "benchreport.h"
#include "benchsession.h"
#include "ctimainwindow.h"
#include "cticonnector.h"
#include "line.h"
#include "pbxsimulator.h"
#include "runninglineview.h"
#include "stallprobe.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>

#include <malloc.h>

#include <algorithm>

namespace {

constexpr int lineCount = 2000;
//! Short enough that a link starved for two intervals (1 s) while watched is dropped: with the
//! usual 15 s a drop would take 30 s of silence, far more than the benchmark watches.
constexpr int pingIntervalMs = 500;
const QString address = QStringLiteral("127.0.0.9");

QString callId(int i)
{
    return QStringLiteral("burst-%1").arg(i, 5, 10, QLatin1Char('0'));
}

//! A queue's worth of callers at once: most unknown, every tenth a contact; half still ringing.
QJsonObject burstLines()
{
    const QString started = QDateTime::currentDateTime().addSecs(-30).toString(Line::timestampFormat);
    QJsonObject lines;
    for (int i = 0; i < lineCount; ++i) {
        lines.insert(callId(i), QJsonObject{
                                    {"callid", callId(i)},
                                    {"state", i % 2 ? 1 : 2},
                                    {"direction", 1},
                                    {"remote_number", QStringLiteral("+49711%1").arg(1000000 + i)},
                                    {"firstname", i % 10 ? QString() : QStringLiteral("Erika")},
                                    {"lastname", i % 10 ? QString() : QStringLiteral("Muster%1").arg(i)},
                                    {"company", i % 10 ? QString() : QStringLiteral("Muster Handel GmbH")},
                                    {"caller_addressbook_id", i % 10 ? QString() : QStringLiteral("addr-%1").arg(i)},
                                    {"duration", "00:00:30"},
                                    {"timestamp", started},
                                });
    }
    return lines;
}

} // namespace

void runLinesBenchmark(BenchReport &report)
{
    PbxSimulator sim{QHostAddress(address)};
    sim.addAccount(QStringLiteral("bench"), QStringLiteral("bench"));
    if (!listenAndLogIn(sim, "lines"))
        return;
    CTIConnector *connector = CTIConnector::instance();
    connector->setPingIntervalMs(pingIntervalMs);

    auto *window = new CTIMainWindow;
    window->show();
    spinUntil([] { return false; }, 300);
    const double rssBefore = residentMb();
    const double heapBefore = mallinfo2().uordblks / 1e6;

    int received = 0;
    QObject context;
    QObject::connect(connector, &CTIConnector::lineOpenend, &context, [&received] { ++received; });
    bool dropped = false;
    QObject::connect(connector, &CTIConnector::reconnectSuccess, &context, [&dropped] { dropped = true; });
    QObject::connect(connector, &CTIConnector::connectionLost, &context, [&dropped] { dropped = true; });
    StallProbe probe(received);
    const auto allShown = [&] {
        const auto &views = window->lineViews();
        return views.size() == lineCount
               && std::all_of(views.cbegin(), views.cend(), [](const RunningLineView *view) { return view->isVisible(); });
    };

    sim.pushResponse(QStringLiteral("requestLineStatus"), QJsonObject{{"lines", burstLines()}});
    QElapsedTimer clock;
    clock.start();
    probe.start();
    const bool shown = spinUntil(allShown, 120000);
    const double burstSeconds = clock.nsecsElapsed() / 1e9;
    // Some seconds of running calls: every clock ticks, and the link must hold.
    spinUntil([] { return false; }, 3000);
    // A drop in the last 5 s shows only as the silent reconnection waiting for its first attempt.
    dropped = dropped || connector->isReconnecting();
    probe.stop();
    const double rssShown = residentMb();
    if (!shown)
        qWarning("lines benchmark: %d of %d views shown", int(window->lineViews().size()), lineCount);

    // The calls end together, as when a trunk goes down; each leaves a conversation row.
    int closed = 0;
    QObject::connect(connector, &CTIConnector::lineClosed, &context, [&closed] { ++closed; });
    StallProbe closeProbe(closed);
    for (int i = 0; i < lineCount; ++i)
        sim.pushEvent(QStringLiteral("updateLineStatus"), QJsonObject{{"callid", callId(i)}, {"state", 3}, {"direction", 1}});
    closeProbe.start();
    spinUntil([&] { return window->lineViews().isEmpty() && !window->findChild<RunningLineView *>(); }, 120000);
    // Until the connector has let go of the closed lines and the items no receiver kept.
    spinUntil([] { return false; }, 1000);
    closeProbe.stop();
    const double rssAfterClose = residentMb();
    const double heapAfterClose = mallinfo2().uordblks / 1e6;
    delete window;

    report.add(QStringLiteral("lines.views"), shown ? lineCount : 0, QStringLiteral("views"), lineCount,
               BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("lines.burst_s"), burstSeconds, QStringLiteral("s"), 1.0, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("lines.max_stall_ms"), probe.maxMs(), QStringLiteral("ms"), 100.0, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("lines.link_kept"), dropped ? 0 : 1, QStringLiteral("bool"), 1, BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("lines.rss_shown_mb"), rssShown - rssBefore, QStringLiteral("MB"));
    report.add(QStringLiteral("lines.close_max_stall_ms"), closeProbe.maxMs(), QStringLiteral("ms"), 16.0,
               BenchReport::Goal::AtMost);
    // What the calls took must come back once they have ended.
    report.add(QStringLiteral("lines.rss_after_close_mb"), rssAfterClose, QStringLiteral("MB"), rssBefore * 1.1,
               BenchReport::Goal::AtMost);
    // What the heap holds in use after the calls, against before: the conversation rows they left.
    // The rest of what the process keeps is free heap, taken again by later calls (see the soak).
    report.add(QStringLiteral("lines.heap_in_use_growth_mb"), heapAfterClose - heapBefore, QStringLiteral("MB"));
}
