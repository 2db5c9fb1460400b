#include "addresses.h"

Addresses::Addresses()
    : Model<Addresses>(QStringLiteral("Addresses"))
{
}

QString Addresses::getFirstname()
{
    return valueForKey(AddressKeys::firstName).toString();
}

QString Addresses::getLastname()
{
    return valueForKey(AddressKeys::lastName).toString();
}

QString Addresses::getCompanyName()
{
    return valueForKey(AddressKeys::companyName).toString();
}

QString Addresses::getContactType()
{
    return valueForKey(AddressKeys::contactType).toString();
}

QString Addresses::getAddressBookId()
{
    return valueForKey(AddressKeys::addressBookId).toString();
}

void Addresses::setAddressBookId(const QString &bookId)
{
    setValueForKey(AddressKeys::addressBookId, bookId);
}

void Addresses::setContactOwner(const QString &ownerId)
{
    setValueForKey(AddressKeys::contactOwner, ownerId);
}

QDate Addresses::getBirthday()
{
    // The client writes "yyyy-MM-dd 00:00"; the server may send the date alone.
    return QDate::fromString(valueForKey(AddressKeys::birthday).toString().left(10), Qt::ISODate);
}

QString Addresses::getFormattedPersonName()
{
    const QString first = getFirstname();
    const QString last = getLastname();
    if (first.isEmpty())
        return last;
    if (last.isEmpty())
        return first;
    return last + QStringLiteral(", ") + first;
}

QString Addresses::getFormattedName()
{
    const QString person = getFormattedPersonName();
    const QString company = getCompanyName();
    if (company.isEmpty())
        return person;
    if (person.isEmpty())
        return company;
    return person + QStringLiteral(" - ") + company;
}

QMap<QString, QVariant> Addresses::toLDAPInfoMap()
{
    QMap<QString, QVariant> info;
    info.insert(LDAPKeys::locality, valueForKey(AddressKeys::companyLocality));
    info.insert(LDAPKeys::commonName, getFormattedName());
    info.insert(LDAPKeys::givenName, getFirstname());
    info.insert(LDAPKeys::surname, getLastname());
    info.insert(LDAPKeys::mail, valueForKey(AddressKeys::email));
    info.insert(LDAPKeys::organisation, getCompanyName());
    info.insert(LDAPKeys::telephoneNumber, valueForKey(AddressKeys::telWork));
    info.insert(LDAPKeys::mobile, valueForKey(AddressKeys::telCell));
    info.insert(LDAPKeys::privateNumber, valueForKey(AddressKeys::telHome));
    return info;
}
