// Address books, contacts, contact types and pictures. The connector keeps no record of them:
// each one is built from the server's data and handed to the receivers of its signal.
#include "cticonnector.h"

#include "addressbook.h"
#include "addresses.h"
#include "addresspagereader.h"
#include "passbudget.h"

#include <QBuffer>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaMethod>
#include <QMutex>
#include <QSemaphore>
#include <QSet>
#include <QThreadPool>

#include <limits>

namespace {
const QString cmdGetAddressbooks = QStringLiteral("getAddressbooks");
const QString cmdGetContactTypes = QStringLiteral("getContactTypes");
const QString cmdGetAddresses = QStringLiteral("getAddresses");
const QString cmdSaveAddress = QStringLiteral("saveAddress");
const QString cmdDeleteAddress = QStringLiteral("deleteAddress");
const QString cmdGetAddressPicture = QStringLiteral("getAddressPicture");
const QString cmdSetAddressPicture = QStringLiteral("setAddressPicture");

const QString keyBooks = QStringLiteral("books");
const QString keyBookId = QStringLiteral("bookid");
const QString keyLimit = QStringLiteral("limit");
const QString keyOffset = QStringLiteral("offset");
const QString keyAddresses = QStringLiteral("addresses");
const QString keyAddress = QStringLiteral("address");
const QString keyId = QStringLiteral("id");
const QString keyData = QStringLiteral("data");
const QString keyContactTypes = QStringLiteral("ContactTypes");
const QString keyImage460 = QStringLiteral("image_460");
const QString keyImage80 = QStringLiteral("image_80");
const QString keyImage40 = QStringLiteral("image_40");

constexpr int addressPageLimit = 10000;

struct PictureSize
{
    int side;
    const QString &key;
};
const PictureSize pictureSizes[] = {{460, keyImage460}, {80, keyImage80}, {40, keyImage40}};

// Far beyond any contact picture; a small file claiming more would only make the decoder
// allocate gigabytes.
constexpr qint64 maxPicturePixels = 32 * 1024 * 1024;

// Interned contact keys: every contact carries the same few dozen keys, and one shared QString per
// key spares each record about 2 KB of key copies. Bounded, so a server that invents keys cannot
// grow it without end. Pages are prepared on workers too.
constexpr int maxInternedKeys = 1024;

QString internKey(const QString &key)
{
    static QMutex lock;
    static QSet<QString> keys;
    const QMutexLocker locker(&lock);
    const auto it = keys.constFind(key);
    if (it != keys.cend())
        return *it;
    if (keys.size() < maxInternedKeys)
        keys.insert(key);
    return key;
}

// A contact's values with shared keys. The object's members come in ascending name order, which
// is the map's order, so each insert lands at the end.
QMap<QString, QVariant> contactValues(const QJsonObject &contact)
{
    QMap<QString, QVariant> values;
    for (auto it = contact.constBegin(); it != contact.constEnd(); ++it)
        values.insert(values.cend(), internKey(it.key()), CTIMessage::variantFromJson(it.value()));
    return values;
}

// The contacts of a page nearly always carry the same keys and repeat many values (book, owner,
// type, empty fields). So a contact with the keys of the one before shares their list, and an
// equal string shares the one already held. False when the keys differ.
bool contactValuesLike(const QJsonObject &contact, const KeyList &keys, const QVector<QVariant> &previous,
                       QVector<QVariant> &values)
{
    if (keys.isEmpty() || contact.size() != keys.size())
        return false;
    values.reserve(keys.size());
    int i = 0;
    for (auto member = contact.constBegin(); member != contact.constEnd(); ++member, ++i) {
        if (member.key() != keys.at(i))
            return false;
        const QJsonValue value = member.value();
        const QVariant &before = previous.at(i);
        if (value.isString() && before.userType() == QMetaType::QString) {
            QString text = value.toString();
            if (text == *static_cast<const QString *>(before.constData()))
                values.append(before);
            else
                values.append(QVariant(std::move(text)));
        } else {
            values.append(CTIMessage::variantFromJson(value));
        }
    }
    return true;
}

// A new list of the contact's keys and its values. False, keys untouched, when the members do not
// come in the ascending order of a key list: parsed objects sort keys beyond U+FFFF otherwise.
bool contactKeysAndValues(const QJsonObject &contact, KeyList &keys, QVector<QVariant> &values)
{
    QVector<QString> names;
    names.reserve(contact.size());
    values.reserve(contact.size());
    for (auto it = contact.constBegin(); it != contact.constEnd(); ++it) {
        names.append(internKey(it.key()));
        values.append(CTIMessage::variantFromJson(it.value()));
    }
    return keys.assign(names);
}

// The id given here wins over an "id" inside the values; when that one is the same, the record
// holds the one string, not a second copy.
Addresses *contactWithId(const QString &id, const QVariant *inner)
{
    auto *address = new Addresses;
    const bool same = inner && inner->userType() == QMetaType::QString
        && *static_cast<const QString *>(inner->constData()) == id;
    address->setId(same ? *static_cast<const QString *>(inner->constData()) : id);
    return address;
}

// A new record has no receivers yet, so storing the values at once is the same as building them
// key by key, without a changed() per key.
Addresses *newContact(const QString &id, const QMap<QString, QVariant> &values)
{
    const auto inner = values.constFind(keyId);
    Addresses *address = contactWithId(id, inner != values.cend() ? &*inner : nullptr);
    address->setValues(values);
    return address;
}

// One contact of a page; keys and previous carry the key list and values of the contact before
// from one call to the next. Touches no QObject: runs on any thread.
CTIConnector::PreparedContact prepareContact(const QString &id, const QJsonObject &contact, KeyList &keys,
                                             QVector<QVariant> &previous)
{
    CTIConnector::PreparedContact prepared;
    prepared.id = id;
    if (!contactValuesLike(contact, keys, previous, prepared.values)) {
        prepared.values.clear();
        if (!contactKeysAndValues(contact, keys, prepared.values)) {
            prepared.asMap = true;
            prepared.values.clear();
            prepared.map = contactValues(contact);
            return prepared;
        }
    }
    prepared.keys = keys;
    previous = prepared.values;
    return prepared;
}

// The record of a prepared contact, its values stored at once as newContact() does.
Addresses *pageContact(const CTIConnector::PreparedContact &prepared)
{
    if (prepared.asMap)
        return newContact(prepared.id, prepared.map);
    const int inner = prepared.keys.indexOf(keyId);
    Addresses *address = contactWithId(prepared.id, inner >= 0 ? &prepared.values.at(inner) : nullptr);
    address->setValues(prepared.keys, prepared.values);
    return address;
}

// Contacts a worker hands over at a time.
constexpr int preparedBatchSize = 256;

// A number of the data: missing or null reads as the fallback, anything unreadable or beyond
// the int range as 0.
int readInt(const QVariant &value, int fallback)
{
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !(number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max()))
        return 0;
    return int(number);
}

QPixmap decodePicture(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxPicturePixels)
        return QPixmap();
    return QPixmap::fromImage(reader.read());
}
}

void CTIConnector::requestAddressBooks()
{
    m_bookList = {true, sendingLink()};
    CTIMessage message = CTIMessage::generateCommand(cmdGetAddressbooks);
    sendMessage(message);
}

void CTIConnector::requestContactTypes()
{
    m_contactTypes = {true, sendingLink()};
    CTIMessage message = CTIMessage::generateCommand(cmdGetContactTypes);
    sendMessage(message);
}

void CTIConnector::requestAddresses(const QString &bookId)
{
    if (bookId.isEmpty()) {
        qWarning("%s no bookid given!", Q_FUNC_INFO);
        return;
    }
    requestAddressPage(bookId, addressPageLimit, 0);
}

void CTIConnector::requestAddressPage(const QString &bookId, int limit, int offset)
{
    m_addressPageRequests.insert(bookId, {limit, offset, sendingLink()});
    CTIMessage message = CTIMessage::generateCommand(cmdGetAddresses);
    message.setValueForKey(keyBookId, bookId);
    message.setValueForKey(keyLimit, limit);
    message.setValueForKey(keyOffset, offset);
    sendMessage(message);
}

void CTIConnector::resumeAddressLoading()
{
    // Without the book list there are no books, and without the types no contact can be edited.
    // A request the new link took before its login was answered is answered after it.
    if (m_bookList.awaited && m_bookList.link != m_linkSerial)
        requestAddressBooks();
    if (m_contactTypes.awaited && m_contactTypes.link != m_linkSerial)
        requestContactTypes();

    // A page that arrived before the drop and is still handed out asks for its successor itself,
    // maybe already on the new link.
    QSet<QString> inHand;
    if (m_addressPage)
        inHand.insert(m_addressPage->message.valueForKey(keyBookId).toString());
    for (CTIMessage waiting : qAsConst(m_waitingPages))
        inHand.insert(waiting.valueForKey(keyBookId).toString());
    const auto requests = m_addressPageRequests;
    for (auto it = requests.cbegin(); it != requests.cend(); ++it) {
        if (!inHand.contains(it.key()) && it->link != m_linkSerial)
            requestAddressPage(it.key(), it->limit, it->offset);
    }
}

void CTIConnector::saveAddress(Addresses *address)
{
    if (!address) {
        qWarning("%s no address given!", Q_FUNC_INFO);
        return;
    }
    CTIMessage message = CTIMessage::generateCommand(cmdSaveAddress);
    message.setValueForKey(keyId, address->id());
    message.setValueForKey(keyAddress, address->getValues());
    sendMessage(message);
}

void CTIConnector::deleteAddress(const QString &addressId)
{
    CTIMessage message = CTIMessage::generateCommand(cmdDeleteAddress);
    message.setValueForKey(keyId, addressId);
    sendMessage(message);
}

void CTIConnector::requestAddressPicture(const QString &addressId)
{
    CTIMessage message = CTIMessage::generateCommand(cmdGetAddressPicture);
    message.setValueForKey(keyId, addressId);
    sendMessage(message);
}

void CTIConnector::saveAddressPicture(const QString &addressId, const QImage &image)
{
    CTIMessage message = CTIMessage::generateCommand(cmdSetAddressPicture);
    message.setValueForKey(keyId, addressId);
    for (const PictureSize &size : pictureSizes) {
        // Covers the square box, nothing cropped: 1000x500 goes as 920x460.
        const QImage scaled =
            image.scaled(size.side, size.side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        scaled.save(&buffer, "PNG");
        message.setValueForKey(size.key, png);
    }
    sendMessage(message);
}

void CTIConnector::handleEvent_addressAdded(CTIMessage &message)
{
    // Nobody would own the record.
    if (!isSignalConnected(QMetaMethod::fromSignal(&CTIConnector::addressAdded)))
        return;
    Addresses *contact = newContact(message.valueForKey(keyId).toString(),
                                    contactValues(message.data().value(keyAddress).toObject()));
    const QPointer<Addresses> guard(contact);
    emit addressAdded(contact);
    releaseUnlessAdopted(guard);
}

void CTIConnector::handleEvent_addressChanged(CTIMessage &message)
{
    // Receivers replace the contact of that id.
    handleEvent_addressAdded(message);
}

void CTIConnector::handleEvent_addressDeleted(CTIMessage &message)
{
    const QString id = message.valueForKey(keyId).toString();
    if (!id.isEmpty())
        emit addressDeleted(id);
}

void CTIConnector::handleEvent_contactTypesChanged(CTIMessage &message)
{
    handleResponse_getContactTypes(message);
}

void CTIConnector::handleResponse_getAddressbooks(CTIMessage &message)
{
    m_bookList.awaited = false;
    if (!isSignalConnected(QMetaMethod::fromSignal(&CTIConnector::addressBookAdded)))
        return;
    const QVariantMap books = message.valueForKey(keyBooks).toMap();
    for (auto it = books.cbegin(); it != books.cend(); ++it) {
        auto *book = new Addressbook;
        book->buildFromVariantMap(it.value().toMap());
        book->setId(it.key());
        const QPointer<Addressbook> guard(book);
        emit addressBookAdded(book);
        releaseUnlessAdopted(guard);
    }
}

void CTIConnector::handleResponse_getAddresses(CTIMessage &message)
{
    if (m_addressPage) {
        // Only reached by a direct call while a page is handed out: it waits its turn.
        m_waitingPages.append(message);
        return;
    }
    m_addressPage = std::make_unique<AddressPage>();
    m_addressPage->message = message;
    m_addressPage->contacts = message.data().value(keyAddresses).toObject();
    m_addressPage->contactCount = m_addressPage->contacts.size();
    continueAddressPage();
}

void CTIConnector::preparePage(QString text)
{
    // The usual page is read straight from its text, faster than its JSON document is built;
    // any other goes the general way.
    AddressPageReader reader(internKey);
    if (reader.read(text)) {
        text.clear();
        CTIMessage message;
        message.setName(cmdGetAddresses);
        message.setType(CTIMessageType::response);
        message.setData(reader.paging());
        QVector<AddressPageReader::Contact> &contacts = reader.contacts();
        const int count = contacts.size();
        QMetaObject::invokeMethod(
            this, [this, message, count] { onPageStarted(message, count); }, Qt::QueuedConnection);
        for (int first = 0; first == 0 || first < count; first += preparedBatchSize) {
            const int last = std::min(first + preparedBatchSize, count);
            QVector<PreparedContact> batch;
            batch.reserve(last - first);
            for (int i = first; i < last; ++i) {
                AddressPageReader::Contact &contact = contacts[i];
                batch.append(PreparedContact{std::move(contact.id), std::move(contact.keys), std::move(contact.values), {}, false});
            }
            const bool done = last == count;
            QMetaObject::invokeMethod(this, [this, batch, done] { onContactsPrepared(batch, done); }, Qt::QueuedConnection);
        }
        return;
    }

    QJsonObject root = QJsonDocument::fromJson(text.toUtf8()).object();
    if (root.value(QLatin1String("type")).toString() != QLatin1String("response")
        || root.value(QLatin1String("name")).toString() != cmdGetAddresses) {
        // Some other message after all: dispatched on the main thread as if parsed there.
        QMetaObject::invokeMethod(this, [this, root] { onPageParsed(root); }, Qt::QueuedConnection);
        return;
    }
    // The envelope without the contacts: the page's book, limit and offset.
    const QJsonObject data = root.value(QLatin1String("data")).toObject();
    CTIMessage message;
    message.setName(cmdGetAddresses);
    message.setType(CTIMessageType::response);
    QJsonObject paging;
    for (const QString &key : {keyBookId, keyLimit, keyOffset}) {
        if (data.contains(key))
            paging.insert(key, data.value(key));
    }
    message.setData(paging);
    const QJsonObject contacts = data.value(keyAddresses).toObject();
    QMetaObject::invokeMethod(
        this, [this, message, count = contacts.size()] { onPageStarted(message, count); }, Qt::QueuedConnection);

    // The main thread turns each batch into records while the next one is prepared here. A large
    // page's second half is prepared meanwhile by another worker, when one is free.
    const auto prepareRange = [&contacts](int first, int last, QVector<PreparedContact> &into) {
        KeyList keys;
        QVector<QVariant> previous;
        for (auto it = contacts.constBegin() + first; it != contacts.constBegin() + last; ++it)
            into.append(prepareContact(it.key(), it.value().toObject(), keys, previous));
    };
    const int count = contacts.size();
    int split = count;
    QVector<PreparedContact> secondHalf;
    QSemaphore secondHalfDone;
    if (count >= 2 * preparedBatchSize) {
        const int half = count / 2;
        secondHalf.reserve(count - half);
        if (QThreadPool::globalInstance()->tryStart(QRunnable::create([&, half] {
                prepareRange(half, count, secondHalf);
                secondHalfDone.release();
            })))
            split = half;
    }
    QVector<PreparedContact> batch;
    batch.reserve(preparedBatchSize);
    const auto post = [this, &batch](bool last) {
        QMetaObject::invokeMethod(this, [this, batch, last] { onContactsPrepared(batch, last); }, Qt::QueuedConnection);
        batch.clear();
    };
    for (int first = 0; first < split; first += preparedBatchSize) {
        prepareRange(first, std::min(first + preparedBatchSize, split), batch);
        if (first + preparedBatchSize < count)
            post(false);
    }
    if (split < count) {
        secondHalfDone.acquire();
        for (int first = 0; first < secondHalf.size(); first += preparedBatchSize) {
            batch = secondHalf.mid(first, preparedBatchSize);
            if (first + preparedBatchSize < secondHalf.size())
                post(false);
        }
    }
    // The text and its parsed form go after this, off the main thread's way.
    post(true);
}

void CTIConnector::onPageStarted(const CTIMessage &message, int contactCount)
{
    m_parsingPage = false;
    m_addressPage = std::make_unique<AddressPage>();
    m_addressPage->message = message;
    m_addressPage->contactCount = contactCount;
    m_addressPage->offThread = true;
    m_addressPage->complete = false;
}

void CTIConnector::onContactsPrepared(const QVector<PreparedContact> &contacts, bool last)
{
    AddressPage *page = m_addressPage.get();
    if (!page || !page->offThread)
        return;
    page->prepared += contacts;
    page->complete = last;
    scheduleAddressSlice();
}

void CTIConnector::scheduleAddressSlice()
{
    // A timer, not a queued call: the rest of a page waits while input and painting are due.
    if (!m_nextAddressSlice.isActive())
        m_nextAddressSlice.start();
}

void CTIConnector::continueAddressPage()
{
    AddressPage *page = m_addressPage.get();
    // A receiver's nested event loop (a dialog) must not run the page from inside itself.
    if (!page || page->handingOut)
        return;
    page->handingOut = true;
    const bool received = isSignalConnected(QMetaMethod::fromSignal(&CTIConnector::addressAdded));
    PassBudget::spent(addressSliceMs); // starts the pass's clock unless other work already did
    int handed = 0;
    for (;;) {
        PreparedContact prepared;
        if (page->offThread) {
            if (page->preparedNext == page->prepared.size())
                break;
            prepared = std::move(page->prepared[page->preparedNext++]);
        } else {
            if (page->next == page->contacts.size())
                break;
            const auto it = page->contacts.constBegin() + page->next++;
            if (received)
                prepared = prepareContact(it.key(), it.value().toObject(), page->keys, page->previous);
        }
        if (received) {
            Addresses *contact = pageContact(prepared);
            const QPointer<Addresses> guard(contact);
            emit addressAdded(contact);
            releaseUnlessAdopted(guard);
        }
        if (++handed % 32 == 0 && PassBudget::spent(addressSliceMs)) {
            page->handingOut = false;
            scheduleAddressSlice();
            return;
        }
    }
    page->handingOut = false;
    if (page->offThread) {
        if (!page->complete)
            return; // the worker's next batch goes on
        page->prepared.clear();
    }
    const std::unique_ptr<AddressPage> done = std::move(m_addressPage);
    finishAddressPage(done->message, done->contactCount);
    if (!m_waitingPages.isEmpty()) {
        CTIMessage next = m_waitingPages.takeFirst();
        handleResponse_getAddresses(next);
        return;
    }
    dispatchDeferredTexts();
}

void CTIConnector::finishAddressPage(CTIMessage &message, int contactCount)
{
    const QString bookId = message.valueForKey(keyBookId).toString();
    if (bookId.isEmpty())
        return;

    const auto asked = m_addressPageRequests.constFind(bookId);
    const bool tracked = asked != m_addressPageRequests.cend();
    const int limit = readInt(message.valueForKey(keyLimit), tracked ? asked->limit : 0);
    const int offset = readInt(message.valueForKey(keyOffset), tracked ? asked->offset : 0);
    // The server starts the next page one past the end of this one.
    const qint64 next = qint64(offset) + limit + 1;
    // An empty page or a limit below 1 would ask for the same page for ever; so would an offset
    // that does not move past the page asked for last.
    const bool fullPage = limit >= 1 && contactCount > 0 && contactCount == limit;
    // A negative offset is no page of this book.
    const bool advances = offset >= 0 && (!tracked || next > asked->offset);
    if (fullPage && advances && next <= std::numeric_limits<int>::max()) {
        requestAddressPage(bookId, limit, int(next));
        return;
    }
    m_addressPageRequests.remove(bookId);
    emit addressesLoadingFinished(bookId);
}

void CTIConnector::handleResponse_saveAddress(CTIMessage &message)
{
    if (!isSignalConnected(QMetaMethod::fromSignal(&CTIConnector::addressSaved)))
        return;
    QMap<QString, QVariant> values = contactValues(message.data().value(keyAddress).toObject());
    // The server echoes the stored picture; the record carries only the marker.
    values.remove(keyImage460);
    Addresses *contact = newContact(message.valueForKey(keyId).toString(), std::move(values));
    const QPointer<Addresses> guard(contact);
    emit addressSaved(contact);
    releaseUnlessAdopted(guard);
}

void CTIConnector::handleResponse_deleteAddress(CTIMessage &message)
{
    handleEvent_addressDeleted(message);
}

void CTIConnector::handleResponse_setAddressPicture(CTIMessage &message)
{
    const QString id = message.valueForKey(keyId).toString();
    if (!id.isEmpty())
        emit addressPictureSet(id);
}

void CTIConnector::handleResponse_getAddressPicture(CTIMessage &message)
{
    const QByteArray bytes = QByteArray::fromBase64(message.valueForKey(keyData).toString().toLatin1());
    emit addressPictureAvailable(decodePicture(bytes), message.valueForKey(keyId).toString());
}

void CTIConnector::handleResponse_getContactTypes(CTIMessage &message)
{
    m_contactTypes.awaited = false;
    // Only the names: anything else in the list, or a list that is not one, offers nothing to choose.
    QStringList types;
    const QJsonArray list = message.data().value(keyContactTypes).toArray();
    for (const QJsonValue &type : list) {
        if (type.isString())
            types.append(type.toString());
    }
    emit contactTypesAvailable(types);
}
