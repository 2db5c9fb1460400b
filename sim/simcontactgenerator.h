#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <array>

// Believable contacts made from a seed and an index alone: German and international people,
// companies, numbers in the forms people really type, postal addresses. A book of any size
// costs nothing until a page of it is asked for, and a seed always gives the same book.
class SimContactGenerator
{
public:
    // The contact types the generated contacts use; a scenario without its own list offers these.
    static QStringList contactTypes();

    // The keys an address book server keeps for a contact, in alphabetical order.
    enum Field {
        AdrOneCountryname,
        AdrOneLocality,
        AdrOnePostalcode,
        AdrOneStreet,
        AdrTwoCountryname,
        AdrTwoLocality,
        AdrTwoPostalcode,
        AdrTwoStreet,
        ContactAssistent,
        ContactBday,
        ContactCalendarUri,
        ContactEmail,
        ContactEmailHome,
        ContactFreebusyUri,
        ContactJpegphoto,
        ContactLabel,
        ContactNote,
        ContactOwner,
        ContactPubkey,
        ContactRole,
        ContactRoom,
        ContactTid,
        ContactType,
        ContactUrl,
        ContactUrlHome,
        FacebookProfileUrl,
        GoogleProfileUrl,
        Id,
        LinkedinProfileUrl,
        NFamily,
        NGiven,
        NPrefix,
        OrgName,
        OrgUnit,
        TelAssistent,
        TelCell,
        TelCellIc,
        TelCellPrivate,
        TelCellPrivateIc,
        TelFax,
        TelFaxHome,
        TelFaxHomeIc,
        TelFaxIc,
        TelHome,
        TelHomeIc,
        TelWork,
        TelWorkIc,
        TwitterProfileUrl,
        XingProfileUrl,
        FieldCount
    };
    using Contact = std::array<QString, FieldCount>;
    static QLatin1String key(Field field);

    // Most fields filled, some empty, as real address books are.
    static Contact contact(quint32 seed, int index, const QString &id, const QString &bookId);

    // Building a QJsonObject costs twenty times more than the contact, so pages of generated
    // contacts are written as text.
    // Only the fieldLimit most used fields when that is less than all (a slimmer server schema).
    static QByteArray toJson(const Contact &contact, int fieldLimit = FieldCount);
    static QJsonObject toObject(const Contact &contact);
    static void appendJsonString(QByteArray &out, const QString &text);   // quoted and escaped

    // A number nobody has in an address book, for callers the PBX cannot name.
    static QString unknownNumber(quint32 seed, int index);
};
