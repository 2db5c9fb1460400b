#pragma once

#include "simhub.h"
#include "simparty.h"
#include "simrange.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QRandomGenerator>
#include <QStringList>

class SimAddressBooks;
class SimHistory;
class SimPhoneConfig;
class SimPresence;

// The calls on the users' lines: dialled, ringing in, picked up from a colleague, held,
// transferred, recorded and ended, each change reported as line status to the user's clients.
class SimCalls : public QObject
{
public:
    // Line states as reported: 0 to 2 keep a line open, 3 and up end it.
    enum State {
        Held = 0,         // neither ringing nor talking; the client's clock stops
        Ringing = 1,
        Connected = 2,
        HandedOver = 3,   // transferred, or taken by someone else
        Cancelled = 4,    // ended before it was answered
        Failed = 7,       // busy, unreachable, or the caller gave up
        Completed = 8,
    };
    enum Direction { Outgoing = 0, Incoming = 1 };

    SimCalls(SimHub &hub, SimPresence &presence, const SimAddressBooks &books, const SimPhoneConfig &phoneConfig,
             SimHistory &history, QObject *parent = nullptr);

    static bool checkSection(const QJsonValue &section, QString *error);
    void reset(const QJsonValue &section);

    using Handler = void (SimCalls::*)(const SimHub::Request &);
    static const QHash<QString, Handler> &handlers();

    QStringList callIds(const QString &user = QString()) const;   // open calls; everyone's when empty
    QJsonObject line(const QString &callId) const;   // its line status; empty once it has ended

    // A call from outside rings at the user's phone, or at every logged-in user's (a call
    // each), but not through do-not-disturb. Names not given come from the address books.
    // Returns the new call ids.
    QStringList startIncomingCall(const QString &number, const QString &firstName = QString(),
                                  const QString &lastName = QString(), const QString &company = QString(),
                                  const QString &user = QString());
    QStringList startIncomingCall(const SimParty &caller, const QString &user = QString());
    bool answerCall(const QString &callId);   // the user's phone takes a ringing incoming call
    bool endCall(const QString &callId, int state = Completed);   // the other end hangs up

private:
    struct Call
    {
        QString id;
        QString user;
        SimParty party;
        int direction = Outgoing;
        int state = Ringing;
        QDateTime started;
        QDateTime connected;
        bool recording = false;
        QString colleagueId;   // an internal call: the colleague's lamp follows it
        int step = 0;          // timers of an older step have been overtaken
    };
    struct IncomingCalls
    {
        SimRange interval;
        SimRange ring;
        double answerChance = 0.5;
        SimRange answerAfter{3000, 8000};
        SimRange talk{15000, 60000};
        QList<SimParty> callers;
    };
    struct Config
    {
        int answerDelay = 3000;
        int failDelay = 1500;
        QStringList busyNumbers;        // canonical
        QStringList unansweredNumbers;  // canonical
        IncomingCalls incoming;
        quint32 seed = 1;
    };
    static bool parse(const QJsonValue &section, Config *config, QString *error);

    void requestLineStatus(const SimHub::Request &request);
    void dialNumber(const SimHub::Request &request);
    void hangup(const SimHub::Request &request);
    void hold(const SimHub::Request &request);
    void holdRetrieve(const SimHub::Request &request);
    void transfer(const SimHub::Request &request);
    void record(const SimHub::Request &request);

    Call *callOf(const SimHub::Request &request);   // answers 404 itself when there is none
    void answer(const SimHub::Request &request, int status, const QString &callId = QString());
    Call &open(const QString &user, const SimParty &party, int direction, int state);
    void setState(Call &call, int state);
    void finish(const QString &callId, int state);
    void announce(const Call &call);
    void holdOthers(const QString &user);
    void follow(const QString &user);
    void later(const QString &callId, int ms, void (SimCalls::*step)(const QString &));
    void connectCall(const QString &callId);
    void failCall(const QString &callId);
    void completeCall(const QString &callId);
    QString ringAt(const QString &user, SimParty caller, bool generated);
    void scheduleIncoming();

    static QJsonObject lineData(const Call &call, int state);
    static bool isDialable(const QString &number);

    SimHub &m_hub;
    SimPresence &m_presence;
    const SimAddressBooks &m_books;
    const SimPhoneConfig &m_phoneConfig;
    SimHistory &m_history;
    Config m_config;
    QMap<QString, Call> m_calls;
    QRandomGenerator m_random;
    int m_generation = 0;
    int m_lastCall = 0;
};
