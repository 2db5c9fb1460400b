#pragma once

#include <QJsonObject>
#include <QString>

// The other end of a call as the PBX knows it: the number, and the names and contact id when
// an address book or the colleague list has them.
struct SimParty
{
    SimParty() = default;
    SimParty(const QString &number, const QString &firstName = QString(), const QString &lastName = QString(),
             const QString &company = QString(), const QString &addressBookId = QString())
        : number(number)
        , firstName(firstName)
        , lastName(lastName)
        , company(company)
        , addressBookId(addressBookId)
    {
    }

    QString number;
    QString firstName;
    QString lastName;
    QString company;
    QString addressBookId;

    bool hasName() const { return !firstName.isEmpty() || !lastName.isEmpty() || !company.isEmpty(); }

    // The keys lines, conversation items and queue calls share.
    void writeTo(QJsonObject &object) const
    {
        object.insert(QStringLiteral("remote_number"), number);
        object.insert(QStringLiteral("firstname"), firstName);
        object.insert(QStringLiteral("lastname"), lastName);
        object.insert(QStringLiteral("company"), company);
        object.insert(QStringLiteral("caller_addressbook_id"), addressBookId);
    }

    static SimParty fromJson(const QJsonObject &object)
    {
        return {object.value(QStringLiteral("remote_number")).toString(),
                object.value(QStringLiteral("firstname")).toString(),
                object.value(QStringLiteral("lastname")).toString(),
                object.value(QStringLiteral("company")).toString(),
                object.value(QStringLiteral("caller_addressbook_id")).toString()};
    }
};
