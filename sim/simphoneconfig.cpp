#include "simphoneconfig.h"

#include "simjsonreader.h"
#include "simpresence.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

namespace {

const QString Id = QStringLiteral("id");
const QString Assigned = QStringLiteral("assigned");
const QString LoggedIn = QStringLiteral("loggedIn");
const QString StaticMember = QStringLiteral("static_member");
const QString Status = QStringLiteral("status");

QJsonObject byId(const QList<QJsonObject> &records)
{
    QJsonObject object;
    for (const QJsonObject &record : records)
        object.insert(record.value(Id).toString(), record);
    return object;
}

int indexOf(const QList<QJsonObject> &records, const QString &id)
{
    for (int i = 0; i < records.size(); ++i) {
        if (records.at(i).value(Id).toString() == id)
            return i;
    }
    return -1;
}

} // namespace

SimPhoneConfig::SimPhoneConfig(SimHub &hub, SimPresence &presence)
    : m_hub(hub)
    , m_presence(presence)
{
}

// Adding a command: one handler plus one line here.
const QHash<QString, SimPhoneConfig::Handler> &SimPhoneConfig::handlers()
{
    static const QHash<QString, Handler> table = {
        {QStringLiteral("requestPhoneConfig"), &SimPhoneConfig::requestPhoneConfig},
        {QStringLiteral("loginPhone"), &SimPhoneConfig::loginPhone},
        {QStringLiteral("logoutPhone"), &SimPhoneConfig::logoutPhone},
        {QStringLiteral("loginQueue"), &SimPhoneConfig::loginQueue},
        {QStringLiteral("logoutQueue"), &SimPhoneConfig::logoutQueue},
        {QStringLiteral("setDnd"), &SimPhoneConfig::setDndCommand},
        {QStringLiteral("setActiveForwardPreset"), &SimPhoneConfig::setActiveForwardPresetCommand},
    };
    return table;
}

bool SimPhoneConfig::parse(const QJsonValue &section, Config *config, QString *error)
{
    SimJsonReader root(section);
    root.allowOnly({"dialPrefix", "dnd", "activeForwardPreset", "forwardPresets", "phones", "queues", "changeDelayMs"});
    config->changeDelay = root.range(QStringLiteral("changeDelayMs"), SimRange());
    config->dialPrefix = root.string(QStringLiteral("dialPrefix"));
    config->dnd = root.boolean(QStringLiteral("dnd"), false);
    config->activePreset = root.string(QStringLiteral("activeForwardPreset"));

    // Records pass through as written; only what the PBX itself acts on is checked.
    auto records = [&root](const QString &key, std::initializer_list<const char *> booleans) {
        QList<QJsonObject> list;
        const QJsonArray array = root.array(key);
        for (int i = 0; i < array.size() && root.isOk(); ++i) {
            SimJsonReader record = root.element(key, i);
            const QString id = record.requiredString(Id);
            for (const char *flag : booleans)
                record.boolean(QLatin1String(flag), false);
            if (indexOf(list, id) >= 0)
                record.fail(Id, QStringLiteral("duplicate id \"") % id % QLatin1Char('"'));
            list.append(record.object());
        }
        return list;
    };
    config->presets = records(QStringLiteral("forwardPresets"), {});
    config->phones = records(QStringLiteral("phones"), {"assigned"});
    config->queues = records(QStringLiteral("queues"), {"loggedIn", "static_member"});

    // The forwarding rules go out as the PBX stores them: Base64 of their JSON.
    for (QJsonObject &preset : config->presets) {
        const QJsonValue configs = preset.value(QStringLiteral("configs"));
        if (configs.isObject() || configs.isArray()) {
            const QJsonDocument doc = configs.isObject() ? QJsonDocument(configs.toObject()) : QJsonDocument(configs.toArray());
            preset.insert(QStringLiteral("configs"), QString::fromLatin1(doc.toJson(QJsonDocument::Compact).toBase64()));
        }
    }
    for (QJsonObject &queue : config->queues) {
        if (queue.value(StaticMember).toBool())
            queue.insert(LoggedIn, true);   // a static member is always in
    }
    if (!config->activePreset.isEmpty() && indexOf(config->presets, config->activePreset) < 0)
        root.fail(QStringLiteral("activeForwardPreset"), QStringLiteral("no such preset"));

    if (error)
        *error = root.error();
    return root.isOk();
}

bool SimPhoneConfig::checkSection(const QJsonValue &section, QString *error)
{
    Config config;
    return parse(section, &config, error);
}

void SimPhoneConfig::reset(const QJsonValue &section)
{
    m_scenario = Config();
    parse(section, &m_scenario, nullptr);
    m_users.clear();
    m_pending = std::make_unique<QObject>();
}

// ---- Requests ----

void SimPhoneConfig::requestPhoneConfig(const SimHub::Request &request)
{
    const Config &config = configOf(request.user);
    m_hub.reply(request, {{QStringLiteral("callForwardPresets"), byId(config.presets)},
                          {QStringLiteral("activeForwardPreset"), config.activePreset},
                          {QStringLiteral("dialprefix"), config.dialPrefix},
                          {QStringLiteral("dndActive"), config.dnd},
                          {QStringLiteral("phones"), byId(config.phones)},
                          {QStringLiteral("queues"), byId(config.queues)}});
}

// The command is answered at once; the change and its events follow after the scenario's delay.
void SimPhoneConfig::loginPhone(const SimHub::Request &request)
{
    const QString user = request.user;
    const QString id = request.string(Id);
    answer(request, !phone(user, id).isEmpty());
    later([this, user, id] { setPhoneAssigned(user, id, true); });
}

void SimPhoneConfig::logoutPhone(const SimHub::Request &request)
{
    const QString user = request.user;
    const QString id = request.string(Id);
    answer(request, !phone(user, id).isEmpty());
    later([this, user, id] { setPhoneAssigned(user, id, false); });
}

void SimPhoneConfig::loginQueue(const SimHub::Request &request)
{
    const QString user = request.user;
    const QString id = request.string(Id);
    const QJsonObject record = queue(user, id);
    answer(request, !record.isEmpty() && !record.value(StaticMember).toBool(), record.isEmpty() ? 404 : 409);
    later([this, user, id] { setQueueLoggedIn(user, id, true); });
}

void SimPhoneConfig::logoutQueue(const SimHub::Request &request)
{
    const QString user = request.user;
    const QString id = request.string(Id);
    const QJsonObject record = queue(user, id);
    answer(request, !record.isEmpty() && !record.value(StaticMember).toBool(), record.isEmpty() ? 404 : 409);
    later([this, user, id] { setQueueLoggedIn(user, id, false); });
}

void SimPhoneConfig::later(std::function<void()> change)
{
    const int ms = m_scenario.changeDelay.pick(m_random);
    if (ms <= 0)
        change();
    else
        QTimer::singleShot(ms, m_pending.get(), std::move(change));
}

void SimPhoneConfig::setDndCommand(const SimHub::Request &request)
{
    const QJsonValue value = request.data.value(QStringLiteral("value"));
    const QString text = value.isString() ? value.toString() : value.toVariant().toString();
    if (text != QLatin1String("1") && text != QLatin1String("0") && text != QLatin1String("true")
        && text != QLatin1String("false")) {
        answer(request, false, 400);
        return;
    }
    answer(request, setDnd(request.user, text == QLatin1String("1") || text == QLatin1String("true")));
}

void SimPhoneConfig::setActiveForwardPresetCommand(const SimHub::Request &request)
{
    answer(request, setActiveForwardPreset(request.user, request.string(Id)));
}

void SimPhoneConfig::answer(const SimHub::Request &request, bool done, int failure)
{
    m_hub.reply(request, {{Status, done ? 200 : failure}});
}

// ---- Queries and changes ----

bool SimPhoneConfig::dnd(const QString &user) const
{
    return configOf(user).dnd;
}

QString SimPhoneConfig::dialPrefix(const QString &user) const
{
    return configOf(user).dialPrefix;
}

QString SimPhoneConfig::activeForwardPreset(const QString &user) const
{
    return configOf(user).activePreset;
}

QJsonObject SimPhoneConfig::phone(const QString &user, const QString &phoneId) const
{
    const Config &config = configOf(user);
    const int index = indexOf(config.phones, phoneId);
    return index < 0 ? QJsonObject() : config.phones.at(index);
}

QJsonObject SimPhoneConfig::queue(const QString &user, const QString &queueId) const
{
    const Config &config = configOf(user);
    const int index = indexOf(config.queues, queueId);
    return index < 0 ? QJsonObject() : config.queues.at(index);
}

QStringList SimPhoneConfig::queueIds() const
{
    QStringList ids;
    for (const QJsonObject &queue : m_scenario.queues)
        ids.append(queue.value(Id).toString());
    return ids;
}

bool SimPhoneConfig::canPlaceCalls(const QString &user) const
{
    const Config &config = configOf(user);
    for (const QJsonObject &phone : config.phones) {
        if (phone.value(Assigned).toBool())
            return true;
    }
    return config.phones.isEmpty();
}

bool SimPhoneConfig::setDnd(const QString &user, bool on)
{
    configOf(user).dnd = on;
    announceConfig(user);
    m_presence.followAccountDnd(user, on);
    return true;
}

bool SimPhoneConfig::setActiveForwardPreset(const QString &user, const QString &presetId)
{
    Config &config = configOf(user);
    if (indexOf(config.presets, presetId) < 0)
        return false;
    config.activePreset = presetId;
    announceConfig(user);
    return true;
}

bool SimPhoneConfig::setPhoneAssigned(const QString &user, const QString &phoneId, bool assigned)
{
    Config &config = configOf(user);
    const int index = indexOf(config.phones, phoneId);
    if (index < 0)
        return false;
    // One phone at a time: logging in to one logs out of the others.
    for (int i = 0; i < config.phones.size(); ++i) {
        QJsonObject &phone = config.phones[i];
        const bool now = i == index ? assigned : phone.value(Assigned).toBool() && !assigned;
        if (i != index && now == phone.value(Assigned).toBool())
            continue;
        phone.insert(Assigned, now);
        m_hub.notifyUser(user, QStringLiteral("phoneChanged"), {{QStringLiteral("phone"), phone}});
    }
    return true;
}

bool SimPhoneConfig::setQueueLoggedIn(const QString &user, const QString &queueId, bool loggedIn)
{
    Config &config = configOf(user);
    const int index = indexOf(config.queues, queueId);
    if (index < 0)
        return false;
    QJsonObject &queue = config.queues[index];
    const bool isStatic = queue.value(StaticMember).toBool();
    if (!isStatic)
        queue.insert(LoggedIn, loggedIn);
    // Refused or not, the agent's state goes back, so a client that changed its switch
    // early shows the truth again.
    m_hub.notifyUser(user, QStringLiteral("agentChanged"), {{QStringLiteral("agent"), queue}});
    if (!isStatic) {
        QJsonObject summary{{Id, queueId}};
        for (const char *key : {"extension", "name"})
            summary.insert(QLatin1String(key), queue.value(QLatin1String(key)));
        m_hub.notifyUser(user, QStringLiteral("queueChanged"), {{QStringLiteral("queue"), summary}});
    }
    return !isStatic;
}

const SimPhoneConfig::Config &SimPhoneConfig::configOf(const QString &user) const
{
    const auto it = m_users.constFind(user);
    return it == m_users.cend() ? m_scenario : *it;
}

SimPhoneConfig::Config &SimPhoneConfig::configOf(const QString &user)
{
    auto it = m_users.find(user);
    if (it == m_users.end())
        it = m_users.insert(user, m_scenario);
    return *it;
}

void SimPhoneConfig::announceConfig(const QString &user)
{
    const Config &config = configOf(user);
    m_hub.notifyUser(user, QStringLiteral("phoneConfigChanged"),
                     {{QStringLiteral("activeForwardPreset"), config.activePreset}, {QStringLiteral("dnd"), config.dnd}});
}
