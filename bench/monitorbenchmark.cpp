#include "monitorbenchmark.h"

#include "benchreport.h"
#include "benchsession.h"
#include "cticonnector.h"
#include "settings.h"
#include "stickybuddylist.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace {

constexpr int colleagueCount = 1000;
constexpr int eventCount = 20000;

QString colleagueId(int i)
{
    return QStringLiteral("bench-monitor-%1").arg(i, 4, 10, QLatin1Char('0'));
}

QString buddyListText()
{
    QJsonObject groups;
    for (int g = 0; g < 10; ++g) {
        QJsonObject users;
        for (int i = g * 100; i < (g + 1) * 100; ++i) {
            users.insert(QStringLiteral("u%1").arg(i), QJsonObject{
                {"id", colleagueId(i)}, {"extension", QString::number(3000 + i)}, {"firstname", "Erika"},
                {"lastname", QStringLiteral("Muster%1").arg(i)}, {"phone_presence", "free"}, {"dnd", false}});
        }
        groups.insert(QStringLiteral("group %1").arg(g), QJsonObject{{"users", users}});
    }
    const QJsonObject envelope{{"type", "response"}, {"name", "requestJabberBuddies"},
                               {"uuid", "6c1b7e0e-8d7f-4b7e-9a61-000000000002"}, {"data", QJsonObject{{"groups", groups}}}};
    return QString::fromUtf8(QJsonDocument(envelope).toJson(QJsonDocument::Compact));
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values.at(values.size() / 2);
}

} // namespace

void runMonitorBenchmark(BenchReport &report)
{
    Settings *settings = Settings::instance();
    settings->setValueForKey(StickyBuddyList::autoPositionSetting, false);
    settings->setValueForKey(StickyBuddyList::hideOnMouseOverSetting, false);
    settings->setValueForKey(StickyBuddyList::columnsSetting, 20);
    CTIConnector *connector = CTIConnector::instance();
    const WholeDispatchPasses wholePasses; // each text's handling is what is timed
    StickyBuddyList monitor;
    const QString list = buddyListText();

    // From the response to the monitor drawn and shown.
    QElapsedTimer clock;
    clock.start();
    connector->onMessage(list);
    const bool drawn = spinUntil([&] { return monitor.drawCount() >= 1 && monitor.isVisible(); }, 60000);
    const double drawMs = clock.nsecsElapsed() / 1e6;
    if (!drawn || monitor.getPeersMap().size() != colleagueCount)
        qWarning("monitor benchmark: %d colleagues, drawn: %d", int(monitor.getPeersMap().size()), drawn);

    // One presence event on a shown lamp, each timed on its own.
    static const char *const presences[] = {"free", "ringing", "busy", "hold", "online"};
    QRandomGenerator random(4711);
    QStringList texts;
    texts.reserve(eventCount);
    for (int i = 0; i < eventCount; ++i)
        texts << QStringLiteral(R"({"data":{"id":"%1","phone_presence":"%2"},"name":"updateUserPresence","type":"event","uuid":"x%3"})")
                     .arg(colleagueId(random.bounded(colleagueCount)), QLatin1String(presences[i % 5]))
                     .arg(i);
    std::vector<double> updates;
    updates.reserve(eventCount);
    for (const QString &text : qAsConst(texts)) {
        QElapsedTimer one;
        one.start();
        connector->onMessage(text);
        updates.push_back(one.nsecsElapsed() / 1e6);
    }

    report.add(QStringLiteral("monitor.colleagues"), monitor.getPeersMap().size(), QStringLiteral("colleagues"),
               colleagueCount, BenchReport::Goal::AtLeast);
    report.add(QStringLiteral("monitor.draw_ms"), drawMs, QStringLiteral("ms"), 200.0, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("monitor.update_ms"), median(updates), QStringLiteral("ms"), 0.1, BenchReport::Goal::AtMost);
    report.add(QStringLiteral("monitor.update_max_ms"), *std::max_element(updates.cbegin(), updates.cend()),
               QStringLiteral("ms"));
}
