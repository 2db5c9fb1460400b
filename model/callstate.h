#pragma once

#include "calldirection.h"

#include <QObject>
#include <QPixmap>
#include <QSize>

//! The state of a call as the server reports it in "state". States below Ended keep a line open;
//! Ended and every higher value end it. The ended states differ only in their picture.
class CallState
{
    Q_GADGET

public:
    enum State : int {
        NoState = 0,
        Ringing = 1,
        Connected = 2, //!< the line's duration clock runs
        Ended = 3,
        EndedYellow = 4,
        Ended5 = 5,
        Ended6 = 6,
        EndedRed = 7,
        EndedGreen = 8,
    };
    Q_ENUM(State)

    //! The call-state picture (":/images/call_states/" + "in_"/"out_" + name + ".png") at the requested
    //! logical size and the screens' device pixel ratio; a null pixmap for a state without a picture (0, 3, 5, 6 and anything outside 0 to 8).
    static QPixmap callStateToIcon(State state, CallDirection::Direction direction, QSize size);
    //! The resource path of that picture, or an empty string where there is none.
    static QString iconPath(State state, CallDirection::Direction direction);
};
