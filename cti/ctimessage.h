#pragma once

#include "ctimessagetype.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QString>
#include <QVariant>

//! One protocol message as a value: type, name, correlation id and a flat data object.
//! The wire form is compact JSON with the keys "data", "name", "type", "uuid" in that order.
class CTIMessage
{
public:
    CTIMessage() = default;

    static CTIMessage generateCommand(const QString &name);
    static CTIMessage generateEvent(const QString &name);
    //! A response carrying this message's name and uuid() (which fills the uuid if it was empty).
    CTIMessage generateResponse();
    //! Never fails: text that is not a JSON object gives a message of type none with empty data.
    static CTIMessage fromJSON(const QByteArray &bytes);
    //! The same from an already parsed top-level object.
    static CTIMessage fromJSONObject(const QJsonObject &root);

    CTIMessageType::Type type() const { return m_type; }
    void setType(CTIMessageType::Type type) { m_type = type; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    //! The id, created on first read; a received message therefore gets a fresh one.
    QString uuid();
    void setUuid(const QString &uuid) { m_uuid = uuid; }

    void setValueForKey(const QString &key, const QJsonValue &value);
    void setValueForKey(const QString &key, int value);
    void setValueForKey(const QString &key, const char *value);
    void setValueForKey(const QString &key, const QString &value);
    //! Written as standard Base64 text.
    void setValueForKey(const QString &key, const QByteArray &value);
    //! Written as an object whose values are all in string form.
    void setValueForKey(const QString &key, const QMap<QString, QVariant> &value);

    //! String, double, bool, QVariantMap or QVariantList; missing or null gives an invalid variant.
    QVariant valueForKey(const QString &key) const;
    QVariantMap getDataMap() const;
    //! The conversion valueForKey() uses, for callers that read JSON of their own.
    static QVariant variantFromJson(const QJsonValue &value);
    const QJsonObject &data() const { return m_data; }
    void setData(const QJsonObject &data) { m_data = data; }

    //! The wire form; fills the uuid if it was empty.
    QByteArray toJSON();

private:
    QString m_name;
    QString m_uuid;
    QJsonObject m_data;
    CTIMessageType::Type m_type = CTIMessageType::none;
};
