#pragma once

#include <QString>

//! What kind of desktop session the client runs in, as the session's environment says. Under a
//! Wayland compositor Qt 5 runs the client through XWayland: an X11 key grab then succeeds but
//! hears keys only while an X11 window has the focus, so the session, not the display
//! connection, decides whether a grab reaches the whole desktop.
class DesktopSession final
{
public:
    DesktopSession() = delete;

    enum class Kind {
        X11,     //!< an X11 session: a key grab reaches every program
        Wayland, //!< a Wayland session (the client on XWayland or native): no grab reaches it all
        None,    //!< no display at all (a headless run)
    };

    enum class Desktop { Gnome, Kde, Xfce, Other };

    //! XDG_SESSION_TYPE where it is set, else whether WAYLAND_DISPLAY is, else the platform.
    static Kind kind();
    //! The first desktop of XDG_CURRENT_DESKTOP that is known here.
    static Desktop desktop();
};
