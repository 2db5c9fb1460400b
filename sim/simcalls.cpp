#include "simcalls.h"

#include "simaddressbooks.h"
#include "simcontactgenerator.h"
#include "simhistory.h"
#include "simjsonreader.h"
#include "simphoneconfig.h"
#include "simpresence.h"

#include <QRegularExpression>
#include <QTimer>

namespace {

const QString CallId = QStringLiteral("callid");
const QString Status = QStringLiteral("status");
const QString PickupPrefix = QStringLiteral("*81*");

QString clock(qint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

qint64 talked(const QDateTime &connected)
{
    return connected.isValid() ? qMax(qint64(0), connected.secsTo(QDateTime::currentDateTime())) : 0;
}

} // namespace

SimCalls::SimCalls(SimHub &hub, SimPresence &presence, const SimAddressBooks &books,
                   const SimPhoneConfig &phoneConfig, SimHistory &history, QObject *parent)
    : QObject(parent)
    , m_hub(hub)
    , m_presence(presence)
    , m_books(books)
    , m_phoneConfig(phoneConfig)
    , m_history(history)
{
}

// Adding a command: one handler plus one line here.
const QHash<QString, SimCalls::Handler> &SimCalls::handlers()
{
    static const QHash<QString, Handler> table = {
        {QStringLiteral("requestLineStatus"), &SimCalls::requestLineStatus},
        {QStringLiteral("dialNumber"), &SimCalls::dialNumber},
        {QStringLiteral("hangup"), &SimCalls::hangup},
        {QStringLiteral("hold"), &SimCalls::hold},
        {QStringLiteral("holdRetrieve"), &SimCalls::holdRetrieve},
        {QStringLiteral("transfer"), &SimCalls::transfer},
        {QStringLiteral("record"), &SimCalls::record},
    };
    return table;
}

bool SimCalls::parse(const QJsonValue &section, Config *config, QString *error)
{
    SimJsonReader root(section);
    root.allowOnly({"answerDelayMs", "failDelayMs", "busyNumbers", "unansweredNumbers", "incoming", "seed"});
    config->answerDelay = root.integer(QStringLiteral("answerDelayMs"), config->answerDelay);
    config->failDelay = root.integer(QStringLiteral("failDelayMs"), config->failDelay);
    for (const QString &number : root.strings(QStringLiteral("busyNumbers")))
        config->busyNumbers.append(SimAddressBooks::canonicalNumber(number));
    for (const QString &number : root.strings(QStringLiteral("unansweredNumbers")))
        config->unansweredNumbers.append(SimAddressBooks::canonicalNumber(number));
    config->seed = root.seed(QStringLiteral("seed"));

    SimJsonReader incoming = root.child(QStringLiteral("incoming"));
    incoming.allowOnly({"intervalMs", "ringMs", "answerChance", "answerAfterMs", "talkMs", "callers"});
    IncomingCalls &in = config->incoming;
    in.interval = incoming.range(QStringLiteral("intervalMs"), in.interval);
    in.ring = incoming.range(QStringLiteral("ringMs"), in.ring);
    in.answerChance = incoming.number(QStringLiteral("answerChance"), in.answerChance, 0, 1);
    in.answerAfter = incoming.range(QStringLiteral("answerAfterMs"), in.answerAfter);
    in.talk = incoming.range(QStringLiteral("talkMs"), in.talk);
    const QJsonArray callers = incoming.array(QStringLiteral("callers"));
    for (int i = 0; i < callers.size() && root.isOk(); ++i) {
        SimJsonReader caller = incoming.element(QStringLiteral("callers"), i);
        caller.allowOnly({"remote_number", "firstname", "lastname", "company", "caller_addressbook_id"});
        caller.requiredString(QStringLiteral("remote_number"));
        for (const char *key : {"firstname", "lastname", "company", "caller_addressbook_id"})
            caller.string(QLatin1String(key));
        in.callers.append(SimParty::fromJson(caller.object()));
    }
    if (error)
        *error = root.error();
    return root.isOk();
}

bool SimCalls::checkSection(const QJsonValue &section, QString *error)
{
    Config config;
    return parse(section, &config, error);
}

void SimCalls::reset(const QJsonValue &section)
{
    m_config = Config();
    parse(section, &m_config, nullptr);
    m_calls.clear();
    m_random.seed(m_config.seed);
    ++m_generation;
    scheduleIncoming();
}

// ---- Requests ----

void SimCalls::requestLineStatus(const SimHub::Request &request)
{
    QJsonObject lines;
    for (const Call &call : qAsConst(m_calls)) {
        if (call.user == request.user)
            lines.insert(call.id, lineData(call, call.state));
    }
    m_hub.reply(request, {{QStringLiteral("lines"), lines}});
}

void SimCalls::dialNumber(const SimHub::Request &request)
{
    const QString number = request.string(QStringLiteral("number")).trimmed();
    if (!isDialable(number))
        return answer(request, 400);
    if (!m_phoneConfig.canPlaceCalls(request.user))
        return answer(request, 409);   // logged in to none of the user's phones
    holdOthers(request.user);

    if (number.startsWith(PickupPrefix)) {
        SimParty caller;
        if (m_presence.takeRingingCall(number.mid(PickupPrefix.size()), &caller))
            return answer(request, 200, open(request.user, caller, Incoming, Connected).id);
        const QString id = open(request.user, {number}, Outgoing, Ringing).id;
        later(id, m_config.failDelay, &SimCalls::failCall);   // nothing rings there to take
        return answer(request, 200, id);
    }

    const QString colleagueId = m_presence.idByExtension(number);
    SimParty party{number};
    if (!colleagueId.isEmpty()) {
        const QJsonObject colleague = m_presence.colleague(colleagueId);
        party.firstName = colleague.value(QStringLiteral("firstname")).toString();
        party.lastName = colleague.value(QStringLiteral("lastname")).toString();
    } else {
        party = m_books.findByNumber(number);
        const QString prefix = m_phoneConfig.dialPrefix(request.user);
        if (party.addressBookId.isEmpty() && !prefix.isEmpty() && number.startsWith(prefix)) {
            party = m_books.findByNumber(number.mid(prefix.size()));   // the line prefix is no part of it
            party.number = number;
        }
    }
    Call &call = open(request.user, party, Outgoing, Ringing);
    call.colleagueId = colleagueId;
    const QString id = call.id;
    const QString canonical = SimAddressBooks::canonicalNumber(number);
    if (!colleagueId.isEmpty() && !m_presence.isAvailable(colleagueId)) {
        call.colleagueId.clear();   // their lamp shows their own call
        later(id, m_config.failDelay, &SimCalls::failCall);
    } else if (m_config.busyNumbers.contains(canonical)) {
        later(id, m_config.failDelay, &SimCalls::failCall);
    } else if (!m_config.unansweredNumbers.contains(canonical)) {
        later(id, m_config.answerDelay, &SimCalls::connectCall);
    }
    if (!call.colleagueId.isEmpty())
        m_presence.setPhonePresence(colleagueId, QStringLiteral("ringing"));
    answer(request, 200, id);
}

void SimCalls::hangup(const SimHub::Request &request)
{
    if (Call *call = callOf(request)) {
        const QString id = call->id;
        finish(id, call->state == Ringing ? Cancelled : Completed);
        answer(request, 200, id);
    }
}

void SimCalls::hold(const SimHub::Request &request)
{
    if (Call *call = callOf(request)) {
        if (call->state != Connected)
            return answer(request, 409, call->id);
        setState(*call, Held);
        answer(request, 200, call->id);
    }
}

void SimCalls::holdRetrieve(const SimHub::Request &request)
{
    if (Call *call = callOf(request)) {
        if (call->state != Held)
            return answer(request, 409, call->id);
        const QString id = call->id;
        holdOthers(request.user);
        setState(m_calls[id], Connected);
        answer(request, 200, id);
    }
}

void SimCalls::transfer(const SimHub::Request &request)
{
    const QString target = request.string(QStringLiteral("target")).trimmed();
    if (!isDialable(target))
        return answer(request, 400);
    if (Call *call = callOf(request)) {
        const QString id = call->id;
        const QString colleagueId = m_presence.idByExtension(target);
        if (!colleagueId.isEmpty())
            m_presence.ring(colleagueId, call->party);   // the colleague's phone takes it over
        finish(id, HandedOver);
        answer(request, 200, id);
    }
}

void SimCalls::record(const SimHub::Request &request)
{
    if (Call *call = callOf(request)) {
        if (call->state != Connected)
            return answer(request, 409, call->id);
        call->recording = !call->recording;
        announce(*call);
        answer(request, 200, call->id);
    }
}

SimCalls::Call *SimCalls::callOf(const SimHub::Request &request)
{
    const auto it = m_calls.find(request.string(CallId));
    if (it != m_calls.end() && it->user == request.user)
        return &*it;
    answer(request, 404);
    return nullptr;
}

void SimCalls::answer(const SimHub::Request &request, int status, const QString &callId)
{
    QJsonObject data{{Status, status}};
    if (!callId.isEmpty())
        data.insert(CallId, callId);
    m_hub.reply(request, data);
}

// ---- Hooks ----

QStringList SimCalls::callIds(const QString &user) const
{
    QStringList ids;
    for (const Call &call : m_calls) {
        if (user.isEmpty() || call.user == user)
            ids.append(call.id);
    }
    return ids;
}

QJsonObject SimCalls::line(const QString &callId) const
{
    const auto it = m_calls.find(callId);
    return it == m_calls.end() ? QJsonObject() : lineData(*it, it->state);
}

QStringList SimCalls::startIncomingCall(const QString &number, const QString &firstName, const QString &lastName,
                                        const QString &company, const QString &user)
{
    return startIncomingCall(SimParty{number, firstName, lastName, company, QString()}, user);
}

QStringList SimCalls::startIncomingCall(const SimParty &caller, const QString &user)
{
    QStringList ids;
    for (const QString &target : user.isEmpty() ? m_hub.loggedInUsers() : QStringList{user}) {
        const QString id = ringAt(target, caller, false);
        if (!id.isEmpty())
            ids.append(id);
    }
    return ids;
}

bool SimCalls::answerCall(const QString &callId)
{
    const auto it = m_calls.find(callId);
    if (it == m_calls.end() || it->state != Ringing || it->direction != Incoming)
        return false;
    connectCall(callId);
    return true;
}

bool SimCalls::endCall(const QString &callId, int state)
{
    if (!m_calls.contains(callId) || state < HandedOver)
        return false;
    finish(callId, state);
    return true;
}

// ---- The life of a call ----

SimCalls::Call &SimCalls::open(const QString &user, const SimParty &party, int direction, int state)
{
    Call call;
    call.id = QString::number(QDateTime::currentSecsSinceEpoch()) % QLatin1Char('.') % QString::number(++m_lastCall);
    call.user = user;
    call.party = party;
    call.direction = direction;
    call.state = state;
    call.started = QDateTime::currentDateTime();
    if (state == Connected)
        call.connected = call.started;
    Call &stored = *m_calls.insert(call.id, call);
    announce(stored);
    follow(user);
    return stored;
}

void SimCalls::setState(Call &call, int state)
{
    if (state == Connected && !call.connected.isValid())
        call.connected = QDateTime::currentDateTime();
    call.state = state;
    ++call.step;
    announce(call);
    follow(call.user);
}

void SimCalls::finish(const QString &callId, int state)
{
    const auto it = m_calls.find(callId);
    if (it == m_calls.end())
        return;
    const Call call = *it;
    m_calls.erase(it);
    m_hub.notifyUser(call.user, QStringLiteral("updateLineStatus"), lineData(call, state));

    QJsonObject item{{CallId, call.id},
                     {QStringLiteral("timestamp"), SimHistory::timestamp(call.started)},
                     {QStringLiteral("duration"), talked(call.connected)},
                     {QStringLiteral("direction"), call.direction},
                     {QStringLiteral("state"), state},
                     {QStringLiteral("typ"), QStringLiteral("call")}};
    call.party.writeTo(item);
    m_history.addItem(call.user, item);

    if (!call.colleagueId.isEmpty())
        m_presence.setPhonePresence(call.colleagueId, QString());
    follow(call.user);
}

void SimCalls::announce(const Call &call)
{
    m_hub.notifyUser(call.user, QStringLiteral("updateLineStatus"), lineData(call, call.state));
}

// A phone talks on one line at a time; starting another call holds the running one.
void SimCalls::holdOthers(const QString &user)
{
    const QStringList ids = callIds(user);
    for (const QString &id : ids) {
        if (m_calls[id].state == Connected)
            setState(m_calls[id], Held);
    }
}

// The lamp of a user who is also a colleague shows the busiest of their lines.
void SimCalls::follow(const QString &user)
{
    int busiest = -1;
    for (const Call &call : qAsConst(m_calls)) {
        if (call.user != user)
            continue;
        const int rank = call.state == Connected ? 3 : call.state == Held ? 2 : 1;
        busiest = qMax(busiest, rank);
    }
    static const QStringList presence = {QString(), QStringLiteral("ringing"), QStringLiteral("hold"),
                                         QStringLiteral("busy")};
    m_presence.followAccount(user, presence.at(qMax(0, busiest)));
}

// Runs a step of the call after ms, unless the call changed or ended first.
void SimCalls::later(const QString &callId, int ms, void (SimCalls::*step)(const QString &))
{
    const int expected = m_calls.value(callId).step;
    const int generation = m_generation;
    QTimer::singleShot(ms, this, [this, callId, expected, generation, step] {
        const auto it = m_calls.find(callId);
        if (generation == m_generation && it != m_calls.end() && it->step == expected)
            (this->*step)(callId);
    });
}

void SimCalls::connectCall(const QString &callId)
{
    Call &call = m_calls[callId];
    if (call.direction == Incoming)
        holdOthers(call.user);
    setState(m_calls[callId], Connected);
    if (!call.colleagueId.isEmpty())
        m_presence.setPhonePresence(call.colleagueId, QStringLiteral("busy"));
}

void SimCalls::failCall(const QString &callId)
{
    finish(callId, Failed);
}

void SimCalls::completeCall(const QString &callId)
{
    finish(callId, Completed);
}

QString SimCalls::ringAt(const QString &user, SimParty caller, bool generated)
{
    if (user.isEmpty() || m_phoneConfig.dnd(user))
        return {};
    if (!caller.hasName() && caller.addressBookId.isEmpty()) {
        const QString number = caller.number;
        caller = m_books.findByNumber(number);
        caller.number = number;
    }
    const QString id = open(user, caller, Incoming, Ringing).id;
    const int ring = m_config.incoming.ring.pick(m_random);
    if (generated && m_random.generateDouble() < m_config.incoming.answerChance) {
        // The user picks up on the desk phone after a while and talks until the caller hangs up.
        const int answerAfter = m_config.incoming.answerAfter.pick(m_random);
        const int talk = qMax(1, m_config.incoming.talk.pick(m_random));
        if (ring <= 0 || answerAfter < ring) {
            const int generation = m_generation;
            later(id, answerAfter, &SimCalls::connectCall);
            QTimer::singleShot(answerAfter + talk, this, [this, id, generation] {
                if (generation == m_generation && m_calls.value(id).state == Connected)
                    completeCall(id);
            });
            return id;
        }
    }
    if (ring > 0)
        later(id, ring, &SimCalls::failCall);   // the caller gives up
    return id;
}

void SimCalls::scheduleIncoming()
{
    if (m_config.incoming.interval.isZero())
        return;
    const int generation = m_generation;
    QTimer::singleShot(m_config.incoming.interval.pick(m_random), this, [this, generation] {
        if (generation != m_generation)
            return;
        for (const QString &user : m_hub.loggedInUsers()) {
            const QList<SimParty> &callers = m_config.incoming.callers;
            SimParty caller = callers.isEmpty() ? m_books.randomParty(m_random)
                                                : callers.at(m_random.bounded(callers.size()));
            if (caller.number.isEmpty())
                caller.number = SimContactGenerator::unknownNumber(quint32(m_random.generate()), m_lastCall);
            ringAt(user, caller, true);
        }
        scheduleIncoming();
    });
}

QJsonObject SimCalls::lineData(const Call &call, int state)
{
    QJsonObject data{{CallId, call.id},
                     {QStringLiteral("duration"), clock(talked(call.connected))},
                     {QStringLiteral("state"), state},
                     {QStringLiteral("direction"), call.direction},
                     {QStringLiteral("timestamp"), call.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))},
                     {QStringLiteral("recording"), call.recording}};
    call.party.writeTo(data);
    return data;
}

bool SimCalls::isDialable(const QString &number)
{
    static const QRegularExpression dialable(QStringLiteral("^\\+?[0-9*#]{1,40}$"));
    QString digits = number;
    digits.remove(QRegularExpression(QStringLiteral("[ ()/.-]")));
    return dialable.match(digits).hasMatch();
}
