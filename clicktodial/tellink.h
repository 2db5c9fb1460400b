#pragma once

#include <QString>
#include <QStringList>

//! Reads the number out of a telephone link as browsers and mail programs hand it over on a
//! click: "tel:+49-30-1234567", "tel:1234567;phone-context=+49-30", "callto://+4930…",
//! "sip:0301234567@pbx.example;user=phone". The number keeps its visual separators; making it
//! dialable is the number canonizer's work.
class TelLink final
{
public:
    TelLink() = delete;

    //! The link schemes handled, lower case.
    static const QStringList schemes;

    //! Whether the text starts with one of the schemes (in any case) and a colon.
    static bool isLink(const QString &text);
    //! The arguments without links: what a restart of the program is given, so that a number
    //! offered once is not offered again.
    static QStringList withoutLinks(const QStringList &arguments);
    //! The number the link names; empty when it names none (a user name, letters, service codes
    //! with '*' or '#', several '+'), so that nothing is offered to dial.
    static QString numberOf(const QString &link);
};
