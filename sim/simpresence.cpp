#include "simpresence.h"

#include "simaddressbooks.h"
#include "simcontactgenerator.h"
#include "simjsonreader.h"

#include <QJsonArray>
#include <QTimer>

namespace {

const QString Id = QStringLiteral("id");
const QString Extension = QStringLiteral("extension");
const QString PhonePresence = QStringLiteral("phone_presence");
const QString Dnd = QStringLiteral("dnd");
const QString Ringing = QStringLiteral("ringing");
const QString Busy = QStringLiteral("busy");

bool inCall(const QString &presence)
{
    return presence == Ringing || presence == Busy || presence == QLatin1String("hold");
}

} // namespace

SimPresence::SimPresence(SimHub &hub, const SimAddressBooks &books, QObject *parent)
    : QObject(parent)
    , m_hub(hub)
    , m_books(books)
{
}

// Adding a command: one handler plus one line here.
const QHash<QString, SimPresence::Handler> &SimPresence::handlers()
{
    static const QHash<QString, Handler> table = {
        {QStringLiteral("requestJabberBuddies"), &SimPresence::requestJabberBuddies},
    };
    return table;
}

bool SimPresence::parse(const QJsonValue &section, Config *config, QString *error)
{
    SimJsonReader root(section);
    root.allowOnly({"users", "groups", "activity", "seed"});
    config->seed = root.seed(QStringLiteral("seed"));
    const QJsonArray users = root.array(QStringLiteral("users"));
    for (int i = 0; i < users.size() && root.isOk(); ++i) {
        SimJsonReader user = root.element(QStringLiteral("users"), i);
        const QString id = user.requiredString(Id);
        user.string(Extension);
        user.string(PhonePresence);
        if (config->colleagues.contains(id))
            user.fail(Id, QStringLiteral("duplicate colleague \"") % id % QLatin1Char('"'));
        Colleague colleague;
        colleague.data = user.object();
        const QString presence = colleague.data.value(PhonePresence).toString();
        colleague.idle = presence.isEmpty() || inCall(presence) ? QStringLiteral("online") : presence;
        config->colleagues.insert(id, colleague);
    }

    SimJsonReader groups = root.child(QStringLiteral("groups"));
    if (!root.has(QStringLiteral("groups")))
        config->groups.append({QStringLiteral("All"), config->colleagues.keys()});
    for (auto it = groups.object().begin(); it != groups.object().end() && root.isOk(); ++it) {
        const QStringList members = groups.strings(it.key());
        for (const QString &member : members) {
            if (!config->colleagues.contains(member))
                groups.fail(it.key(), QStringLiteral("no colleague \"") % member % QLatin1Char('"'));
        }
        config->groups.append({it.key(), members});
    }

    SimJsonReader activity = root.child(QStringLiteral("activity"));
    activity.allowOnly({"intervalMs", "ringMs", "answerChance", "talkMs", "chatChance", "chatStatuses", "holdChance",
                        "holdMs", "dndChance"});
    Activity &a = config->activity;
    a.interval = activity.range(QStringLiteral("intervalMs"), a.interval);
    a.ring = activity.range(QStringLiteral("ringMs"), a.ring);
    a.answerChance = activity.number(QStringLiteral("answerChance"), a.answerChance, 0, 1);
    a.talk = activity.range(QStringLiteral("talkMs"), a.talk);
    a.chatChance = activity.number(QStringLiteral("chatChance"), a.chatChance, 0, 1);
    a.holdChance = activity.number(QStringLiteral("holdChance"), a.holdChance, 0, 1);
    a.hold = activity.range(QStringLiteral("holdMs"), a.hold);
    a.dndChance = activity.number(QStringLiteral("dndChance"), a.dndChance, 0, 1);
    const QJsonArray statuses = activity.array(QStringLiteral("chatStatuses"));
    for (int i = 0; i < statuses.size(); ++i)
        a.chatStatuses.append(activity.element(QStringLiteral("chatStatuses"), i).object());

    if (error)
        *error = root.error();
    return root.isOk();
}

bool SimPresence::checkSection(const QJsonValue &section, QString *error)
{
    Config config;
    return parse(section, &config, error);
}

void SimPresence::reset(const QJsonValue &section)
{
    Config config;
    parse(section, &config, nullptr);
    m_colleagues = config.colleagues;
    m_groups = config.groups;
    m_activity = config.activity;
    m_random.seed(config.seed);
    ++m_generation;
    scheduleActivity();
}

void SimPresence::requestJabberBuddies(const SimHub::Request &request)
{
    QJsonObject groups;
    for (const auto &group : qAsConst(m_groups)) {
        QJsonObject users;
        for (const QString &id : group.second)
            users.insert(id, m_colleagues.value(id).data);
        groups.insert(group.first, QJsonObject{{QStringLiteral("users"), users}});
    }
    m_hub.reply(request, {{QStringLiteral("groups"), groups}});
}

bool SimPresence::removeColleague(const QString &id)
{
    if (!m_colleagues.remove(id))
        return false;
    // Its pending timers find no colleague and do nothing.
    for (auto &group : m_groups)
        group.second.removeAll(id);
    return true;
}

QStringList SimPresence::colleagueIds() const
{
    return m_colleagues.keys();
}

QJsonObject SimPresence::colleague(const QString &id) const
{
    return m_colleagues.value(id).data;
}

QString SimPresence::idByExtension(const QString &extension) const
{
    for (auto it = m_colleagues.begin(); it != m_colleagues.end(); ++it) {
        if (!extension.isEmpty() && it->data.value(Extension).toString() == extension)
            return it.key();
    }
    return {};
}

QString SimPresence::idByAccount(const QString &user) const
{
    for (auto it = m_colleagues.begin(); it != m_colleagues.end(); ++it) {
        if (!user.isEmpty() && it->data.value(QStringLiteral("name")).toString() == user)
            return it.key();
    }
    return {};
}

bool SimPresence::isRinging(const QString &id) const
{
    return m_colleagues.value(id).ringing;
}

bool SimPresence::isAvailable(const QString &id) const
{
    const auto it = m_colleagues.find(id);
    return it != m_colleagues.end() && !it->data.value(Dnd).toBool()
        && !inCall(it->data.value(PhonePresence).toString()) && it->data.value(PhonePresence) != QLatin1String("offline");
}

bool SimPresence::setPresence(const QString &id, const QJsonObject &changes)
{
    const auto it = m_colleagues.find(id);
    if (it == m_colleagues.end())
        return false;
    QJsonObject event{{Id, id}};
    for (auto change = changes.begin(); change != changes.end(); ++change) {
        if (change.key() != Id && it->data.value(change.key()) != change.value()) {
            it->data.insert(change.key(), change.value());
            event.insert(change.key(), change.value());
        }
    }
    if (changes.contains(PhonePresence)) {
        // Whoever sets the phone's state decides what happens next, not a pending timer.
        ++it->step;
        it->ringing = changes.value(PhonePresence) == Ringing && it->ringing;
    }
    if (event.size() > 1)
        m_hub.notifyAll(QStringLiteral("updateUserPresence"), event);
    return true;
}

bool SimPresence::setPhonePresence(const QString &id, const QString &presence)
{
    const auto it = m_colleagues.find(id);
    if (it == m_colleagues.end())
        return false;
    return setPresence(id, {{PhonePresence, presence.isEmpty() ? it->idle : presence}});
}

bool SimPresence::ring(const QString &id, const SimParty &caller, int ringMs)
{
    const auto it = m_colleagues.find(id);
    if (it == m_colleagues.end() || it->ringing)
        return false;
    setPresence(id, {{PhonePresence, Ringing}});
    it->ringing = true;
    it->caller = caller;
    const int ms = ringMs >= 0 ? ringMs : m_activity.ring.pick(m_random);
    if (ms > 0)
        later(id, ms, &SimPresence::ringEnded);
    return true;
}

bool SimPresence::takeRingingCall(const QString &extension, SimParty *caller)
{
    const QString id = idByExtension(extension);
    if (id.isEmpty() || !m_colleagues.value(id).ringing)
        return false;
    if (caller)
        *caller = m_colleagues.value(id).caller;
    setPhonePresence(id, QString());
    return true;
}

void SimPresence::followAccount(const QString &user, const QString &phonePresence)
{
    const QString id = idByAccount(user);
    if (!id.isEmpty() && m_colleagues.value(id).data.value(PhonePresence).toString() != phonePresence)
        setPhonePresence(id, phonePresence);
}

void SimPresence::followAccountDnd(const QString &user, bool dnd)
{
    const QString id = idByAccount(user);
    if (!id.isEmpty())
        setPresence(id, {{Dnd, dnd}});
}

// Runs a step of the colleague's call after ms, unless something else changed the phone first.
void SimPresence::later(const QString &id, int ms, void (SimPresence::*step)(const QString &))
{
    const int expected = m_colleagues.value(id).step;
    const int generation = m_generation;
    QTimer::singleShot(ms, this, [this, id, expected, generation, step] {
        const auto it = m_colleagues.find(id);
        if (generation == m_generation && it != m_colleagues.end() && it->step == expected)
            (this->*step)(id);
    });
}

void SimPresence::ringEnded(const QString &id)
{
    m_colleagues[id].ringing = false;
    if (m_random.generateDouble() >= m_activity.answerChance) {
        setPhonePresence(id, QString());
        return;
    }
    setPresence(id, {{PhonePresence, Busy}});
    const int talk = qMax(1, m_activity.talk.pick(m_random));
    if (m_random.generateDouble() < m_activity.holdChance)
        later(id, talk / 2, &SimPresence::holdStarted);
    else
        later(id, talk, &SimPresence::callEnded);
}

void SimPresence::holdStarted(const QString &id)
{
    setPresence(id, {{PhonePresence, QStringLiteral("hold")}});
    later(id, qMax(1, m_activity.hold.pick(m_random)), &SimPresence::holdEnded);
}

void SimPresence::holdEnded(const QString &id)
{
    setPresence(id, {{PhonePresence, Busy}});
    later(id, qMax(1, m_activity.talk.pick(m_random) / 2), &SimPresence::callEnded);
}

void SimPresence::callEnded(const QString &id)
{
    setPhonePresence(id, QString());
}

void SimPresence::scheduleActivity()
{
    if (m_activity.interval.isZero())
        return;
    const int generation = m_generation;
    QTimer::singleShot(m_activity.interval.pick(m_random), this, [this, generation] {
        if (generation != m_generation)
            return;
        act();
        scheduleActivity();
    });
}

// Now and then a colleague's phone rings, or someone changes their chat status.
void SimPresence::act()
{
    const QStringList loggedIn = m_hub.loggedInUsers();
    QStringList idle;
    for (auto it = m_colleagues.begin(); it != m_colleagues.end(); ++it) {
        // The lamps of logged-in users show their real lines.
        if (isAvailable(it.key()) && !loggedIn.contains(it->data.value(QStringLiteral("name")).toString()))
            idle.append(it.key());
    }
    if (!m_activity.chatStatuses.isEmpty() && !m_colleagues.isEmpty()
        && m_random.generateDouble() < m_activity.chatChance) {
        const QStringList ids = m_colleagues.keys();
        setPresence(ids.at(m_random.bounded(ids.size())),
                    m_activity.chatStatuses.at(m_random.bounded(m_activity.chatStatuses.size())));
        return;
    }
    if (m_random.generateDouble() < m_activity.dndChance) {
        // Someone between calls (do-not-disturb or not) switches it.
        QStringList between;
        for (auto it = m_colleagues.cbegin(); it != m_colleagues.cend(); ++it) {
            if (!inCall(it->data.value(PhonePresence).toString()) && !it->ringing
                && !loggedIn.contains(it->data.value(QStringLiteral("name")).toString()))
                between.append(it.key());
        }
        if (!between.isEmpty()) {
            const QString id = between.at(m_random.bounded(between.size()));
            setPresence(id, {{Dnd, !m_colleagues.value(id).data.value(Dnd).toBool()}});
            return;
        }
    }
    if (idle.isEmpty())
        return;
    SimParty caller = m_books.randomParty(m_random);
    if (caller.number.isEmpty())
        caller.number = SimContactGenerator::unknownNumber(quint32(m_random.generate()), 0);
    ring(idle.at(m_random.bounded(idle.size())), caller);
}
