#pragma once

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

// What the simulated PBX starts from: accounts, and one section per domain, each checked by
// the class that runs it. Sections it does not know are kept verbatim. Every section and key
// is optional; durations are milliseconds, as a number or a [least, most] range.
//
//   "accounts":     [{"user", "password"}]
//   "calls":        {"answerDelayMs", "failDelayMs", "busyNumbers", "unansweredNumbers", "seed",
//                    "incoming": {"intervalMs", "ringMs", "answerChance", "answerAfterMs", "talkMs",
//                                 "callers": [{"remote_number", "firstname", ...}]}}
//   "colleagues":   {"users": [{"id", "extension", "name" (an account's: follows its lines), ...}],
//                    "groups": {"name": [user ids]}, "seed",
//                    "activity": {"intervalMs", "ringMs", "answerChance", "talkMs", "holdChance", "holdMs",
//                                 "dndChance", "chatChance",
//                                 "chatStatuses": [{"jabber_presence", "jabber_presence_text"}]}}
//   "phoneConfig":  {"dialPrefix", "dnd", "activeForwardPreset", "forwardPresets": [{"id", "name", "configs"}],
//                    "phones": [{"id", "type", "assigned", "ipv4_address"}],
//                    "queues": [{"id", "extension", "name", "loggedIn", "static_member"}],
//                    "changeDelayMs" (phone and queue log-ins and log-outs)}
//   "addressBooks": {"contactTypes": [...], "books": [{"id", "title", "type", "perm", "generate", "seed",
//                                                      "contacts": [{"id", "n_given", ...}]}]}
//   "history":      {"generate", "days", "seed", "items": [{...}]}
//   "queueCalls":   {"calls": [{"queue_id", "remote_number", ..., "state", "agent"}], "seed",
//                    "activity": {"intervalMs", "waitMs", "talkMs", "abandonChance", "queues"}}
class Scenario
{
public:
    struct Account
    {
        QString user;
        QString password;
    };

    // On failure *this is left as it was and *error says what is wrong and where.
    bool loadJson(const QByteArray &json, QString *error = nullptr);
    bool loadFile(const QString &path, QString *error = nullptr);
    QJsonObject toJson() const;

    QList<Account> accounts() const;
    // Replaces the password when the user exists already.
    void addAccount(const QString &user, const QString &password);
    bool acceptsLogin(const QString &user, const QString &password) const;

    // The domain sections this simulator runs, "accounts" aside.
    static QStringList sectionNames();
    QJsonValue section(const QString &name) const;   // undefined when the scenario has none
    // Checked like a section of a file; on failure nothing changes.
    bool setSection(const QString &name, const QJsonValue &value, QString *error = nullptr);
    // A writeable book of count synthetic contacts, made page by page as clients ask, the
    // same for the same seed. Replaces a book with the same id.
    //! fields: how many of the most used contact fields each contact carries (0: all).
    void addGeneratedAddressBook(const QString &id, const QString &title, int count, quint32 seed = 1,
                                 int fields = 0);

    // Sections this class does not know, as found in the file.
    QStringList otherSectionNames() const;
    QJsonValue otherSection(const QString &name) const;

private:
    using SectionCheck = bool (*)(const QJsonValue &, QString *error);
    static const QHash<QString, SectionCheck> &sectionChecks();

    bool parseAccounts(const QJsonValue &value, QString *error);

    QList<Account> m_accounts;
    QJsonObject m_sections;
    QJsonObject m_otherSections;
};
