#include "ucitem.h"

#include <QDateTime>
#include <QStandardItem>

namespace {
const QString keyTyp = QStringLiteral("typ");
const QString keyOwnerId = QStringLiteral("owner_id");
}

const QString UCItem::displayFormat = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss");

UCItem::UCItem()
    : Model<UCItem>(QStringLiteral("UCItem"))
{
}

void UCItem::setTyp(const QString &typ)
{
    setValueForKey(keyTyp, typ);
}

QString UCItem::getTyp()
{
    return valueForKey(keyTyp).toString();
}

QString UCItem::getOwnerId()
{
    return valueForKey(keyOwnerId).toString();
}

QStandardItem *UCItem::toStandardItem() const
{
    // Read from a copy of the map: looking up an absent key through valueForKey() would add it.
    const QVariantMap values = getValues();
    QDateTime local = values.value(QStringLiteral("timestamp")).toDateTime(); // invalid unless ISO text
    local.setTimeSpec(Qt::UTC);
    local = local.toLocalTime();

    auto *item = new QStandardItem(local.toString(displayFormat));
    item->setData(values.value(QStringLiteral("remote_number")), RemoteNumberRole);
    item->setData(values.value(QStringLiteral("state")), StateRole);
    item->setData(values.value(QStringLiteral("firstname")), FirstNameRole);
    item->setData(values.value(QStringLiteral("lastname")), LastNameRole);
    item->setData(values.value(QStringLiteral("company")), CompanyRole);
    item->setData(local, DateTimeRole);
    item->setData(values.value(QStringLiteral("direction")), DirectionRole);
    item->setData(values.value(QStringLiteral("duration")), DurationRole);
    item->setData(values.value(QStringLiteral("typ")), TypRole);
    item->setData(values.value(QStringLiteral("callid")), CallIdRole);
    item->setData(values.value(QStringLiteral("caller_addressbook_id")), AddressbookIdRole);
    return item;
}
