#include "modelsubclass.h"

#include "log.h"

#include <QFile>

ModelSubclass::ModelSubclass(const QString &modelName)
    : m_modelName(modelName)
    , m_domain(QStringLiteral("default"))
{
}

ModelSubclass::~ModelSubclass() = default;

QStringList ModelSubclass::getFieldNames()
{
    return {};
}

void ModelSubclass::setValueForKey(const QString &key, const QVariant &value)
{
    bool found = false;
    const int index = m_keys.find(key, &found);
    if (found) {
        if (m_values.at(index) == value)
            return;
        m_values[index] = value;
    } else {
        insert(index, key, value);
    }
    emit changed();
}

QVariant ModelSubclass::valueForKey(const QString &key)
{
    bool found = false;
    const int index = m_keys.find(key, &found);
    if (found)
        return m_values.at(index);
    const auto old = m_oldValues.constFind(key);
    if (old != m_oldValues.cend())
        return old.value();
    insert(index, key, QVariant());
    return QVariant();
}

QVariant ModelSubclass::value(const QString &key) const
{
    const int index = m_keys.indexOf(key);
    if (index >= 0)
        return m_values.at(index);
    return m_oldValues.value(key);
}

void ModelSubclass::insert(int index, const QString &key, const QVariant &value)
{
    m_keys.insert(index, key);
    insertTightly(m_values, index, value);
}

QMap<QString, QVariant> ModelSubclass::getValues() const
{
    QMap<QString, QVariant> values;
    for (int i = 0; i < m_keys.size(); ++i)
        values.insert(values.cend(), m_keys.at(i), m_values.at(i));
    return values;
}

void ModelSubclass::setValues(const QMap<QString, QVariant> &values)
{
    m_keys = KeyList(values);
    QVector<QVariant> list;
    list.reserve(values.size());
    for (const QVariant &value : values)
        list.append(value);
    m_values = std::move(list);
}

bool ModelSubclass::setValues(const KeyList &keys, const QVector<QVariant> &values)
{
    if (values.size() != keys.size())
        return false;
    m_keys = keys;
    m_values = values;
    return true;
}

void ModelSubclass::setDomain(const QString &domain)
{
    m_domain = domain;
}

bool ModelSubclass::save()
{
    return false;
}

void ModelSubclass::buildFromVariantMap(const QMap<QString, QVariant> &map)
{
    // Into an empty record every key lands at the end: room for all at once.
    if (m_keys.isEmpty()) {
        m_keys.reserve(map.size());
        m_values.reserve(map.size());
    }
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        setValueForKey(it.key(), it.value());
        if (it.key() == QLatin1String("id"))
            m_id = it.value().toString();
    }
}

void ModelSubclass::replaceFromVariantMap(const QMap<QString, QVariant> &map)
{
    const KeyList keys = m_keys; // setting a value may reshape the list
    for (int i = 0; i < keys.size(); ++i) {
        if (!map.contains(keys.at(i)))
            setValueForKey(keys.at(i), QVariant());
    }
    buildFromVariantMap(map);
}

bool ModelSubclass::addFileForKey(const QString &key, QFile *file)
{
    Q_UNUSED(key)
    if (!file || !file->open(QIODevice::ReadOnly)) {
        Log::e(QStringLiteral("could not open File ") + (file ? file->fileName() : QString())
                   + QStringLiteral(" for reading."),
               QStringLiteral("cti"));
        return false;
    }
    file->readAll();
    file->close();
    return true;
}

bool ModelSubclass::saveBinaryField(const QString &field, QByteArray *data)
{
    Q_UNUSED(field)
    Q_UNUSED(data)
    return false;
}

QByteArray *ModelSubclass::getBinaryField(const QString &field)
{
    Q_UNUSED(field)
    return nullptr;
}

bool ModelSubclass::deleteModel()
{
    return false;
}
