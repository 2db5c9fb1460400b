#include "scenario.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace {

bool fail(QString *error, const QString &message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

// Adding a section: one parser plus one line here.
const QHash<QString, Scenario::SectionParser> &Scenario::sectionParsers()
{
    static const QHash<QString, SectionParser> parsers = {
        {QStringLiteral("accounts"), &Scenario::parseAccounts},
    };
    return parsers;
}

bool Scenario::loadJson(const QByteArray &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(error, QStringLiteral("not JSON: %1 at offset %2")
                               .arg(parseError.errorString())
                               .arg(parseError.offset));
    if (!doc.isObject())
        return fail(error, QStringLiteral("top level must be a JSON object"));

    // Parse into a copy so a bad file leaves the running scenario alone.
    Scenario parsed;
    const QJsonObject root = doc.object();
    for (auto it = root.begin(); it != root.end(); ++it) {
        const SectionParser parser = sectionParsers().value(it.key());
        if (!parser) {
            parsed.m_otherSections.insert(it.key(), it.value());
            continue;
        }
        QString sectionError;
        if (!(parsed.*parser)(it.value(), &sectionError))
            return fail(error, it.key() % sectionError);
    }
    *this = parsed;
    return true;
}

bool Scenario::loadFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, path % QStringLiteral(": ") % file.errorString());
    QString parseError;
    if (!loadJson(file.readAll(), &parseError))
        return fail(error, path % QStringLiteral(": ") % parseError);
    return true;
}

QJsonObject Scenario::toJson() const
{
    QJsonObject root = m_otherSections;
    QJsonArray accounts;
    for (const Account &account : m_accounts)
        accounts.append(QJsonObject{{QStringLiteral("user"), account.user},
                                    {QStringLiteral("password"), account.password}});
    root.insert(QStringLiteral("accounts"), accounts);
    return root;
}

// Errors start with the part after the section name, e.g. "[2]: ...".
bool Scenario::parseAccounts(const QJsonValue &value, QString *error)
{
    if (!value.isArray())
        return fail(error, QStringLiteral(": must be an array"));
    const QJsonArray array = value.toArray();
    QSet<QString> seen;
    for (int i = 0; i < array.size(); ++i) {
        const QString where = QStringLiteral("[%1]: ").arg(i);
        if (!array.at(i).isObject())
            return fail(error, where % QStringLiteral("must be an object"));
        const QJsonObject entry = array.at(i).toObject();
        const QJsonValue user = entry.value(QStringLiteral("user"));
        const QJsonValue password = entry.value(QStringLiteral("password"));
        if (!user.isString() || user.toString().isEmpty())
            return fail(error, where % QStringLiteral("\"user\" must be a non-empty string"));
        if (!password.isString())
            return fail(error, where % QStringLiteral("\"password\" must be a string"));
        if (seen.contains(user.toString()))
            return fail(error, where % QStringLiteral("duplicate user \"") % user.toString() % QLatin1Char('"'));
        seen.insert(user.toString());
        m_accounts.append({user.toString(), password.toString()});
    }
    return true;
}

QList<Scenario::Account> Scenario::accounts() const
{
    return m_accounts;
}

void Scenario::addAccount(const QString &user, const QString &password)
{
    for (Account &account : m_accounts) {
        if (account.user == user) {
            account.password = password;
            return;
        }
    }
    m_accounts.append({user, password});
}

bool Scenario::acceptsLogin(const QString &user, const QString &password) const
{
    for (const Account &account : m_accounts) {
        if (account.user == user)
            return account.password == password;
    }
    return false;
}

QStringList Scenario::otherSectionNames() const
{
    return m_otherSections.keys();
}

QJsonValue Scenario::otherSection(const QString &name) const
{
    return m_otherSections.value(name);
}
