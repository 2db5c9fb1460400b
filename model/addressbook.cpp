#include "addressbook.h"

#include "addresses.h"
#include "numbercanonizer.h"

Addressbook::Addressbook()
    : Model<Addressbook>(QStringLiteral("Addressbook"))
{
}

QString Addressbook::getTitle()
{
    return valueForKey(AddressbookKeys::title).toString();
}

int Addressbook::getType()
{
    return valueForKey(AddressbookKeys::type).toInt();
}

bool Addressbook::isWriteable()
{
    return valueForKey(AddressbookKeys::permission).toString() == QLatin1String("w");
}

void Addressbook::setOwnerId(const QString &ownerId)
{
    m_ownerId = ownerId;
}

QMap<QString, QVariant> Addressbook::bookFilter(QMap<QString, QVariant> filter)
{
    filter.insert(AddressKeys::addressBookId, id());
    if (getType() == ownedBookType)
        filter.insert(AddressKeys::contactOwner, m_ownerId);
    return filter;
}

QList<Addresses *> Addressbook::getAddresses(int limit, int offset, QMap<QString, QVariant> filter)
{
    return queryAddresses(domain(), bookFilter(std::move(filter)), limit, offset);
}

Addresses *Addressbook::searchAddressByNumber(QString number)
{
    // An owned book without a known owner would match other users' entries.
    if (getType() == ownedBookType && m_ownerId.isEmpty())
        return nullptr;
    const QString e123 = NumberCanonizer::convertToE123(std::move(number));
    for (const QString &field : {AddressKeys::telWorkE123, AddressKeys::telCellE123, AddressKeys::telCellPrivateE123,
                                 AddressKeys::telFaxE123, AddressKeys::telHomeE123, AddressKeys::telFaxHomeE123}) {
        const QList<Addresses *> found = queryAddresses(domain(), bookFilter({{field, e123}}), 0, 0);
        if (!found.isEmpty())
            return found.first();
    }
    return nullptr;
}

QList<Addresses *> Addressbook::queryAddresses(const QString &domain, const QMap<QString, QVariant> &filter, int limit,
                                               int offset)
{
    // Contacts live on the server only; nothing is stored here to search.
    Q_UNUSED(domain)
    Q_UNUSED(filter)
    Q_UNUSED(limit)
    Q_UNUSED(offset)
    return {};
}
