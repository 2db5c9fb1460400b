#pragma once

#include <QString>

//! Canonical form of a phone number for comparing numbers from different sources
//! ("00" + country code + number, no separators, Germany as the home country), and the
//! digits to dial with the configured dial prefix.
class NumberCanonizer final
{
public:
    NumberCanonizer() = delete;

    //! Settings key of the prefix put in front of every dialable number.
    inline static const QString dialPrefixSetting = QStringLiteral("dialPrefix");

    //! Empty when the number holds no digit and no "+".
    static QString convertToE123(QString number);
    //! National form for home numbers, "00" + country code for others, the dial prefix in front.
    static QString convertToDialable(QString number);
};
