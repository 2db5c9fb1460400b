#pragma once

#include "simcontactgenerator.h"
#include "simhub.h"
#include "simparty.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QStringList>

class QRandomGenerator;

// The PBX's address books: books from the scenario with their contacts, listed and generated
// ones, paged out, saved, deleted, and contact pictures kept.
class SimAddressBooks
{
public:
    explicit SimAddressBooks(SimHub &hub);

    static bool checkSection(const QJsonValue &section, QString *error);
    void reset(const QJsonValue &section);   // section as checked

    using Handler = void (SimAddressBooks::*)(const SimHub::Request &);
    static const QHash<QString, Handler> &handlers();

    QStringList bookIds() const;
    int contactCount(const QString &bookId) const;   // -1 for a book that does not exist
    QStringList contactIds(const QString &bookId) const;   // in page order
    QJsonObject contact(const QString &id) const;   // empty when there is none
    QByteArray picture(const QString &id) const;
    QStringList contactTypes() const;

    // Changes made at the PBX, announced to every logged-in client.
    QString addContact(const QString &bookId, const QJsonObject &fields);   // the new id, empty if refused
    bool changeContact(const QString &id, const QJsonObject &fields);       // merged into the contact
    bool deleteContact(const QString &id);
    void setContactTypes(const QStringList &types);

    // Who has this number, for naming callers; the first lookup indexes every book.
    SimParty findByNumber(const QString &number) const;
    // A contact with a phone number, as a caller; empty without contacts.
    SimParty randomParty(QRandomGenerator &random) const;
    // "+49 (0)711 12-34", "0711 1234" and "0049 711 1234" are one number.
    static QString canonicalNumber(const QString &number);

    static constexpr int DefaultPageSize = 10000;
    static constexpr int MaxPageSize = 50000;

private:
    struct Book
    {
        QString id;
        QJsonObject info;   // what the book list tells: title, type, perm
        int generated = 0;
        quint32 seed = 1;
        int fields = SimContactGenerator::FieldCount;   // generated contacts carry the most used ones
        int idWidth = 1;
        QStringList order;                     // every contact id, in page order
        QHash<QString, QJsonObject> stored;    // listed, saved and edited contacts
        QSet<QString> deleted;                 // generated ids deleted since
    };
    struct Config
    {
        QList<Book> books;
        QStringList contactTypes;
    };
    static bool parse(const QJsonValue &section, Config *config, QString *error);

    void getAddressbooks(const SimHub::Request &request);
    void getAddresses(const SimHub::Request &request);
    void saveAddress(const SimHub::Request &request);
    void deleteAddress(const SimHub::Request &request);
    void setAddressPicture(const SimHub::Request &request);
    void getAddressPicture(const SimHub::Request &request);
    void getContactTypes(const SimHub::Request &request);

    static int generatedIndex(const Book &book, const QString &id);
    static QString generatedId(const Book &book, int index);
    static bool writeable(const Book &book);
    static bool allowsAdding(const Book &book);
    Book *bookOf(const QString &id);
    const Book *bookOf(const QString &id) const;
    Book *bookById(const QString &bookId);
    QJsonObject contactIn(const Book &book, const QString &id) const;
    SimContactGenerator::Contact generated(const Book &book, int index) const;
    QString store(Book &book, QString id, QJsonObject fields);
    QString newContactId(const Book &book) const;
    void remove(Book &book, const QString &id);

    SimHub &m_hub;
    QList<Book> m_books;
    QStringList m_contactTypes;
    QHash<QString, QByteArray> m_pictures;
    mutable QHash<QString, QString> m_numberIndex;   // canonical number -> contact id
    mutable bool m_indexed = false;
};
