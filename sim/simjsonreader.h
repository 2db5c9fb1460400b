#pragma once

#include "simrange.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <climits>
#include <initializer_list>
#include <memory>

// Reads one object of a scenario file. Keeps the first problem together with the path to it
// ("[2].id: must be ..."), so parsers read straight on and check once at the end.
class SimJsonReader
{
public:
    explicit SimJsonReader(const QJsonValue &value, const QString &path = QString());

    bool isOk() const { return m_error->isEmpty(); }
    QString error() const { return *m_error; }
    const QJsonObject &object() const { return m_object; }
    bool has(const QString &key) const { return m_object.contains(key); }

    QString string(const QString &key, const QString &fallback = QString());
    QString requiredString(const QString &key);   // present and not empty
    int integer(const QString &key, int fallback, int min = 0, int max = INT_MAX);
    double number(const QString &key, double fallback, double min, double max);
    bool boolean(const QString &key, bool fallback);
    quint32 seed(const QString &key);   // any 32-bit number; 1 when absent
    QStringList strings(const QString &key);
    QJsonArray array(const QString &key);
    SimRange range(const QString &key, SimRange fallback);   // milliseconds: n or [min, max]

    // Share this reader's error; an absent member reads as an empty object.
    SimJsonReader child(const QString &key);
    SimJsonReader element(const QString &arrayKey, int index);   // of array(arrayKey)

    // A key nobody reads is a typo in the file; better told than silently ignored.
    void allowOnly(std::initializer_list<const char *> keys);
    void fail(const QString &problem);
    void fail(const QString &key, const QString &problem);

private:
    SimJsonReader(const QJsonValue &value, const QString &path, std::shared_ptr<QString> error);

    QJsonObject m_object;
    QString m_path;
    std::shared_ptr<QString> m_error;
};
