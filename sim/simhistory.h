#pragma once

#include "simhub.h"

#include <QHash>
#include <QJsonObject>
#include <QList>

class SimAddressBooks;
class SimPresence;

// Each user's conversation history: the scenario's items, generated past calls, and every
// call that ends on the user's lines.
class SimHistory
{
public:
    SimHistory(SimHub &hub, const SimAddressBooks &books, const SimPresence &presence);

    static bool checkSection(const QJsonValue &section, QString *error);
    void reset(const QJsonValue &section);   // after the books and colleagues: callers come from them

    using Handler = void (SimHistory::*)(const SimHub::Request &);
    static const QHash<QString, Handler> &handlers();

    QList<QJsonObject> items(const QString &user) const;   // oldest first
    // Files an item under a new id, returned; the client learns of it with the next request.
    QString addItem(const QString &user, QJsonObject item);

    static constexpr int MaxItems = 1000;   // per user; the oldest go first
    // Conversation items carry UTC in ISO form, unlike line status.
    static QString timestamp(const QDateTime &time);

private:
    struct Config
    {
        int generate = 0;
        int days = 14;
        quint32 seed = 1;
        QList<QJsonObject> items;
    };
    static bool parse(const QJsonValue &section, Config *config, QString *error);

    void requestUCItems(const SimHub::Request &request);
    QList<QJsonObject> &itemsOf(const QString &user);
    QString nextId();

    SimHub &m_hub;
    const SimAddressBooks &m_books;
    const SimPresence &m_presence;
    QList<QJsonObject> m_scenario;
    QHash<QString, QList<QJsonObject>> m_users;
    int m_lastId = 0;
};
