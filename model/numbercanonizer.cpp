#include "numbercanonizer.h"

#include "settings.h"

namespace {
const QString homeCountryCode = QStringLiteral("49");
const QString homePrefix = QStringLiteral("0049");
const QString plusHomePrefix = QStringLiteral("+49");
const QString plusHomeTrunk = QStringLiteral("+490");
const QString plusZeroZeroHome = QStringLiteral("+0049");
const QString internationalPrefix = QStringLiteral("00");
const QString plus = QStringLiteral("+");
const QString zero = QStringLiteral("0");

bool startsWith(const QString &text, const QString &prefix)
{
    return text.startsWith(prefix, Qt::CaseSensitive);
}
}

QString NumberCanonizer::convertToE123(QString number)
{
    // Only '+' and digits count; a '+' in the middle stays where it is. Digits of other scripts
    // (full-width, Arabic-Indic) are the same digits: dropping them would dial another number.
    constexpr uint fullWidthPlus = 0xFF0B;
    QString n;
    n.reserve(number.size());
    for (const uint c : number.toUcs4()) {
        if (c == '+' || c == fullWidthPlus)
            n.append(QLatin1Char('+'));
        else if (QChar::category(c) == QChar::Number_DecimalDigit)
            n.append(QLatin1Char(char('0' + QChar::digitValue(c))));
    }
    if (n.isEmpty())
        return n;

    // Only a number written with the home country code can come out of the steps below with
    // that code doubled; a national number whose area code starts with 49 (0491...) must not
    // lose those digits.
    const bool carriesHomeCode =
        startsWith(n, homePrefix) || (startsWith(n, plusHomePrefix) && !startsWith(n, plusHomeTrunk));

    // A leading "00" reads as one extra digit in front: 0089... is 089...
    if (startsWith(n, internationalPrefix))
        n.remove(0, 1);
    if (startsWith(n, plus) && !startsWith(n, plusHomePrefix) && !startsWith(n, plusZeroZeroHome))
        n.replace(0, 1, internationalPrefix);
    if (startsWith(n, plusHomeTrunk))
        n.replace(0, plusHomeTrunk.size(), zero);
    if (startsWith(n, homePrefix))
        n.replace(0, homePrefix.size(), zero);
    if (startsWith(n, plusZeroZeroHome))
        n.replace(0, plusZeroZeroHome.size(), zero);
    if (startsWith(n, plus))
        n.replace(0, 1, homePrefix);
    if (startsWith(n, zero) && !startsWith(n, internationalPrefix))
        n.replace(0, 1, homePrefix);
    if (carriesHomeCode && startsWith(n, homePrefix) && n.midRef(homePrefix.size()).startsWith(homeCountryCode))
        n.remove(homePrefix.size(), homeCountryCode.size());
    return n;
}

QString NumberCanonizer::convertToDialable(QString number)
{
    QString n = convertToE123(std::move(number));
    if (startsWith(n, homePrefix))
        n.replace(0, homePrefix.size(), zero);
    // Read at every call: the server may change the prefix at any time.
    return Settings::instance()->getValueForKey(dialPrefixSetting, QString()).toString() + n;
}
