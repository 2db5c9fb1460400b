#include "presencebenchmark.h"

#include "benchreport.h"
#include "benchsession.h"
#include "cticonnector.h"
#include "user.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

constexpr int colleagueCount = 1000;
constexpr int eventCount = 20000;
constexpr int rounds = 5;

QString colleagueId(int i)
{
    return QStringLiteral("bench-presence-%1").arg(i, 4, 10, QLatin1Char('0'));
}

QString buddyListText()
{
    // Ten groups of a hundred, keyed like a real list.
    QJsonObject groups;
    for (int g = 0; g < 10; ++g) {
        QJsonObject users;
        for (int i = g * 100; i < (g + 1) * 100; ++i) {
            users.insert(QStringLiteral("u%1").arg(i), QJsonObject{
                {"id", colleagueId(i)}, {"extension", QString::number(200 + i)}, {"firstname", "Erika"},
                {"lastname", QStringLiteral("Muster%1").arg(i)}, {"name", QStringLiteral("em%1").arg(i)},
                {"email", QStringLiteral("em%1@example.com").arg(i)}, {"phone_presence", "free"}, {"dnd", false},
                {"jabber_presence", "1"}, {"jabber_presence_text", ""}});
        }
        groups.insert(QStringLiteral("group %1").arg(g), QJsonObject{{"users", users}});
    }
    const QJsonObject envelope{{"type", "response"}, {"name", "requestJabberBuddies"},
                               {"uuid", "6c1b7e0e-8d7f-4b7e-9a61-000000000001"}, {"data", QJsonObject{{"groups", groups}}}};
    return QString::fromUtf8(QJsonDocument(envelope).toJson(QJsonDocument::Compact));
}

QStringList presenceTexts()
{
    static const char *const presences[] = {"free", "ringing", "busy", "hold", "online"};
    QRandomGenerator random(815);
    QStringList texts;
    texts.reserve(eventCount);
    for (int i = 0; i < eventCount; ++i) {
        const QString uuid = QStringLiteral("2f6d1c9e-5a3b-4e8f-b1d2-%1").arg(i, 12, 10, QLatin1Char('0'));
        // Mostly phone presence, now and then do-not-disturb or the chat status with it.
        const int pick = random.bounded(10);
        QString data = QStringLiteral(R"("id":"%1","phone_presence":"%2")")
                           .arg(colleagueId(random.bounded(colleagueCount)), QLatin1String(presences[random.bounded(5)]));
        if (pick == 0)
            data += QStringLiteral(R"(,"dnd":%1)").arg(random.bounded(2) ? "true" : "false");
        else if (pick == 1)
            data += QStringLiteral(R"(,"jabber_presence":"%1","jabber_presence_text":"back at %2")")
                        .arg(random.bounded(6)).arg(i % 24);
        texts << QStringLiteral(R"({"data":{%1},"name":"updateUserPresence","type":"event","uuid":"%2"})").arg(data, uuid);
    }
    return texts;
}

} // namespace

void runPresenceBenchmark(BenchReport &report)
{
    CTIConnector *connector = CTIConnector::instance();
    const WholeDispatchPasses wholePasses; // each text's handling is what is timed
    int loaded = 0;
    int changed = 0;
    // Receivers that read what the extension monitor reads, so the records are really used.
    QObject receiver;
    QObject::connect(connector, &CTIConnector::jabberBuddyAdded, &receiver, [&loaded](User *) { ++loaded; });
    QObject::connect(connector, &CTIConnector::jabberBuddyChanged, &receiver, [&changed](User *user) {
        changed += user->getPhonePresence().size() > 0 || user->getDND();
    });

    connector->onMessage(buddyListText());
    const QStringList texts = presenceTexts();

    qint64 bestNs = std::numeric_limits<qint64>::max();
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        for (const QString &text : texts)
            connector->onMessage(text);
        bestNs = std::min(bestNs, clock.nsecsElapsed());
    }
    if (loaded != colleagueCount || changed != eventCount * rounds)
        fprintf(stderr, "presence: %d colleagues loaded, %d presence changes announced\n", loaded, changed);

    report.add(QStringLiteral("presence.events_per_s"), eventCount / (bestNs / 1e9), QStringLiteral("events/s"), 50000,
               BenchReport::Goal::AtLeast);
}
