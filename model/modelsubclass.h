#pragma once

#include "keylist.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QFile;

//! Base of every cached record: the free-form key/value pairs the server sent, plus id, model
//! name and domain. changed() fires once for every real change of a value.
//! The keys sit in a list that records with the same keys share (see KeyList), the values in a
//! vector beside it: a tree node per value would be most of a contact's heap.
class ModelSubclass : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ModelSubclass)

public:
    explicit ModelSubclass(const QString &modelName);
    ~ModelSubclass() override;

    virtual QStringList getFieldNames();
    //! Stores the value and emits changed() once, unless an equal value (QVariant equality) is stored.
    virtual void setValueForKey(const QString &key, const QVariant &value);
    //! Values first, then old values. An absent key is remembered with an invalid value (no signal).
    virtual QVariant valueForKey(const QString &key);
    //! What valueForKey() gives, without remembering an absent key: for readers that only look,
    //! such as lists over thousands of records.
    QVariant value(const QString &key) const;
    virtual void setDomain(const QString &domain);
    virtual bool save();

    //! Sets every entry in ascending key order; "id" also sets the id. Absent keys keep their values.
    void buildFromVariantMap(const QMap<QString, QVariant> &map);
    //! As buildFromVariantMap(), but keys the map lacks read as absent, as on a fresh record.
    void replaceFromVariantMap(const QMap<QString, QVariant> &map);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_modelName; }
    void setModelName(const QString &modelName) { m_modelName = modelName; }
    QString domain() const { return m_domain; }

    //! A copy of the values, made on each call.
    QMap<QString, QVariant> getValues() const;
    QMap<QString, QVariant> getOldValues() const { return m_oldValues; }
    void setValues(const QMap<QString, QVariant> &values);
    //! Replaces the values with keys.at(i) -> values.at(i), sharing the key list and the vector.
    //! Returns false, changing nothing, unless there are as many values as keys.
    bool setValues(const KeyList &keys, const QVector<QVariant> &values);
    void setOldValues(const QMap<QString, QVariant> &values) { m_oldValues = values; }

    //! Reads the file to check it is readable; the content is not kept.
    bool addFileForKey(const QString &key, QFile *file);

    // Persistence hooks; no record of this client persists itself.
    Q_INVOKABLE bool saveBinaryField(const QString &field, QByteArray *data);
    Q_INVOKABLE QByteArray *getBinaryField(const QString &field);
    Q_INVOKABLE bool deleteModel();

signals:
    void changed();
    void saved();

private:
    void insert(int index, const QString &key, const QVariant &value);

    QString m_modelName;
    QString m_id;
    QString m_domain;
    KeyList m_keys;
    QVector<QVariant> m_values; // m_values[i] belongs to m_keys.at(i)
    QMap<QString, QVariant> m_oldValues;
};
