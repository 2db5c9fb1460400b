// Builds without a platform layer: the hot key is never registered, click-to-dial stays inert.
#include "globalshortcut.h"

#include <QGuiApplication>

bool GlobalShortCut::isAvailable()
{
    return false;
}

QString GlobalShortCut::unavailableReason()
{
    return QStringLiteral("this build has no system-wide hot keys (platform \"%1\")").arg(QGuiApplication::platformName());
}

quint32 GlobalShortCut::nativeKeycode(int)
{
    return 0;
}

quint32 GlobalShortCut::nativeModifiers(Qt::KeyboardModifiers)
{
    return 0;
}

bool GlobalShortCut::platformRegister(quint32, quint32, quint32, HotKeyRef *)
{
    return false;
}

bool GlobalShortCut::platformUnregister(quint32, quint32, HotKeyRef)
{
    return false;
}

bool GlobalShortCut::nativeEventFilter(const QByteArray &, void *, long *)
{
    return false;
}
