#pragma once

#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

// What the simulated PBX knows: its accounts now, calls, colleagues, phones and the like
// as the simulator learns them. Sections it does not model yet are kept verbatim.
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

    // Sections this class does not model, as found in the file.
    QStringList otherSectionNames() const;
    QJsonValue otherSection(const QString &name) const;

private:
    using SectionParser = bool (Scenario::*)(const QJsonValue &, QString *error);
    static const QHash<QString, SectionParser> &sectionParsers();

    bool parseAccounts(const QJsonValue &value, QString *error);

    QList<Account> m_accounts;
    QJsonObject m_otherSections;
};
