#include "dispatchbenchmark.h"

#include "benchreport.h"
#include "benchsession.h"
#include "cticonnector.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QStringList>

#include <algorithm>

namespace {

constexpr int messageCount = 200000;
constexpr int rounds = 5;

QStringList mixedMessages()
{
    QRandomGenerator random(4711);
    QStringList texts;
    texts.reserve(messageCount);
    for (int i = 0; i < messageCount; ++i) {
        const QString uuid = QStringLiteral("0b7c9a52-1f3e-4c1a-9d7e-%1").arg(i, 12, 10, QLatin1Char('0'));
        // Weighted like a live stream: mostly events, a login response now and then.
        const int pick = random.bounded(20);
        switch (pick < 10 ? 0 : pick < 14 ? 2 : pick < 17 ? 1 : 3) {
        case 0: // an event this client does not know, with a payload the size of a real one
            texts << QStringLiteral(R"({"data":{"agentId":"%1","callId":"%2","callerName":"Erika Mustermann",)"
                                    R"("callerNumber":"+49711%3","extension":"%4","queue":"Support","since":"2026-12-06 09:%5:00",)"
                                    R"("state":%6,"waiting":%7},"name":"queueStatistics%8","type":"event","uuid":"%9"})")
                         .arg(i % 50).arg(i).arg(100000 + i).arg(200 + i % 800).arg(i % 60, 2, 10, QLatin1Char('0'))
                         .arg(i % 6).arg(i % 9).arg(i % 7).arg(uuid);
            break;
        case 1: // malformed
            texts << QStringLiteral(R"({"data":{"callId":"%1","state":)").arg(i);
            break;
        case 2: // a response with an unlisted name
            texts << QStringLiteral(R"({"data":{"items":[1,2,3],"offset":%1},"name":"model","type":"response","uuid":"%2"})")
                         .arg(i).arg(uuid);
            break;
        default: // login responses that change nothing
            texts << QStringLiteral(R"({"data":{"status":500},"name":"login","type":"response","uuid":"%1"})").arg(uuid);
            break;
        }
    }
    return texts;
}

template<typename Work>
qint64 timed(Work work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed();
}

} // namespace

void runDispatchBenchmark(BenchReport &report)
{
    const QStringList texts = mixedMessages();
    CTIConnector *connector = CTIConnector::instance();
    const WholeDispatchPasses wholePasses; // each text's handling is what is timed

    // Parse and dispatch alternate chunk by chunk, so both see the same machine; for each chunk
    // the best of several rounds counts, which keeps a busy moment from deciding the figure.
    constexpr int chunk = 10000;
    int objects = 0;
    qint64 parseNs = 0;
    qint64 dispatchNs = 0;
    for (int first = 0; first < texts.size(); first += chunk) {
        const int last = std::min<int>(first + chunk, texts.size());
        qint64 parseBest = std::numeric_limits<qint64>::max();
        qint64 dispatchBest = parseBest;
        for (int round = 0; round < rounds; ++round) {
            parseBest = std::min(parseBest, timed([&] {
                for (int i = first; i < last; ++i)
                    objects += QJsonDocument::fromJson(texts.at(i).toUtf8()).isObject();
            }));
            dispatchBest = std::min(dispatchBest, timed([&] {
                for (int i = first; i < last; ++i)
                    connector->onMessage(texts.at(i));
            }));
        }
        parseNs += parseBest;
        dispatchNs += dispatchBest;
    }
    Q_UNUSED(objects)

    report.add(QStringLiteral("dispatch.messages_per_s"), messageCount / (dispatchNs / 1e9), QStringLiteral("msg/s"));
    report.add(QStringLiteral("dispatch.parse_messages_per_s"), messageCount / (parseNs / 1e9), QStringLiteral("msg/s"));
    report.add(QStringLiteral("dispatch.ratio_to_parse"), double(dispatchNs) / double(parseNs), QStringLiteral("x"), 1.3,
               BenchReport::Goal::AtMost);
}
