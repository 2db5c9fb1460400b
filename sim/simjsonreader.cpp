#include "simjsonreader.h"

#include <cmath>

SimJsonReader::SimJsonReader(const QJsonValue &value, const QString &path)
    : SimJsonReader(value, path, std::make_shared<QString>())
{
}

SimJsonReader::SimJsonReader(const QJsonValue &value, const QString &path, std::shared_ptr<QString> error)
    : m_object(value.toObject())
    , m_path(path)
    , m_error(std::move(error))
{
    if (!value.isObject() && !value.isUndefined())
        fail(QStringLiteral("must be an object"));
}

void SimJsonReader::fail(const QString &problem)
{
    if (m_error->isEmpty())
        *m_error = m_path % QStringLiteral(": ") % problem;
}

void SimJsonReader::fail(const QString &key, const QString &problem)
{
    if (m_error->isEmpty())
        *m_error = m_path % QLatin1Char('.') % key % QStringLiteral(": ") % problem;
}

QString SimJsonReader::string(const QString &key, const QString &fallback)
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isString())
        fail(key, QStringLiteral("must be a string"));
    return value.toString();
}

QString SimJsonReader::requiredString(const QString &key)
{
    const QString text = string(key);
    if (text.isEmpty())
        fail(key, QStringLiteral("must be a non-empty string"));
    return text;
}

int SimJsonReader::integer(const QString &key, int fallback, int min, int max)
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined())
        return fallback;
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || number != std::floor(number) || number < min || number > max) {
        fail(key, QStringLiteral("must be a whole number from %1 to %2").arg(min).arg(max));
        return fallback;
    }
    return int(number);
}

double SimJsonReader::number(const QString &key, double fallback, double min, double max)
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isDouble() || value.toDouble() < min || value.toDouble() > max) {
        fail(key, QStringLiteral("must be a number from %1 to %2").arg(min).arg(max));
        return fallback;
    }
    return value.toDouble();
}

quint32 SimJsonReader::seed(const QString &key)
{
    const double value = number(key, 1, 0, 4294967295.0);
    if (value != std::floor(value))
        fail(key, QStringLiteral("must be a whole number"));
    return quint32(value);
}

bool SimJsonReader::boolean(const QString &key, bool fallback)
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isBool())
        fail(key, QStringLiteral("must be true or false"));
    return value.toBool(fallback);
}

QStringList SimJsonReader::strings(const QString &key)
{
    QStringList list;
    const QJsonArray values = array(key);
    for (const QJsonValue &value : values) {
        if (!value.isString()) {
            fail(key, QStringLiteral("must be an array of strings"));
            return {};
        }
        list.append(value.toString());
    }
    return list;
}

QJsonArray SimJsonReader::array(const QString &key)
{
    const QJsonValue value = m_object.value(key);
    if (!value.isUndefined() && !value.isArray())
        fail(key, QStringLiteral("must be an array"));
    return value.toArray();
}

SimRange SimJsonReader::range(const QString &key, SimRange fallback)
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined())
        return fallback;
    const QJsonArray pair = value.toArray();
    const QJsonValue low = value.isArray() ? pair.at(0) : value;
    const QJsonValue high = value.isArray() ? pair.at(1) : value;
    const bool fits = (value.isDouble() || (value.isArray() && pair.size() == 2)) && low.isDouble()
        && high.isDouble() && low.toDouble() >= 0 && high.toDouble() >= low.toDouble()
        && high.toDouble() <= INT_MAX;
    if (!fits) {
        fail(key, QStringLiteral("must be milliseconds, or [least, most]"));
        return fallback;
    }
    return {int(low.toDouble()), int(high.toDouble())};
}

SimJsonReader SimJsonReader::child(const QString &key)
{
    return SimJsonReader(m_object.value(key), m_path % QLatin1Char('.') % key, m_error);
}

SimJsonReader SimJsonReader::element(const QString &arrayKey, int index)
{
    const QJsonValue value = m_object.value(arrayKey).toArray().at(index);
    return SimJsonReader(value.isUndefined() ? QJsonValue(QJsonValue::Null) : value,
                         m_path % QLatin1Char('.') % arrayKey % QStringLiteral("[%1]").arg(index), m_error);
}

void SimJsonReader::allowOnly(std::initializer_list<const char *> keys)
{
    for (auto it = m_object.begin(); it != m_object.end(); ++it) {
        bool known = false;
        for (const char *key : keys)
            known = known || it.key() == QLatin1String(key);
        if (!known) {
            fail(it.key(), QStringLiteral("unknown key"));
            return;
        }
    }
}
