#pragma once

#include "simhub.h"
#include "simparty.h"
#include "simrange.h"

#include <QHash>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QRandomGenerator>
#include <QStringList>

class SimAddressBooks;
class SimPhoneConfig;
class SimPresence;

// Calls waiting in the PBX's queues and taken by agents; callers arrive now and then if the
// scenario says so. Every change is a "newQueueCall" event to every logged-in client.
class SimQueueCalls : public QObject
{
public:
    SimQueueCalls(SimHub &hub, const SimAddressBooks &books, const SimPresence &presence,
                  const SimPhoneConfig &phoneConfig, QObject *parent = nullptr);

    static bool checkSection(const QJsonValue &section, QString *error);
    void reset(const QJsonValue &section);   // after the phone configuration: queues come from it

    using Handler = void (SimQueueCalls::*)(const SimHub::Request &);
    static const QHash<QString, Handler> &handlers();

    QList<QJsonObject> calls(const QString &queueId) const;   // waiting and talking, by call id
    // A caller enters the queue, waiting; returns the call id, empty for an unknown queue.
    QString addCall(const QString &queueId, const SimParty &caller);
    // 2: an agent talks to the caller; 3 or more: the call has left the queue.
    bool updateCall(const QString &callId, int state, const QString &agent = QString());

private:
    struct Activity
    {
        SimRange interval;
        SimRange wait{5000, 30000};
        SimRange talk{30000, 180000};
        double abandonChance = 0.15;
        QStringList queues;   // empty: all
    };
    struct Config
    {
        QList<QJsonObject> calls;
        Activity activity;
        quint32 seed = 1;
    };
    static bool parse(const QJsonValue &section, Config *config, QString *error);

    void requestQueueCalls(const SimHub::Request &request);
    void announce(const QJsonObject &call);
    void scheduleActivity();
    void arrive();
    QString someAgent();

    SimHub &m_hub;
    const SimAddressBooks &m_books;
    const SimPresence &m_presence;
    const SimPhoneConfig &m_phoneConfig;
    QMap<QString, QJsonObject> m_calls;
    Activity m_activity;
    QRandomGenerator m_random;
    int m_generation = 0;
    int m_lastCall = 0;
};
