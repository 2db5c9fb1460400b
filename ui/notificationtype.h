#pragma once

#include <QObject>

//! How a notification is shown. Any value other than the two named ones is a pop-up that
//! rolls out by itself.
class NotificationType
{
    Q_GADGET

public:
    enum Type : int {
        Persistent = 0, //!< stays until a line event rolls it out
        Silent = 1,     //!< never shown
        Timed = 2,      //!< rolls out a while after it rolled in
    };
    Q_ENUM(Type)
};
