#include "tellink.h"

#include <QUrl>

#include <algorithm>
#include <iterator>

namespace {
// Only digits, a leading '+' and the separators people write numbers with. Anything else
// would be dropped by the canonizer, which would dial a different number.
bool isPhoneNumber(const QString &text)
{
    bool digit = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = true;
        else if (c == QLatin1Char('+') && i == 0)
            continue;
        else if (!QStringLiteral("-.() ").contains(c))
            return false;
    }
    return digit;
}

QString decoded(const QString &text)
{
    return QUrl::fromPercentEncoding(text.toUtf8()).trimmed();
}
} // namespace

const QStringList TelLink::schemes{QStringLiteral("tel"), QStringLiteral("callto"), QStringLiteral("sip")};

bool TelLink::isLink(const QString &text)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    return colon > 0 && schemes.contains(text.left(colon).trimmed().toLower());
}

QStringList TelLink::withoutLinks(const QStringList &arguments)
{
    QStringList rest;
    std::copy_if(arguments.cbegin(), arguments.cend(), std::back_inserter(rest),
                 [](const QString &argument) { return !isLink(argument); });
    return rest;
}

QString TelLink::numberOf(const QString &link)
{
    if (!isLink(link))
        return QString();
    const int colon = link.indexOf(QLatin1Char(':'));
    const QString scheme = link.left(colon).trimmed().toLower();
    QString rest = link.mid(colon + 1).trimmed();
    if (rest.startsWith(QLatin1String("//")))
        rest.remove(0, 2);
    // Headers and fragments never belong to the number.
    rest = rest.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('#'), 0, 0);
    if (scheme == QLatin1String("sip")) {
        // The number is the user part: before the host, without a password.
        if (!rest.contains(QLatin1Char('@')))
            return QString();
        rest = rest.section(QLatin1Char('@'), 0, 0).section(QLatin1Char(':'), 0, 0);
    }
    // Split before decoding: an encoded ';' is part of the text, not a parameter.
    const QStringList parts = rest.split(QLatin1Char(';'));
    QString number = decoded(parts.first());
    if (!isPhoneNumber(number))
        return QString();
    if (number.startsWith(QLatin1Char('+')))
        return number;
    // A local number names where it is local: a global prefix there completes it; a domain
    // name says nothing about digits to dial.
    for (const QString &parameter : parts.mid(1)) {
        const QString name = parameter.section(QLatin1Char('='), 0, 0).trimmed().toLower();
        const QString value = decoded(parameter.section(QLatin1Char('='), 1));
        if (name == QLatin1String("phone-context") && value.startsWith(QLatin1Char('+')) && isPhoneNumber(value))
            return value + number;
    }
    return number;
}
