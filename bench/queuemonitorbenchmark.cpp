#include "queuemonitorbenchmark.h"

#include "benchreport.h"
#include "benchsession.h"
#include "cticonnector.h"
#include "queuemonitorcallswidget.h"
#include "queuemonitormainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <QTreeView>

#include <algorithm>
#include <vector>

namespace {

constexpr int callCount = 10000;
constexpr int eventCount = 5000;

QString callId(int i)
{
    return QStringLiteral("bench-queue-%1").arg(i, 5, 10, QLatin1Char('0'));
}

QJsonObject call(int i, const QString &caller, int state, const QString &agent)
{
    return {{"callid", callId(i)},  {"queue_id", "bench-queue"}, {"queue_extension", "700"},
            {"remote_number", caller}, {"firstname", ""},         {"lastname", ""},
            {"company", ""},          {"caller_addressbook_id", ""}, {"state", state},
            {"agent", agent},         {"timestamp", "2016-02-15T10:00:00Z"}, {"duration", 0},
            {"direction", 1},         {"typ", "queue"}};
}

QString number(QRandomGenerator &random)
{
    return QStringLiteral("0711 %1").arg(random.bounded(10000000), 7, 10, QLatin1Char('0'));
}

QString text(const QJsonObject &envelope)
{
    return QString::fromUtf8(QJsonDocument(envelope).toJson(QJsonDocument::Compact));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values.at(values.size() / 2);
}

} // namespace

void runQueueMonitorBenchmark(BenchReport &report)
{
    CTIConnector *connector = CTIConnector::instance();
    const WholeDispatchPasses wholePasses; // each text's handling is what is timed
    QueueMonitorMainWindow window;
    window.show();
    QueueMonitorCallsWidget *calls = window.callsWidget();

    QRandomGenerator random(2016);
    QJsonObject items;
    for (int i = 0; i < callCount; ++i)
        items.insert(callId(i), call(i, number(random), 1, QString()));
    connector->onMessage(text({{"type", "response"}, {"name", "requestQueueCalls"},
                               {"uuid", "6c1b7e0e-8d7f-4b7e-9a61-000000000003"}, {"data", QJsonObject{{"items", items}}}}));
    calls->findChild<QTreeView *>(QStringLiteral("treeView"))
        ->sortByColumn(QueueMonitorCallsWidget::CallerColumn, Qt::AscendingOrder);
    QApplication::processEvents();

    // Each event gives a known call a new state, agent and caller: the row moves in the sorted view.
    QStringList texts;
    texts.reserve(eventCount);
    for (int i = 0; i < eventCount; ++i) {
        const QJsonObject data = call(random.bounded(callCount), number(random), 1 + i % 8,
                                      QStringLiteral("Agent %1").arg(i % 40));
        texts << text({{"type", "event"}, {"name", "newQueueCall"}, {"uuid", QStringLiteral("u%1").arg(i)}, {"data", data}});
    }
    std::vector<double> updates;
    std::vector<double> passes;
    updates.reserve(eventCount);
    passes.reserve(eventCount);
    for (const QString &event : qAsConst(texts)) {
        QElapsedTimer one;
        one.start();
        connector->onMessage(event);
        updates.push_back(one.nsecsElapsed() / 1e6);
        // Timed apart: the event-loop pass after it, where the connector frees the item and the
        // view lays out its rows again for the moved one.
        one.restart();
        QApplication::processEvents();
        passes.push_back(one.nsecsElapsed() / 1e6);
    }

    // The figures count only if every event found its row and the view stayed sorted.
    const QSortFilterProxyModel *view = calls->proxyModel();
    const int rows = view->rowCount();
    int unsorted = 0;
    for (int row = 1; row < rows; ++row)
        unsorted += view->index(row - 1, QueueMonitorCallsWidget::CallerColumn).data().toString()
                    > view->index(row, QueueMonitorCallsWidget::CallerColumn).data().toString();
    if (rows != callCount || unsorted)
        qWarning("queue monitor benchmark: %d rows, expected %d; %d out of order", rows, callCount, unsorted);
    report.add(QStringLiteral("queuemonitor.calls"), rows, QStringLiteral("calls"), callCount, BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("queuemonitor.update_ms"), median(updates), QStringLiteral("ms"), 0.5, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("queuemonitor.update_max_ms"), *std::max_element(updates.cbegin(), updates.cend()),
               QStringLiteral("ms"));
    report.add(QStringLiteral("queuemonitor.view_pass_ms"), median(passes), QStringLiteral("ms"));
}
