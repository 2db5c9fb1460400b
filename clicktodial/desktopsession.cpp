#include "desktopsession.h"

#include <QGuiApplication>
#include <QStringList>

DesktopSession::Kind DesktopSession::kind()
{
    // The session's own word first: a nested compositor may set WAYLAND_DISPLAY in an X11 session.
    const QString type = qEnvironmentVariable("XDG_SESSION_TYPE").trimmed().toLower();
    if (type == QLatin1String("wayland"))
        return Kind::Wayland;
    const QString platform = QGuiApplication::platformName();
    if (type != QLatin1String("x11") && !qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty())
        return Kind::Wayland;
    if (platform.startsWith(QLatin1String("wayland")))
        return Kind::Wayland;
    if (platform == QLatin1String("xcb"))
        return Kind::X11;
    return Kind::None;
}

DesktopSession::Desktop DesktopSession::desktop()
{
    // A list such as "ubuntu:GNOME": the more general names come later.
    const QStringList names = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &name : names) {
        const QString known = name.trimmed().toUpper();
        if (known == QLatin1String("GNOME"))
            return Desktop::Gnome;
        if (known == QLatin1String("KDE"))
            return Desktop::Kde;
        if (known == QLatin1String("XFCE"))
            return Desktop::Xfce;
    }
    return Desktop::Other;
}
