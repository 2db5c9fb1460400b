#include "ctimessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace {
const QString keyType = QStringLiteral("type");
const QString keyName = QStringLiteral("name");
const QString keyUuid = QStringLiteral("uuid");
const QString keyData = QStringLiteral("data");

// Like QJsonValue::toVariant, but numbers read as double and null as an invalid variant at every depth.
QVariant toVariant(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        QVariantMap map;
        for (auto it = object.begin(); it != object.end(); ++it)
            map.insert(it.key(), toVariant(it.value()));
        return map;
    }
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        QVariantList list;
        list.reserve(array.size());
        for (const QJsonValue &item : array)
            list.append(toVariant(item));
        return list;
    }
    case QJsonValue::Double:
        return value.toDouble(); // Qt would keep integral numbers as qint64
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return QVariant();
    default:
        return value.toVariant();
    }
}
}

CTIMessage CTIMessage::generateCommand(const QString &name)
{
    CTIMessage message;
    message.m_type = CTIMessageType::command;
    message.m_name = name;
    return message;
}

CTIMessage CTIMessage::generateEvent(const QString &name)
{
    CTIMessage message;
    message.m_type = CTIMessageType::event;
    message.m_name = name;
    return message;
}

CTIMessage CTIMessage::generateResponse()
{
    CTIMessage message;
    message.m_type = CTIMessageType::response;
    message.m_name = m_name;
    message.m_uuid = uuid();
    return message;
}

CTIMessage CTIMessage::fromJSON(const QByteArray &bytes)
{
    // A parse failure or a top-level array both give an empty object.
    return fromJSONObject(QJsonDocument::fromJson(bytes).object());
}

CTIMessage CTIMessage::fromJSONObject(const QJsonObject &root)
{
    CTIMessage message;
    message.m_type = CTIMessageType::fromString(root.value(keyType).toString());
    message.m_name = root.value(keyName).toString();
    message.m_data = root.value(keyData).toObject();
    return message;
}

QString CTIMessage::uuid()
{
    if (m_uuid.isEmpty())
        m_uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return m_uuid;
}

void CTIMessage::setValueForKey(const QString &key, const QJsonValue &value)
{
    m_data.insert(key, value);
}

void CTIMessage::setValueForKey(const QString &key, int value)
{
    m_data.insert(key, value);
}

void CTIMessage::setValueForKey(const QString &key, const char *value)
{
    m_data.insert(key, value ? QString::fromUtf8(value) : QString());
}

void CTIMessage::setValueForKey(const QString &key, const QString &value)
{
    m_data.insert(key, value);
}

void CTIMessage::setValueForKey(const QString &key, const QByteArray &value)
{
    m_data.insert(key, QString::fromLatin1(value.toBase64()));
}

void CTIMessage::setValueForKey(const QString &key, const QMap<QString, QVariant> &value)
{
    QJsonObject object;
    for (auto it = value.cbegin(); it != value.cend(); ++it)
        object.insert(it.key(), it.value().toString());
    m_data.insert(key, object);
}

QVariant CTIMessage::valueForKey(const QString &key) const
{
    return toVariant(m_data.value(key));
}

QVariant CTIMessage::variantFromJson(const QJsonValue &value)
{
    return toVariant(value);
}

QVariantMap CTIMessage::getDataMap() const
{
    return toVariant(m_data).toMap();
}

QByteArray CTIMessage::toJSON()
{
    QJsonObject object;
    object.insert(keyType, CTIMessageType::toString(m_type));
    object.insert(keyName, m_name);
    object.insert(keyUuid, uuid());
    object.insert(keyData, m_data);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
