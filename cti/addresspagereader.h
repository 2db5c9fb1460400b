#pragma once

#include "keylist.h"

#include <QJsonObject>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <QVector>

//! Reads a "getAddresses" answer straight from its text, without building a JSON document first:
//! its paging members and its contacts, ordered by id, each with its keys and values exactly as
//! the JSON document would give them (CTIMessage::variantFromJson()). Only answers of the usual
//! shape are read: anything else (malformed text, another message, duplicate names, ids or keys
//! beyond ASCII, a contact that is no object, deep nesting, characters that would not survive the
//! round trip through UTF-8) is declined, for the general path to handle as before.
//!
//! Contacts with the keys of the contact before share its key list, and a string equal to the one
//! the contact before has under the same key shares it, as the general path does.
class AddressPageReader
{
public:
    //! Gives the one shared copy of a key.
    using Intern = QString (*)(const QString &key);

    struct Contact
    {
        QString id;
        KeyList keys;
        QVector<QVariant> values;
    };

    explicit AddressPageReader(Intern intern);

    //! False, with nothing kept, for text it declines.
    bool read(const QString &text);

    //! The answer's bookid, limit and offset, those it has.
    const QJsonObject &paging() const { return m_paging; }
    QVector<Contact> &contacts() { return m_contacts; }

private:
    struct Member
    {
        QStringView key;
        QVariant value;
    };
    struct TextForm
    {
        bool escaped = false;
        bool ascii = true;
        //! Characters that the trip through UTF-8, which the general path takes, would change.
        bool unusual = false;
    };

    void skipSpace();
    bool take(ushort c);
    //! The string at the cursor, its quotes left out, and what it holds.
    bool rawString(QStringView &raw, TextForm &form);
    //! Which member names are read: any, only those without escapes, only those in plain ASCII.
    enum class Name { Any, Plain, Ascii };
    //! A member's name and its colon, with the space around them.
    bool memberName(QStringView &name, Name rule);
    //! A string's characters with its escapes resolved, as the JSON parser resolves them.
    static QString decoded(QStringView raw);
    //! Any JSON value at the cursor, checked only as far as finding its end.
    bool skipValue(int depth);
    //! The value at the cursor as the JSON document would give it.
    bool value(QVariant &into, const QVariant &before);
    //! A value the JSON parser reads for us: numbers, nested objects and arrays.
    bool parsedValue(QStringView text, QJsonValue &into);
    bool readContacts();
    bool readContact(QStringView id);
    bool readData();
    void clear();

    Intern m_intern;
    const ushort *m_at = nullptr;
    const ushort *m_end = nullptr;
    QJsonObject m_paging;
    QVector<Contact> m_contacts;
    QVector<Member> m_members;
};
