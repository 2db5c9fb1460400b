#include "simhistory.h"

#include "simaddressbooks.h"
#include "simcontactgenerator.h"
#include "simjsonreader.h"
#include "simpresence.h"

#include <QDateTime>
#include <QRandomGenerator>

#include <algorithm>

namespace {

const QString Id = QStringLiteral("id");
const QString Timestamp = QStringLiteral("timestamp");

} // namespace

SimHistory::SimHistory(SimHub &hub, const SimAddressBooks &books, const SimPresence &presence)
    : m_hub(hub)
    , m_books(books)
    , m_presence(presence)
{
}

// Adding a command: one handler plus one line here.
const QHash<QString, SimHistory::Handler> &SimHistory::handlers()
{
    static const QHash<QString, Handler> table = {
        {QStringLiteral("requestUCItems"), &SimHistory::requestUCItems},
    };
    return table;
}

bool SimHistory::parse(const QJsonValue &section, Config *config, QString *error)
{
    SimJsonReader root(section);
    root.allowOnly({"generate", "days", "seed", "items"});
    config->generate = root.integer(QStringLiteral("generate"), 0, 0, MaxItems);
    config->days = root.integer(QStringLiteral("days"), config->days, 1, 3650);
    config->seed = root.seed(QStringLiteral("seed"));
    const QJsonArray items = root.array(QStringLiteral("items"));
    for (int i = 0; i < items.size() && root.isOk(); ++i) {
        SimJsonReader item = root.element(QStringLiteral("items"), i);
        item.string(Timestamp);
        config->items.append(item.object());
    }
    if (error)
        *error = root.error();
    return root.isOk();
}

bool SimHistory::checkSection(const QJsonValue &section, QString *error)
{
    Config config;
    return parse(section, &config, error);
}

void SimHistory::reset(const QJsonValue &section)
{
    Config config;
    parse(section, &config, nullptr);
    m_users.clear();
    m_scenario.clear();
    m_lastId = 0;

    // Past calls over the last days: contacts, colleagues and strangers, answered, missed
    // and unanswered in the proportions of an ordinary office line.
    QRandomGenerator random(config.seed);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QStringList colleagues = m_presence.colleagueIds();
    QList<QJsonObject> generated;
    for (int i = 0; i < config.generate; ++i) {
        QJsonObject item;
        const int kind = random.bounded(100);
        SimParty party;
        if (kind < 20 && !colleagues.isEmpty()) {
            const QJsonObject colleague = m_presence.colleague(colleagues.at(random.bounded(colleagues.size())));
            party = {colleague.value(QStringLiteral("extension")).toString(),
                     colleague.value(QStringLiteral("firstname")).toString(),
                     colleague.value(QStringLiteral("lastname")).toString()};
        } else if (kind < 85) {
            party = m_books.randomParty(random);
        }
        if (party.number.isEmpty())
            party.number = SimContactGenerator::unknownNumber(config.seed, i);
        party.writeTo(item);
        const bool incoming = random.bounded(100) < 55;
        const int outcome = random.bounded(100);
        const int state = incoming ? (outcome < 70 ? 8 : outcome < 95 ? 7 : 4) : (outcome < 80 ? 8 : outcome < 95 ? 4 : 7);
        const int duration = state == 8 ? 5 + random.bounded(60) * (1 + random.bounded(20)) : 0;
        const QDateTime start = now.addSecs(-qint64(random.bounded(config.days * 86400)));
        item.insert(QStringLiteral("callid"), QString(QString::number(start.toSecsSinceEpoch()) % QLatin1Char('.') % QString::number(i)));
        item.insert(Timestamp, timestamp(start));
        item.insert(QStringLiteral("duration"), duration);
        item.insert(QStringLiteral("direction"), incoming ? 1 : 0);
        item.insert(QStringLiteral("state"), state);
        item.insert(QStringLiteral("typ"), QStringLiteral("call"));
        generated.append(item);
    }
    generated.append(config.items);
    std::stable_sort(generated.begin(), generated.end(), [](const QJsonObject &a, const QJsonObject &b) {
        return a.value(Timestamp).toString() < b.value(Timestamp).toString();
    });
    for (QJsonObject &item : generated) {
        if (!item.value(Id).isString())
            item.insert(Id, nextId());
        if (!item.contains(QStringLiteral("typ")))
            item.insert(QStringLiteral("typ"), QStringLiteral("call"));
        m_scenario.append(item);
    }
}

void SimHistory::requestUCItems(const SimHub::Request &request)
{
    QJsonObject items;
    for (const QJsonObject &item : itemsOf(request.user))
        items.insert(item.value(Id).toString(), item);
    m_hub.reply(request, {{QStringLiteral("items"), items}});
}

QList<QJsonObject> SimHistory::items(const QString &user) const
{
    QList<QJsonObject> list = m_users.value(user, m_scenario);
    for (QJsonObject &item : list)
        item.insert(QStringLiteral("owner_id"), user);
    return list;
}

QString SimHistory::addItem(const QString &user, QJsonObject item)
{
    QList<QJsonObject> &list = itemsOf(user);
    const QString id = nextId();
    item.insert(Id, id);
    item.insert(QStringLiteral("owner_id"), user);
    if (!item.contains(QStringLiteral("typ")))
        item.insert(QStringLiteral("typ"), QStringLiteral("call"));
    list.append(item);
    while (list.size() > MaxItems)
        list.removeFirst();
    return id;
}

QString SimHistory::timestamp(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODate);
}

QList<QJsonObject> &SimHistory::itemsOf(const QString &user)
{
    auto it = m_users.find(user);
    if (it == m_users.end()) {
        it = m_users.insert(user, m_scenario);
        for (QJsonObject &item : *it)
            item.insert(QStringLiteral("owner_id"), user);
    }
    return *it;
}

// Zero-padded and rising, so ids sort as the items happened.
QString SimHistory::nextId()
{
    return QStringLiteral("uc%1").arg(++m_lastId, 8, 10, QLatin1Char('0'));
}
