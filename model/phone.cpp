#include "phone.h"

Phone::Phone()
    : Model<Phone>(QStringLiteral("Phones"))
{
}

QString Phone::phoneModelName()
{
    return valueForKey(PhoneKeys::type).toString();
}

bool Phone::isAssigned()
{
    return valueForKey(PhoneKeys::assigned).toBool();
}

QString Phone::getIpV4Address()
{
    return valueForKey(PhoneKeys::ipv4Address).toString();
}
