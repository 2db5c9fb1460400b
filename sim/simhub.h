#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class SimConnection;

// What a protocol domain needs from the server around it: answering the connection that asked
// and telling logged-in clients about changes. Domains never see sockets.
class SimHub
{
public:
    struct Request
    {
        SimConnection *connection = nullptr;
        QString user;   // the connection's logged-in user
        QString name;
        QString uuid;
        QJsonObject data;

        // The member as text when it is one, otherwise the null string: clients send garbage too.
        QString string(const QString &key) const
        {
            const QJsonValue value = data.value(key);
            return value.isString() ? value.toString() : QString();
        }
    };

    virtual void reply(const Request &request, const QJsonObject &data) = 0;
    // For pages too big to build as QJsonObject: data given as compact JSON text.
    virtual void replyText(const Request &request, const QByteArray &dataJson) = 0;
    // Return how many connections got the event.
    virtual int notifyUser(const QString &user, const QString &event, const QJsonObject &data) = 0;
    virtual int notifyAll(const QString &event, const QJsonObject &data,
                          const SimConnection *except = nullptr) = 0;
    virtual QStringList loggedInUsers() const = 0;   // distinct, sorted

protected:
    ~SimHub() = default;
};
