#pragma once

class Notification;
class RollOverPopUp;

//! Builds the pop-up that shows a notification.
class RollOverPopUpFactory final
{
public:
    //! A new pop-up without parent, not yet rolled in; it deletes itself once rolled out.
    static RollOverPopUp *buildFromNotification(Notification *notification);

private:
    RollOverPopUpFactory() = delete;
};
