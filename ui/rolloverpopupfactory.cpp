#include "rolloverpopupfactory.h"

#include "iconcache.h"
#include "notification.h"
#include "rolloverpopup.h"

RollOverPopUp *RollOverPopUpFactory::buildFromNotification(Notification *notification)
{
    auto *popup = new RollOverPopUp;
    popup->setTitle(notification->title());
    popup->setInnerTextLine1(notification->text1());
    popup->setInnerTextLine2(notification->text2());

    if (notification->type() != NotificationType::Persistent) {
        popup->setIcon(IconCache::icon(QStringLiteral(":/images/appicon.png")));
        return popup;
    }
    const QString remoteId = notification->remoteId();
    if (!remoteId.isNull())
        popup->setAddressbookId(remoteId);
    popup->setIcon(IconCache::icon(QStringLiteral(":/images/call_states/in_ring_yellow.png")));
    return popup;
}
