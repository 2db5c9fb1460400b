#include "notification.h"

#include "rolloverpopup.h"
#include "rolloverpopupfactory.h"

Notification::Notification()
    : Model<Notification>(QStringLiteral("Notification"))
{
}

NotificationType::Type Notification::type()
{
    return static_cast<NotificationType::Type>(valueForKey(NotificationKeys::type).toInt());
}

void Notification::setType(NotificationType::Type type)
{
    setValueForKey(NotificationKeys::type, int(type));
}

QString Notification::remoteId()
{
    return valueForKey(NotificationKeys::remoteId).toString();
}

void Notification::setRemoteId(const QString &remoteId)
{
    setValueForKey(NotificationKeys::remoteId, remoteId);
}

QString Notification::title()
{
    return valueForKey(NotificationKeys::title).toString();
}

void Notification::setTitle(const QString &title)
{
    setValueForKey(NotificationKeys::title, title);
}

QString Notification::text1()
{
    return valueForKey(NotificationKeys::text1).toString();
}

void Notification::setText1(const QString &text)
{
    setValueForKey(NotificationKeys::text1, text);
}

QString Notification::text2()
{
    return valueForKey(NotificationKeys::text2).toString();
}

void Notification::setText2(const QString &text)
{
    setValueForKey(NotificationKeys::text2, text);
}

void Notification::submit()
{
    const NotificationType::Type kind = type();
    if (kind == NotificationType::Silent) {
        // Nobody keeps a notification after submitting it.
        deleteLater();
        return;
    }
    m_popup = RollOverPopUpFactory::buildFromNotification(this);
    // Freed with the pop-up, which discards itself after rolling out.
    setParent(m_popup);
    m_popup->rollIn(kind == NotificationType::Persistent ? -1 : timedDurationMs);
}

RollOverPopUp *Notification::popup() const
{
    return m_popup;
}

void Notification::hidePopup()
{
    if (m_popup)
        m_popup->rollOut();
}
