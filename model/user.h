#pragma once

#include "model.h"

namespace UserKeys {
inline const QString id = QStringLiteral("id");
inline const QString extension = QStringLiteral("extension");
inline const QString firstname = QStringLiteral("firstname");
inline const QString lastname = QStringLiteral("lastname");
inline const QString name = QStringLiteral("name");
inline const QString email = QStringLiteral("email");
inline const QString phonePresence = QStringLiteral("phone_presence");
inline const QString dnd = QStringLiteral("dnd");
inline const QString jabberPresence = QStringLiteral("jabber_presence");
inline const QString jabberPresenceText = QStringLiteral("jabber_presence_text");
inline const QString pin = QStringLiteral("pin");
inline const QString password = QStringLiteral("password");
inline const QString jabberPasswordDigest = QStringLiteral("jabber_pw_digest");
}

//! A colleague as the server reports it: extension, names, phone presence and chat presence.
//! Every key the server sends is kept; the accessors read the well-known ones.
class User final : public Model<User>
{
    Q_OBJECT

public:
    //! Chat presence as the server numbers it; stored as the decimal text of the value.
    //! The client only keeps the number, it never interprets it.
    enum JabberPresenceType {
        Offline = 0,
        Online = 1,
        Away = 2,
        ExtendedAway = 3,
        DoNotDisturb = 4,
        FreeForChat = 5,
    };
    Q_ENUM(JabberPresenceType)

    User();

    QString modelName() const { return name(); }
    QStringList getFieldNames() override;

    QString getExtension();
    void setExtension(QString extension);
    QString getFirstname();
    void setFirstname(QString firstname);
    QString getLastname();
    void setLastname(QString lastname);
    QString getName();
    void setName(QString name);
    QString getEMailAddress();
    void setEMailAddress(QString email);
    QString getPhonePresence();
    void setPhonePresence(QString presence);
    bool getDND();
    //! -1 when the server gave no presence; text that is not a number reads as 0.
    int getJabberPresence();
    QString getJabberPresenceUserMsg();
    //! Stores the presence, then the message (two separate changes).
    void setJabberPresence(JabberPresenceType type, const QString &message);
    QString getPIN();
    void setPIN(QString pin);
    QString getPassword();
    QString getJabberPassword();
    //! First and last name joined by one blank, also when either is empty.
    QString getFullname();
};
