#pragma once

#include "model.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

class Addresses;

namespace AddressbookKeys {
inline const QString title = QStringLiteral("title");
inline const QString type = QStringLiteral("type");
inline const QString permission = QStringLiteral("perm");
}

//! One address book the server offers. Made by the connector and handed over with its signal:
//! the receiver owns it. Its id is the key under which the server listed it.
class Addressbook final : public Model<Addressbook>
{
    Q_OBJECT

public:
    //! Entries belong to one owner: lookups also filter on the owner.
    static constexpr int ownedBookType = 1;
    //! The window offers no adding or deleting of entries (editing stays possible).
    static constexpr int fixedEntriesBookType = 3;

    Addressbook();

    QString getTitle();
    //! 0 when missing.
    int getType();
    //! Exactly "w" as permission; any other text (also "W") is read-only.
    bool isWriteable();
    void setOwnerId(const QString &ownerId);

    //! Contacts of this book matching the filter. The client keeps no local contact store,
    //! so the list is empty.
    QList<Addresses *> getAddresses(int limit, int offset, QMap<QString, QVariant> filter);
    //! The contact of this book with the number in one of its E.123 fields, or null.
    Addresses *searchAddressByNumber(QString number);

private:
    //! The filter narrowed to this book (and to its owner for an owned book).
    QMap<QString, QVariant> bookFilter(QMap<QString, QVariant> filter);
    static QList<Addresses *> queryAddresses(const QString &domain, const QMap<QString, QVariant> &filter, int limit,
                                             int offset);

    QString m_ownerId;
};
