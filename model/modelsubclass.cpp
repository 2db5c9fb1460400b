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
    auto it = m_values.find(key);
    if (it != m_values.end()) {
        if (it.value() == value)
            return;
        it.value() = value;
    } else {
        m_values.insert(key, value);
    }
    emit changed();
}

QVariant ModelSubclass::valueForKey(const QString &key)
{
    const auto it = m_values.constFind(key);
    if (it != m_values.cend())
        return it.value();
    const auto old = m_oldValues.constFind(key);
    if (old != m_oldValues.cend())
        return old.value();
    m_values.insert(key, QVariant());
    return QVariant();
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
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        setValueForKey(it.key(), it.value());
        if (it.key() == QLatin1String("id"))
            m_id = it.value().toString();
    }
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
