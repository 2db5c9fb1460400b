// Buddies and presence: the colleague list, loaded once, kept current by presence events.
#include "cticonnector.h"

#include "user.h"

namespace {
const QString keyGroups = QStringLiteral("groups");
const QString keyUsers = QStringLiteral("users");
}

QList<QVariantMap> CTIConnector::objectMembers(const QVariant &value)
{
    QList<QVariantMap> members;
    if (value.userType() != QMetaType::QVariantMap)
        return members;
    const QVariantMap object = value.toMap();
    for (auto it = object.cbegin(); it != object.cend(); ++it) {
        if (it.value().userType() == QMetaType::QVariantMap)
            members.append(it.value().toMap());
    }
    return members;
}

void CTIConnector::requestJabberBuddies()
{
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("requestJabberBuddies"));
    sendMessage(message);
}

void CTIConnector::handleResponse_requestJabberBuddies(CTIMessage &message)
{
    // Receivers were told not to keep the stand-ins of the previous list; deferred, so a queued
    // delivery of theirs still finds them.
    for (User *user : qAsConst(m_repeatedBuddies))
        user->deleteLater();
    m_repeatedBuddies.clear();

    // The list is the server's whole picture: who it no longer lists has gone. A list of another
    // shape says nothing.
    const QVariant groups = message.valueForKey(keyGroups);
    QSet<QString> listed;
    for (const QVariantMap &group : objectMembers(groups)) {
        for (const QVariantMap &entry : objectMembers(group.value(keyUsers))) {
            auto *user = new User;
            user->setParent(this);
            user->buildFromVariantMap(entry);
            listed.insert(user->id());
            if (User *stored = m_buddies.value(user->id())) {
                // Listed again: the first record stays in the map and takes the new values (a
                // list asked for after a reconnection brings what changed meanwhile); the new
                // record goes out as is.
                stored->replaceFromVariantMap(entry);
                m_repeatedBuddies.append(user);
                emit jabberBuddyChanged(user);
            } else {
                m_buddies.insert(user->id(), user);
                emit jabberBuddyAdded(user);
            }
        }
    }
    if (groups.userType() == QMetaType::QVariantMap)
        dropUnlisted(m_buddies, listed, &CTIConnector::jabberBuddyDeleted);
}

void CTIConnector::handleEvent_updateUserPresence(CTIMessage &message)
{
    // An event without id must not land on a colleague that was listed without one.
    const QString id = message.valueForKey(UserKeys::id).toString();
    if (id.isEmpty())
        return;
    User *user = m_buddies.value(id);
    if (!user)
        return;
    user->buildFromVariantMap(message.getDataMap());
    emit jabberBuddyChanged(user);
}
