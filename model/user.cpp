#include "user.h"

User::User()
    : Model<User>(QStringLiteral("User"))
{
}

QStringList User::getFieldNames()
{
    return {UserKeys::name, UserKeys::firstname, UserKeys::lastname};
}

QString User::getExtension()
{
    return valueForKey(UserKeys::extension).toString();
}

void User::setExtension(QString extension)
{
    setValueForKey(UserKeys::extension, extension);
}

QString User::getFirstname()
{
    return valueForKey(UserKeys::firstname).toString();
}

void User::setFirstname(QString firstname)
{
    setValueForKey(UserKeys::firstname, firstname);
}

QString User::getLastname()
{
    return valueForKey(UserKeys::lastname).toString();
}

void User::setLastname(QString lastname)
{
    setValueForKey(UserKeys::lastname, lastname);
}

QString User::getName()
{
    return valueForKey(UserKeys::name).toString();
}

void User::setName(QString name)
{
    setValueForKey(UserKeys::name, name);
}

QString User::getEMailAddress()
{
    return valueForKey(UserKeys::email).toString();
}

void User::setEMailAddress(QString email)
{
    setValueForKey(UserKeys::email, email);
}

QString User::getPhonePresence()
{
    return valueForKey(UserKeys::phonePresence).toString();
}

void User::setPhonePresence(QString presence)
{
    setValueForKey(UserKeys::phonePresence, presence);
}

bool User::getDND()
{
    return valueForKey(UserKeys::dnd).toBool();
}

int User::getJabberPresence()
{
    // The server may send the number itself or its text; both read the same as text.
    const QString text = valueForKey(UserKeys::jabberPresence).toString();
    if (text.isEmpty())
        return -1;
    return text.toInt(nullptr, 10);
}

QString User::getJabberPresenceUserMsg()
{
    return valueForKey(UserKeys::jabberPresenceText).toString();
}

void User::setJabberPresence(JabberPresenceType type, const QString &message)
{
    setValueForKey(UserKeys::jabberPresence, QString::number(int(type)));
    setValueForKey(UserKeys::jabberPresenceText, message);
}

QString User::getPIN()
{
    return valueForKey(UserKeys::pin).toString();
}

void User::setPIN(QString pin)
{
    setValueForKey(UserKeys::pin, pin);
}

QString User::getPassword()
{
    return valueForKey(UserKeys::password).toString();
}

QString User::getJabberPassword()
{
    return valueForKey(UserKeys::jabberPasswordDigest).toString();
}

QString User::getFullname()
{
    return getFirstname() + QLatin1Char(' ') + getLastname();
}
