#include "scenario.h"

#include "simaddressbooks.h"
#include "simcalls.h"
#include "simhistory.h"
#include "simphoneconfig.h"
#include "simpresence.h"
#include "simqueuecalls.h"

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

const QString AccountsSection = QStringLiteral("accounts");

} // namespace

// Adding a section: its check plus one line here.
const QHash<QString, Scenario::SectionCheck> &Scenario::sectionChecks()
{
    static const QHash<QString, SectionCheck> checks = {
        {QStringLiteral("calls"), &SimCalls::checkSection},
        {QStringLiteral("colleagues"), &SimPresence::checkSection},
        {QStringLiteral("phoneConfig"), &SimPhoneConfig::checkSection},
        {QStringLiteral("addressBooks"), &SimAddressBooks::checkSection},
        {QStringLiteral("history"), &SimHistory::checkSection},
        {QStringLiteral("queueCalls"), &SimQueueCalls::checkSection},
    };
    return checks;
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
        if (!parsed.setSection(it.key(), it.value(), error))
            return false;
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
    for (auto it = m_sections.begin(); it != m_sections.end(); ++it)
        root.insert(it.key(), it.value());
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

QStringList Scenario::sectionNames()
{
    QStringList names = sectionChecks().keys();
    names.sort();
    return names;
}

QJsonValue Scenario::section(const QString &name) const
{
    return m_sections.value(name);
}

bool Scenario::setSection(const QString &name, const QJsonValue &value, QString *error)
{
    QString sectionError;
    if (name == AccountsSection) {
        Scenario parsed;
        if (!parsed.parseAccounts(value, &sectionError))
            return fail(error, name % sectionError);
        m_accounts = parsed.m_accounts;
        return true;
    }
    const SectionCheck check = sectionChecks().value(name);
    if (!check) {
        m_otherSections.insert(name, value);
        return true;
    }
    if (!check(value, &sectionError))
        return fail(error, name % sectionError);
    m_sections.insert(name, value);
    return true;
}

void Scenario::addGeneratedAddressBook(const QString &id, const QString &title, int count, quint32 seed, int fields)
{
    const QString name = QStringLiteral("addressBooks");
    QJsonObject books = m_sections.value(name).toObject();
    QJsonArray list = books.value(QStringLiteral("books")).toArray();
    for (int i = list.size() - 1; i >= 0; --i) {
        if (list.at(i).toObject().value(QStringLiteral("id")).toString() == id)
            list.removeAt(i);
    }
    QJsonObject book{{QStringLiteral("id"), id},
                     {QStringLiteral("title"), title},
                     {QStringLiteral("type"), 0},
                     {QStringLiteral("perm"), QStringLiteral("w")},
                     {QStringLiteral("generate"), qBound(0, count, 10000000)},
                     {QStringLiteral("seed"), qint64(seed)}};
    if (fields > 0)
        book.insert(QStringLiteral("fields"), fields);
    list.append(book);
    books.insert(QStringLiteral("books"), list);
    m_sections.insert(name, books);
}

QStringList Scenario::otherSectionNames() const
{
    return m_otherSections.keys();
}

QJsonValue Scenario::otherSection(const QString &name) const
{
    return m_otherSections.value(name);
}
