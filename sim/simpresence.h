#pragma once

#include "simhub.h"
#include "simparty.h"
#include "simrange.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QRandomGenerator>
#include <QStringList>

class SimAddressBooks;

// The colleagues on the PBX, their groups, and their phone, do-not-disturb and chat presence;
// their phones ring now and then if the scenario says so.
class SimPresence : public QObject
{
public:
    SimPresence(SimHub &hub, const SimAddressBooks &books, QObject *parent = nullptr);

    static bool checkSection(const QJsonValue &section, QString *error);
    void reset(const QJsonValue &section);

    using Handler = void (SimPresence::*)(const SimHub::Request &);
    static const QHash<QString, Handler> &handlers();

    QStringList colleagueIds() const;
    QJsonObject colleague(const QString &id) const;   // empty for an unknown id
    QString idByExtension(const QString &extension) const;
    QString idByAccount(const QString &user) const;   // the colleague whose "name" is the login
    bool isRinging(const QString &id) const;
    // Neither ringing nor talking, and not on do-not-disturb.
    bool isAvailable(const QString &id) const;

    // Merges changes and announces the keys that really changed; false for an unknown id.
    bool setPresence(const QString &id, const QJsonObject &changes);
    // An empty presence means back to what the colleague shows when idle.
    bool setPhonePresence(const QString &id, const QString &presence);
    // Rings the colleague's phone. Unanswered after ringMs it falls silent, or is answered as
    // the scenario's chances say; -1 takes the scenario's ring time, 0 rings until taken.
    bool ring(const QString &id, const SimParty &caller, int ringMs = -1);
    // The colleague leaves the team; no event tells, the next list does. False for an unknown id.
    bool removeColleague(const QString &id);
    // Takes the call ringing at the extension away, for a pickup; false when none rings there.
    bool takeRingingCall(const QString &extension, SimParty *caller);

    // A logged-in user who is also a colleague shows the state of their own lines.
    void followAccount(const QString &user, const QString &phonePresence);
    void followAccountDnd(const QString &user, bool dnd);

private:
    struct Colleague
    {
        QJsonObject data;
        QString idle;        // the phone presence between calls
        bool ringing = false;
        SimParty caller;
        int step = 0;        // timers of an older step have been overtaken
    };
    struct Activity
    {
        SimRange interval;
        SimRange ring{8000, 8000};
        double answerChance = 0.6;
        SimRange talk{20000, 90000};
        double chatChance = 0;
        QList<QJsonObject> chatStatuses;
        double holdChance = 0;   // an answered call is put on hold for a while
        SimRange hold{4000, 8000};
        double dndChance = 0;    // a colleague switches do-not-disturb

    };
    struct Config
    {
        QMap<QString, Colleague> colleagues;
        QList<QPair<QString, QStringList>> groups;
        Activity activity;
        quint32 seed = 1;
    };
    static bool parse(const QJsonValue &section, Config *config, QString *error);

    void requestJabberBuddies(const SimHub::Request &request);

    void later(const QString &id, int ms, void (SimPresence::*step)(const QString &));
    void ringEnded(const QString &id);
    void callEnded(const QString &id);
    void holdStarted(const QString &id);
    void holdEnded(const QString &id);
    void scheduleActivity();
    void act();

    SimHub &m_hub;
    const SimAddressBooks &m_books;
    QMap<QString, Colleague> m_colleagues;
    QList<QPair<QString, QStringList>> m_groups;
    Activity m_activity;
    QRandomGenerator m_random;
    int m_generation = 0;   // activity timers of an older scenario are void
};
