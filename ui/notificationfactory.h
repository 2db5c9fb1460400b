#pragma once

#include <QCoreApplication>

class Line;
class Notification;

//! Decides whether a line event deserves a notification, and builds it.
class NotificationFactory final
{
    Q_DECLARE_TR_FUNCTIONS(NotificationFactory)

public:
    //! A new notification for an incoming line (Persistent while it rings, Silent otherwise), to be
    //! submitted by the caller; null for an outgoing line.
    static Notification *buildFromLine(Line *line);

private:
    NotificationFactory() = delete;
};
