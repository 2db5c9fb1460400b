#include "notificationfactory.h"

#include "line.h"
#include "notification.h"

Notification *NotificationFactory::buildFromLine(Line *line)
{
    if (!line || line->callCallDirection() != CallDirection::Incoming)
        return nullptr;

    auto *notification = new Notification;
    notification->setType(line->callState() == CallState::Ringing ? NotificationType::Persistent
                                                                   : NotificationType::Silent);
    notification->setTitle(tr("Incoming call!"));
    notification->setRemoteId(line->remoteId());
    const QString name = line->remoteNameFormatted();
    if (name.isEmpty()) {
        notification->setText1(line->remoteNumber());
    } else {
        notification->setText1(name);
        notification->setText2(line->remoteNumber());
    }
    return notification;
}
