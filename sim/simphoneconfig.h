#pragma once

#include "simhub.h"
#include "simrange.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QStringList>

#include <functional>
#include <memory>

class SimPresence;

// Each user's phones, queue memberships, forwarding presets, do-not-disturb and dial prefix.
// Every user starts from the scenario's configuration and changes only their own copy.
class SimPhoneConfig
{
public:
    SimPhoneConfig(SimHub &hub, SimPresence &presence);

    static bool checkSection(const QJsonValue &section, QString *error);
    void reset(const QJsonValue &section);

    using Handler = void (SimPhoneConfig::*)(const SimHub::Request &);
    static const QHash<QString, Handler> &handlers();

    bool dnd(const QString &user) const;
    QString dialPrefix(const QString &user) const;
    QString activeForwardPreset(const QString &user) const;
    QJsonObject phone(const QString &user, const QString &phoneId) const;
    QJsonObject queue(const QString &user, const QString &queueId) const;   // with the user's membership
    QStringList queueIds() const;
    // Without any phone configured the PBX places calls from wherever the user is; with
    // phones, the user must be logged in to one.
    bool canPlaceCalls(const QString &user) const;

    // Changes at the PBX, told to the user's clients by the same events that answer their
    // commands. False for an unknown id, or a static queue membership.
    bool setDnd(const QString &user, bool on);
    bool setActiveForwardPreset(const QString &user, const QString &presetId);
    bool setPhoneAssigned(const QString &user, const QString &phoneId, bool assigned);
    bool setQueueLoggedIn(const QString &user, const QString &queueId, bool loggedIn);

private:
    struct Config
    {
        QString dialPrefix;
        bool dnd = false;
        QString activePreset;
        QList<QJsonObject> presets;
        QList<QJsonObject> phones;
        QList<QJsonObject> queues;
        // How long the PBX takes to log a phone or a queue in or out after it accepted the command.
        SimRange changeDelay;
    };
    static bool parse(const QJsonValue &section, Config *config, QString *error);

    void requestPhoneConfig(const SimHub::Request &request);
    void loginPhone(const SimHub::Request &request);
    void logoutPhone(const SimHub::Request &request);
    void loginQueue(const SimHub::Request &request);
    void logoutQueue(const SimHub::Request &request);
    void setDndCommand(const SimHub::Request &request);
    void setActiveForwardPresetCommand(const SimHub::Request &request);

    const Config &configOf(const QString &user) const;
    Config &configOf(const QString &user);
    void announceConfig(const QString &user);
    void answer(const SimHub::Request &request, bool done, int failure = 404);
    //! Runs the change now, or after the scenario's delay unless a reset came first.
    void later(std::function<void()> change);

    SimHub &m_hub;
    SimPresence &m_presence;
    Config m_scenario;
    QHash<QString, Config> m_users;
    //! Context of the delayed changes: replaced by reset(), which drops them.
    std::unique_ptr<QObject> m_pending = std::make_unique<QObject>();
    QRandomGenerator m_random{7};
};
