#pragma once

#include "model.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <QVariant>

//! Keys of a contact the client reads, shows or writes. The server may send any others; they stay.
namespace AddressKeys {
inline const QString firstName = QStringLiteral("n_given");
inline const QString lastName = QStringLiteral("n_family");
inline const QString companyName = QStringLiteral("org_name");
inline const QString companyUnit = QStringLiteral("org_unit");
inline const QString contactType = QStringLiteral("contact_type");
inline const QString addressBookId = QStringLiteral("contact_tid");
inline const QString contactOwner = QStringLiteral("contact_owner");
inline const QString telWork = QStringLiteral("tel_work");
inline const QString telCell = QStringLiteral("tel_cell");
inline const QString telFax = QStringLiteral("tel_fax");
inline const QString telHome = QStringLiteral("tel_home");
inline const QString telCellPrivate = QStringLiteral("tel_cell_private");
inline const QString telFaxHome = QStringLiteral("tel_fax_home");
inline const QString telAssistent = QStringLiteral("tel_assistent");
// International E.123 forms kept by the server; only the number lookup reads them.
inline const QString telWorkE123 = QStringLiteral("tel_work_ic");
inline const QString telCellE123 = QStringLiteral("tel_cell_ic");
inline const QString telCellPrivateE123 = QStringLiteral("tel_cell_private_ic");
inline const QString telFaxE123 = QStringLiteral("tel_fax_ic");
inline const QString telHomeE123 = QStringLiteral("tel_home_ic");
inline const QString telFaxHomeE123 = QStringLiteral("tel_fax_home_ic");
inline const QString email = QStringLiteral("contact_email");
inline const QString emailHome = QStringLiteral("contact_email_home");
inline const QString url = QStringLiteral("contact_url");
inline const QString urlHome = QStringLiteral("contact_url_home");
inline const QString birthday = QStringLiteral("contact_bday");
inline const QString companyStreet = QStringLiteral("adr_one_street");
inline const QString companyPostalCode = QStringLiteral("adr_one_postalcode");
inline const QString companyLocality = QStringLiteral("adr_one_locality");
inline const QString companyCountry = QStringLiteral("adr_one_countryname");
inline const QString privateStreet = QStringLiteral("adr_two_street");
inline const QString privatePostalCode = QStringLiteral("adr_two_postalcode");
inline const QString privateLocality = QStringLiteral("adr_two_locality");
inline const QString privateCountry = QStringLiteral("adr_two_countryname");
inline const QString role = QStringLiteral("contact_role");
inline const QString room = QStringLiteral("contact_room");
inline const QString assistent = QStringLiteral("contact_assistent");
inline const QString label = QStringLiteral("contact_label");
inline const QString publicKey = QStringLiteral("contact_pubkey");
inline const QString freeBusyUri = QStringLiteral("contact_freebusy_uri");
inline const QString calendarUri = QStringLiteral("contact_calendar_uri");
inline const QString note = QStringLiteral("contact_note");
inline const QString facebookProfile = QStringLiteral("facebook_profile_url");
inline const QString twitterProfile = QStringLiteral("twitter_profile_url");
inline const QString googleProfile = QStringLiteral("google_profile_url");
inline const QString xingProfile = QStringLiteral("xing_profile_url");
inline const QString linkedinProfile = QStringLiteral("linkedin_profile_url");
//! Not empty: the server holds a picture of the contact.
inline const QString pictureMarker = QStringLiteral("contact_jpegphoto");
inline const QString customContactType = QStringLiteral("customContactType");
}

//! Keys of the directory-style map made by Addresses::toLDAPInfoMap().
namespace LDAPKeys {
inline const QString locality = QStringLiteral("l");
inline const QString commonName = QStringLiteral("cn");
inline const QString givenName = QStringLiteral("givenName");
inline const QString surname = QStringLiteral("sn");
inline const QString mail = QStringLiteral("mail");
inline const QString organisation = QStringLiteral("o");
inline const QString telephoneNumber = QStringLiteral("telephoneNumber");
inline const QString mobile = QStringLiteral("mobile");
inline const QString privateNumber = QStringLiteral("privatNumber");
}

//! One contact of an address book, kept as the key/value map the server sent. Made by the
//! connector and handed over with its signal: the receiver owns it.
//! The getters read through valueForKey(), so a key read while absent joins the map empty.
class Addresses final : public Model<Addresses>
{
    Q_OBJECT

public:
    Addresses();

    QString getFirstname();
    QString getLastname();
    QString getCompanyName();
    QString getContactType();
    QString getAddressBookId();
    void setAddressBookId(const QString &bookId);
    void setContactOwner(const QString &ownerId);

    //! Reads the leading yyyy-MM-dd and ignores a time behind it; invalid when missing or unreadable.
    QDate getBirthday();

    //! "Last, First", or whichever of the two is present.
    QString getFormattedPersonName();
    //! The person name and the company joined by " - ", or whichever of the two is present.
    QString getFormattedName();

    QMap<QString, QVariant> toLDAPInfoMap();
};
