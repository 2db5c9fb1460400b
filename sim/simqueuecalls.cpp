#include "simqueuecalls.h"

#include "simaddressbooks.h"
#include "simcontactgenerator.h"
#include "simhistory.h"
#include "simjsonreader.h"
#include "simphoneconfig.h"
#include "simpresence.h"

#include <QDateTime>
#include <QTimer>

namespace {

const QString CallId = QStringLiteral("callid");
const QString QueueId = QStringLiteral("queue_id");
const QString State = QStringLiteral("state");
const QString Agent = QStringLiteral("agent");
const QString Timestamp = QStringLiteral("timestamp");

} // namespace

SimQueueCalls::SimQueueCalls(SimHub &hub, const SimAddressBooks &books, const SimPresence &presence,
                             const SimPhoneConfig &phoneConfig, QObject *parent)
    : QObject(parent)
    , m_hub(hub)
    , m_books(books)
    , m_presence(presence)
    , m_phoneConfig(phoneConfig)
{
}

// Adding a command: one handler plus one line here.
const QHash<QString, SimQueueCalls::Handler> &SimQueueCalls::handlers()
{
    static const QHash<QString, Handler> table = {
        {QStringLiteral("requestQueueCalls"), &SimQueueCalls::requestQueueCalls},
    };
    return table;
}

bool SimQueueCalls::parse(const QJsonValue &section, Config *config, QString *error)
{
    SimJsonReader root(section);
    root.allowOnly({"calls", "activity", "seed"});
    config->seed = root.seed(QStringLiteral("seed"));
    const QJsonArray calls = root.array(QStringLiteral("calls"));
    for (int i = 0; i < calls.size() && root.isOk(); ++i) {
        SimJsonReader call = root.element(QStringLiteral("calls"), i);
        call.requiredString(QueueId);
        call.integer(State, 1, 1, 2);
        config->calls.append(call.object());
    }
    SimJsonReader activity = root.child(QStringLiteral("activity"));
    activity.allowOnly({"intervalMs", "waitMs", "talkMs", "abandonChance", "queues"});
    Activity &a = config->activity;
    a.interval = activity.range(QStringLiteral("intervalMs"), a.interval);
    a.wait = activity.range(QStringLiteral("waitMs"), a.wait);
    a.talk = activity.range(QStringLiteral("talkMs"), a.talk);
    a.abandonChance = activity.number(QStringLiteral("abandonChance"), a.abandonChance, 0, 1);
    a.queues = activity.strings(QStringLiteral("queues"));
    if (error)
        *error = root.error();
    return root.isOk();
}

bool SimQueueCalls::checkSection(const QJsonValue &section, QString *error)
{
    Config config;
    return parse(section, &config, error);
}

void SimQueueCalls::reset(const QJsonValue &section)
{
    Config config;
    parse(section, &config, nullptr);
    m_calls.clear();
    m_activity = config.activity;
    m_random.seed(config.seed);
    ++m_generation;
    m_lastCall = 0;
    const QString now = SimHistory::timestamp(QDateTime::currentDateTimeUtc());
    for (QJsonObject call : qAsConst(config.calls)) {
        const QString id = QStringLiteral("q%1").arg(++m_lastCall);
        call.insert(CallId, call.value(CallId).toString(id));
        call.insert(State, call.value(State).toInt(1));
        call.insert(QStringLiteral("queue_extension"),
                    m_phoneConfig.queue(QString(), call.value(QueueId).toString()).value(QStringLiteral("extension")));
        for (const char *key : {"remote_number", "firstname", "lastname", "company", "caller_addressbook_id", "agent"})
            call.insert(QLatin1String(key), call.value(QLatin1String(key)).toString());
        call.insert(Timestamp, call.value(Timestamp).toString(now));
        call.insert(QStringLiteral("direction"), 1);
        call.insert(QStringLiteral("duration"), 0);
        call.insert(QStringLiteral("typ"), QStringLiteral("queue"));
        m_calls.insert(call.value(CallId).toString(), call);
    }
    scheduleActivity();
}

void SimQueueCalls::requestQueueCalls(const SimHub::Request &request)
{
    QJsonObject items;
    for (const QJsonObject &call : calls(request.string(QStringLiteral("queue_id"))))
        items.insert(call.value(CallId).toString(), call);
    m_hub.reply(request, {{QStringLiteral("items"), items}});
}

QList<QJsonObject> SimQueueCalls::calls(const QString &queueId) const
{
    QList<QJsonObject> list;
    for (const QJsonObject &call : m_calls) {
        if (call.value(QueueId).toString() == queueId) {
            QJsonObject now = call;
            now.insert(QStringLiteral("duration"),
                       qMax(qint64(0), QDateTime::fromString(call.value(Timestamp).toString(), Qt::ISODate)
                                           .secsTo(QDateTime::currentDateTimeUtc())));
            list.append(now);
        }
    }
    return list;
}

QString SimQueueCalls::addCall(const QString &queueId, const SimParty &caller)
{
    const QJsonObject queue = m_phoneConfig.queue(QString(), queueId);
    if (queue.isEmpty())
        return {};
    const QString id = QString::number(QDateTime::currentSecsSinceEpoch()) % QStringLiteral(".q") % QString::number(++m_lastCall);
    QJsonObject call{{CallId, id},
                     {QueueId, queueId},
                     {QStringLiteral("queue_extension"), queue.value(QStringLiteral("extension"))},
                     {Timestamp, SimHistory::timestamp(QDateTime::currentDateTimeUtc())},
                     {QStringLiteral("duration"), 0},
                     {QStringLiteral("direction"), 1},
                     {State, 1},
                     {Agent, QString()},
                     {QStringLiteral("typ"), QStringLiteral("queue")}};
    caller.writeTo(call);
    m_calls.insert(id, call);
    announce(call);
    return id;
}

bool SimQueueCalls::updateCall(const QString &callId, int state, const QString &agent)
{
    const auto it = m_calls.find(callId);
    if (it == m_calls.end() || state < 1)
        return false;
    it->insert(State, state);
    if (!agent.isEmpty())
        it->insert(Agent, agent);
    announce(*it);
    if (state >= 3)
        m_calls.erase(it);
    return true;
}

void SimQueueCalls::announce(const QJsonObject &call)
{
    QJsonObject now = call;
    now.insert(QStringLiteral("duration"),
               qMax(qint64(0), QDateTime::fromString(call.value(Timestamp).toString(), Qt::ISODate)
                                   .secsTo(QDateTime::currentDateTimeUtc())));
    m_hub.notifyAll(QStringLiteral("newQueueCall"), now);
}

void SimQueueCalls::scheduleActivity()
{
    if (m_activity.interval.isZero())
        return;
    const int generation = m_generation;
    QTimer::singleShot(m_activity.interval.pick(m_random), this, [this, generation] {
        if (generation != m_generation)
            return;
        arrive();
        scheduleActivity();
    });
}

// A caller waits, then an agent takes the call and talks, or the caller gives up.
void SimQueueCalls::arrive()
{
    const QStringList queues = m_activity.queues.isEmpty() ? m_phoneConfig.queueIds() : m_activity.queues;
    if (queues.isEmpty())
        return;
    SimParty caller = m_books.randomParty(m_random);
    if (caller.number.isEmpty() || m_random.bounded(4) == 0)
        caller = {SimContactGenerator::unknownNumber(quint32(m_random.generate()), m_lastCall)};
    const QString id = addCall(queues.at(m_random.bounded(queues.size())), caller);
    if (id.isEmpty())
        return;
    const int generation = m_generation;
    const bool abandoned = m_random.generateDouble() < m_activity.abandonChance;
    const int talk = m_activity.talk.pick(m_random);
    QTimer::singleShot(m_activity.wait.pick(m_random), this, [this, generation, id, abandoned, talk] {
        if (generation != m_generation || !m_calls.contains(id))
            return;
        if (abandoned) {
            updateCall(id, 7);
            return;
        }
        updateCall(id, 2, someAgent());
        QTimer::singleShot(talk, this, [this, generation, id] {
            if (generation == m_generation)
                updateCall(id, 8);
        });
    });
}

QString SimQueueCalls::someAgent()
{
    const QStringList ids = m_presence.colleagueIds();
    if (ids.isEmpty())
        return QStringLiteral("Agent");
    const QJsonObject colleague = m_presence.colleague(ids.at(m_random.bounded(ids.size())));
    return colleague.value(QStringLiteral("firstname")).toString() % QLatin1Char(' ')
        % colleague.value(QStringLiteral("lastname")).toString();
}
