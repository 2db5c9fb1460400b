#include "simaddressbooks.h"

#include "simjsonreader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <algorithm>

namespace {

const QString Id = QStringLiteral("id");
const QString Address = QStringLiteral("address");
const QString ContactTid = QStringLiteral("contact_tid");
const QString JpegPhoto = QStringLiteral("contact_jpegphoto");
const QString Status = QStringLiteral("status");

// The numbers a caller can be recognised by, typed forms and international ones alike.
const SimContactGenerator::Field NumberFields[] = {
    SimContactGenerator::TelWork,         SimContactGenerator::TelCell,
    SimContactGenerator::TelHome,         SimContactGenerator::TelCellPrivate,
    SimContactGenerator::TelFax,          SimContactGenerator::TelFaxHome,
    SimContactGenerator::TelAssistent,
};

bool isImage(const QByteArray &bytes)
{
    return bytes.startsWith("\x89PNG\r\n\x1a\n") || bytes.startsWith("\xff\xd8\xff") || bytes.startsWith("GIF8");
}

// Contacts carry text only; numbers and booleans a client sends become their text.
QJsonObject textFields(const QJsonObject &object)
{
    QJsonObject fields;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() == Id || it.key().startsWith(QLatin1String("image_")))
            continue;   // the id is the server's; pictures travel on their own
        if (it->isString())
            fields.insert(it.key(), *it);
        else if (it->isDouble() || it->isBool())
            fields.insert(it.key(), it->toVariant().toString());
    }
    return fields;
}

} // namespace

SimAddressBooks::SimAddressBooks(SimHub &hub)
    : m_hub(hub)
{
}

// Adding a command: one handler plus one line here.
const QHash<QString, SimAddressBooks::Handler> &SimAddressBooks::handlers()
{
    static const QHash<QString, Handler> table = {
        {QStringLiteral("getAddressbooks"), &SimAddressBooks::getAddressbooks},
        {QStringLiteral("getAddresses"), &SimAddressBooks::getAddresses},
        {QStringLiteral("saveAddress"), &SimAddressBooks::saveAddress},
        {QStringLiteral("deleteAddress"), &SimAddressBooks::deleteAddress},
        {QStringLiteral("setAddressPicture"), &SimAddressBooks::setAddressPicture},
        {QStringLiteral("getAddressPicture"), &SimAddressBooks::getAddressPicture},
        {QStringLiteral("getContactTypes"), &SimAddressBooks::getContactTypes},
    };
    return table;
}

bool SimAddressBooks::parse(const QJsonValue &section, Config *config, QString *error)
{
    SimJsonReader root(section);
    root.allowOnly({"books", "contactTypes"});
    config->contactTypes = root.has(QStringLiteral("contactTypes")) ? root.strings(QStringLiteral("contactTypes"))
                                                                   : SimContactGenerator::contactTypes();
    const QJsonArray books = root.array(QStringLiteral("books"));
    QSet<QString> contactIds;
    for (int i = 0; i < books.size() && root.isOk(); ++i) {
        SimJsonReader entry = root.element(QStringLiteral("books"), i);
        entry.allowOnly({"id", "title", "type", "perm", "generate", "seed", "fields", "contacts"});
        Book book;
        book.id = entry.requiredString(Id);
        book.info = {{QStringLiteral("title"), entry.string(QStringLiteral("title"), book.id)},
                     {QStringLiteral("type"), entry.integer(QStringLiteral("type"), 0, 0, 99)},
                     {QStringLiteral("perm"), entry.string(QStringLiteral("perm"), QStringLiteral("w"))}};
        book.generated = entry.integer(QStringLiteral("generate"), 0, 0, 10000000);
        book.seed = entry.seed(QStringLiteral("seed"));
        book.fields = entry.integer(QStringLiteral("fields"), SimContactGenerator::FieldCount, 1,
                                    SimContactGenerator::FieldCount);
        book.idWidth = QString::number(qMax(0, book.generated - 1)).size();
        for (const Book &other : qAsConst(config->books)) {
            if (other.id == book.id)
                entry.fail(Id, QStringLiteral("duplicate book \"") % book.id % QLatin1Char('"'));
        }
        const QJsonArray contacts = entry.array(QStringLiteral("contacts"));
        for (int c = 0; c < contacts.size() && entry.isOk(); ++c) {
            SimJsonReader contact = entry.element(QStringLiteral("contacts"), c);
            QString id = contact.string(Id);
            if (id.isEmpty())
                id = book.id % QStringLiteral("-c") % QString::number(c + 1);
            if (contactIds.contains(id) || generatedIndex(book, id) >= 0)
                contact.fail(Id, QStringLiteral("duplicate contact id \"") % id % QLatin1Char('"'));
            contactIds.insert(id);
            QJsonObject fields = textFields(contact.object());
            if (fields.size() != contact.object().size() - (contact.has(Id) ? 1 : 0))
                contact.fail(QStringLiteral("contact fields must be text"));
            fields.insert(Id, id);
            fields.insert(ContactTid, book.id);
            book.stored.insert(id, fields);
            book.order.append(id);
        }
        config->books.append(book);
    }
    if (error)
        *error = root.error();
    return root.isOk();
}

bool SimAddressBooks::checkSection(const QJsonValue &section, QString *error)
{
    Config config;
    return parse(section, &config, error);
}

void SimAddressBooks::reset(const QJsonValue &section)
{
    Config config;
    parse(section, &config, nullptr);
    // Listed contacts first, so small hand-written books show them on the first page.
    for (Book &book : config.books) {
        book.order.reserve(book.order.size() + book.generated);
        for (int i = 0; i < book.generated; ++i)
            book.order.append(generatedId(book, i));
    }
    m_books = config.books;
    m_contactTypes = config.contactTypes;
    m_pictures.clear();
    m_numberIndex.clear();
    m_indexed = false;
}

// ---- Requests ----

void SimAddressBooks::getAddressbooks(const SimHub::Request &request)
{
    QJsonObject books;
    for (const Book &book : qAsConst(m_books))
        books.insert(book.id, book.info);
    m_hub.reply(request, {{QStringLiteral("books"), books}});
}

void SimAddressBooks::getAddresses(const SimHub::Request &request)
{
    const QString bookId = request.string(QStringLiteral("bookid"));
    const QJsonValue limitValue = request.data.value(QStringLiteral("limit"));
    const QJsonValue offsetValue = request.data.value(QStringLiteral("offset"));
    const qint64 limit = limitValue.isDouble() ? qBound(1.0, limitValue.toDouble(), double(MaxPageSize))
                                               : DefaultPageSize;
    const qint64 offset = offsetValue.isDouble() ? qBound(0.0, offsetValue.toDouble(), 2e9) : 0;
    // The client asks for the next page at offset + limit + 1; counting pages that way
    // puts no contact between two pages.
    const qint64 start = offset - offset / (limit + 1);

    QStringList ids;
    const Book *book = nullptr;
    for (const Book &candidate : qAsConst(m_books)) {
        if (candidate.id == bookId)
            book = &candidate;
    }
    if (book && start < book->order.size())
        ids = book->order.mid(int(start), int(limit));
    std::sort(ids.begin(), ids.end());

    QByteArray text;
    text.reserve(ids.size() * 1400 + 100);
    text += "{\"addresses\":{";
    for (int i = 0; i < ids.size(); ++i) {
        if (i > 0)
            text += ',';
        SimContactGenerator::appendJsonString(text, ids.at(i));
        text += ':';
        const int index = book->stored.contains(ids.at(i)) ? -1 : generatedIndex(*book, ids.at(i));
        text += index >= 0 ? SimContactGenerator::toJson(generated(*book, index), book->fields)
                           : QJsonDocument(book->stored.value(ids.at(i))).toJson(QJsonDocument::Compact);
    }
    text += "},\"bookid\":";
    SimContactGenerator::appendJsonString(text, bookId);
    text += ",\"limit\":" % QByteArray::number(limit) % ",\"offset\":" % QByteArray::number(offset) % '}';
    m_hub.replyText(request, text);
}

void SimAddressBooks::saveAddress(const SimHub::Request &request)
{
    const QString id = request.string(Id);
    QJsonObject fields = textFields(request.data.value(Address).toObject());
    Book *book = id.isEmpty() ? nullptr : bookOf(id);
    const bool adding = !book;
    if (adding)
        book = bookById(fields.value(ContactTid).toString());
    if (!book) {
        m_hub.reply(request, {{Status, 404}});
        return;
    }
    if (!writeable(*book) || (adding && !allowsAdding(*book))) {
        // Nothing changed: what the PBX still holds.
        m_hub.reply(request, adding ? QJsonObject{{Status, 403}}
                                    : QJsonObject{{Status, 403}, {Id, id}, {Address, contactIn(*book, id)}});
        return;
    }
    if (book->info.value(QStringLiteral("type")).toInt() == 1 && fields.value(QStringLiteral("contact_owner")).toString().isEmpty())
        fields.insert(QStringLiteral("contact_owner"), request.user);   // personal books belong to who fills them
    const QString savedId = store(*book, adding ? QString() : id, fields);
    m_hub.reply(request, {{Id, savedId}, {Address, contactIn(*book, savedId)}});
}

void SimAddressBooks::deleteAddress(const SimHub::Request &request)
{
    const QString id = request.string(Id);
    const Book *book = bookOf(id);
    if (!book || !writeable(*book) || !allowsAdding(*book)) {
        m_hub.reply(request, {{Status, book ? 403 : 404}});
        return;
    }
    remove(*bookOf(id), id);
    m_hub.reply(request, {{Id, id}});
}

void SimAddressBooks::setAddressPicture(const SimHub::Request &request)
{
    const QString id = request.string(Id);
    Book *book = bookOf(id);
    if (!book || !writeable(*book)) {
        m_hub.reply(request, {{Status, book ? 403 : 404}});
        return;
    }
    // Keep the biggest picture the client sent: it serves every size asked for later.
    QByteArray image;
    for (const char *key : {"image_460", "image_80", "image_40"}) {
        const auto decoded = QByteArray::fromBase64Encoding(request.string(QLatin1String(key)).toLatin1(),
                                                            QByteArray::AbortOnBase64DecodingErrors);
        if (decoded && isImage(decoded.decoded)) {
            image = decoded.decoded;
            break;
        }
    }
    if (image.isEmpty()) {
        m_hub.reply(request, {{Status, 400}});
        return;
    }
    m_pictures.insert(id, image);
    QJsonObject fields = contactIn(*book, id);
    fields.insert(JpegPhoto, QStringLiteral("1"));
    store(*book, id, fields);
    m_hub.reply(request, {{Id, id}});
}

void SimAddressBooks::getAddressPicture(const SimHub::Request &request)
{
    const QString id = request.string(Id);
    m_hub.reply(request, {{Id, id}, {QStringLiteral("data"), QString::fromLatin1(m_pictures.value(id).toBase64())}});
}

void SimAddressBooks::getContactTypes(const SimHub::Request &request)
{
    m_hub.reply(request, {{QStringLiteral("ContactTypes"), QJsonArray::fromStringList(m_contactTypes)}});
}

// ---- Queries and changes ----

QStringList SimAddressBooks::bookIds() const
{
    QStringList ids;
    for (const Book &book : m_books)
        ids.append(book.id);
    return ids;
}

int SimAddressBooks::contactCount(const QString &bookId) const
{
    for (const Book &book : m_books) {
        if (book.id == bookId)
            return book.order.size();
    }
    return -1;
}

QStringList SimAddressBooks::contactIds(const QString &bookId) const
{
    for (const Book &book : m_books) {
        if (book.id == bookId)
            return book.order;
    }
    return {};
}

QJsonObject SimAddressBooks::contact(const QString &id) const
{
    const Book *book = bookOf(id);
    return book ? contactIn(*book, id) : QJsonObject();
}

QByteArray SimAddressBooks::picture(const QString &id) const
{
    return m_pictures.value(id);
}

QStringList SimAddressBooks::contactTypes() const
{
    return m_contactTypes;
}

QString SimAddressBooks::addContact(const QString &bookId, const QJsonObject &fields)
{
    Book *book = bookById(bookId);
    return book ? store(*book, QString(), textFields(fields)) : QString();
}

bool SimAddressBooks::changeContact(const QString &id, const QJsonObject &fields)
{
    Book *book = bookOf(id);
    if (!book)
        return false;
    QJsonObject merged = contactIn(*book, id);
    const QJsonObject changes = textFields(fields);
    for (auto it = changes.begin(); it != changes.end(); ++it)
        merged.insert(it.key(), *it);
    store(*book, id, merged);
    return true;
}

bool SimAddressBooks::deleteContact(const QString &id)
{
    Book *book = bookOf(id);
    if (book)
        remove(*book, id);
    return book;
}

void SimAddressBooks::setContactTypes(const QStringList &types)
{
    m_contactTypes = types;
    m_hub.notifyAll(QStringLiteral("contactTypesChanged"),
                    {{QStringLiteral("ContactTypes"), QJsonArray::fromStringList(types)}});
}

QString SimAddressBooks::canonicalNumber(const QString &number)
{
    QString text = number;
    text.remove(QStringLiteral("(0)"));
    QString digits;
    bool plus = false;
    for (const QChar c : qAsConst(text)) {
        if (c.isDigit())
            digits += c;
        else if (c == QLatin1Char('+') && digits.isEmpty())
            plus = true;
    }
    if (plus)
        return QStringLiteral("00") % digits;
    if (digits.startsWith(QLatin1String("00")))
        return digits;
    if (digits.startsWith(QLatin1Char('0')))
        return QStringLiteral("0049") % digits.midRef(1);
    return digits;   // an extension
}

SimParty SimAddressBooks::findByNumber(const QString &number) const
{
    if (!m_indexed) {
        m_numberIndex.clear();
        auto add = [this](const QString &typed, const QString &id) {
            if (!typed.isEmpty())
                m_numberIndex.insert(canonicalNumber(typed), id);
        };
        // Backwards, so the first contact with a number wins.
        for (auto book = m_books.crbegin(); book != m_books.crend(); ++book) {
            for (int i = book->order.size() - 1; i >= 0; --i) {
                const QString &id = book->order.at(i);
                const int index = book->stored.contains(id) ? -1 : generatedIndex(*book, id);
                if (index >= 0) {
                    const SimContactGenerator::Contact contact = generated(*book, index);
                    for (const SimContactGenerator::Field field : NumberFields)
                        add(contact[field], id);
                } else {
                    const QJsonObject contact = book->stored.value(id);
                    for (const SimContactGenerator::Field field : NumberFields)
                        add(contact.value(SimContactGenerator::key(field)).toString(), id);
                }
            }
        }
        m_indexed = true;
    }
    const QString id = m_numberIndex.value(canonicalNumber(number));
    if (id.isEmpty())
        return {number};
    const QJsonObject contact = this->contact(id);
    return {number, contact.value(QStringLiteral("n_given")).toString(),
            contact.value(QStringLiteral("n_family")).toString(), contact.value(QStringLiteral("org_name")).toString(),
            id};
}

SimParty SimAddressBooks::randomParty(QRandomGenerator &random) const
{
    qint64 total = 0;
    for (const Book &book : m_books)
        total += book.order.size();
    for (int attempt = 0; total > 0 && attempt < 20; ++attempt) {
        qint64 pick = qint64(random.bounded(double(total)));
        for (const Book &book : m_books) {
            if (pick >= book.order.size()) {
                pick -= book.order.size();
                continue;
            }
            const QString &id = book.order.at(int(pick));
            const QJsonObject contact = contactIn(book, id);
            const int first = random.bounded(3);   // work, mobile or home first
            for (int n = 0; n < 3; ++n) {
                const QString number = contact.value(SimContactGenerator::key(NumberFields[(first + n) % 3])).toString();
                if (!number.isEmpty())
                    return {number, contact.value(QStringLiteral("n_given")).toString(),
                            contact.value(QStringLiteral("n_family")).toString(),
                            contact.value(QStringLiteral("org_name")).toString(), id};
            }
            break;
        }
    }
    return {};
}

// ---- Helpers ----

int SimAddressBooks::generatedIndex(const Book &book, const QString &id)
{
    if (book.generated == 0 || id.size() != book.id.size() + 1 + book.idWidth || !id.startsWith(book.id)
        || id.at(book.id.size()) != QLatin1Char('-') || book.deleted.contains(id))
        return -1;
    bool ok = false;
    const int index = id.midRef(book.id.size() + 1).toInt(&ok);
    return ok && index >= 0 && index < book.generated && id.at(book.id.size() + 1).isDigit() ? index : -1;
}

bool SimAddressBooks::writeable(const Book &book)
{
    return book.info.value(QStringLiteral("perm")).toString() == QLatin1String("w");
}

// Books of type 3 are kept elsewhere: entries can be edited, but not added or removed.
bool SimAddressBooks::allowsAdding(const Book &book)
{
    return book.info.value(QStringLiteral("type")).toInt() != 3;
}

SimAddressBooks::Book *SimAddressBooks::bookOf(const QString &id)
{
    return const_cast<Book *>(qAsConst(*this).bookOf(id));
}

const SimAddressBooks::Book *SimAddressBooks::bookOf(const QString &id) const
{
    for (const Book &book : m_books) {
        if (book.stored.contains(id) || generatedIndex(book, id) >= 0)
            return &book;
    }
    return nullptr;
}

SimAddressBooks::Book *SimAddressBooks::bookById(const QString &bookId)
{
    for (Book &book : m_books) {
        if (book.id == bookId)
            return &book;
    }
    return nullptr;
}

QJsonObject SimAddressBooks::contactIn(const Book &book, const QString &id) const
{
    if (book.stored.contains(id))
        return book.stored.value(id);
    const int index = generatedIndex(book, id);
    return index >= 0 ? SimContactGenerator::toObject(generated(book, index)) : QJsonObject();
}

SimContactGenerator::Contact SimAddressBooks::generated(const Book &book, int index) const
{
    return SimContactGenerator::contact(book.seed, index, generatedId(book, index), book.id);
}

// Zero-padded, so text order is index order: pages come out in the order they were made.
QString SimAddressBooks::generatedId(const Book &book, int index)
{
    const QString number = QString::number(index);
    return book.id % QLatin1Char('-') % QString(book.idWidth - number.size(), QLatin1Char('0')) % number;
}

QString SimAddressBooks::newContactId(const Book &book) const
{
    for (int n = book.order.size() + 1;; ++n) {
        const QString id = book.id % QStringLiteral("-n") % QString::number(n);
        if (!bookOf(id))
            return id;
    }
}

// Saves fields as the contact id (a new one when empty) and tells every client, the one that
// saved included, as a PBX does.
QString SimAddressBooks::store(Book &book, QString id, QJsonObject fields)
{
    const bool adding = id.isEmpty();
    if (adding) {
        id = newContactId(book);
        book.order.append(id);
    }
    fields.insert(Id, id);
    fields.insert(ContactTid, book.id);
    fields.insert(JpegPhoto, m_pictures.contains(id) ? QStringLiteral("1") : QString());
    book.stored.insert(id, fields);
    m_indexed = false;
    m_hub.notifyAll(adding ? QStringLiteral("addressAdded") : QStringLiteral("addressChanged"),
                    {{Id, id}, {Address, fields}});
    return id;
}

void SimAddressBooks::remove(Book &book, const QString &id)
{
    if (generatedIndex(book, id) >= 0)
        book.deleted.insert(id);
    book.stored.remove(id);
    book.order.removeOne(id);
    m_pictures.remove(id);
    m_indexed = false;
    m_hub.notifyAll(QStringLiteral("addressDeleted"), {{Id, id}});
}
