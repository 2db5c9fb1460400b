#pragma once

#include <QObject>

//! The direction of a call as the server reports it in "direction".
class CallDirection
{
    Q_GADGET

public:
    enum Direction : int {
        Outgoing = 0,
        Incoming = 1,
    };
    Q_ENUM(Direction)
};
