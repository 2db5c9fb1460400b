#include "windowgeometry.h"

#include "settings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
int storedInt(const QString &key, int fallback)
{
    bool ok = false;
    const int value = Settings::instance()->getValueForKey(key, fallback).toInt(&ok);
    // Something hand-edited into the file that is no number: keep the window where it is.
    return ok ? value : fallback;
}
}

void WindowGeometry::restore(QWidget *window, const QString &partName)
{
    const int x = storedInt(partName + QStringLiteral("/x"), window->x());
    const int y = storedInt(partName + QStringLiteral("/y"), window->y());
    window->move(x, y);
    int width = storedInt(partName + QStringLiteral("/width"), window->width());
    int height = storedInt(partName + QStringLiteral("/height"), window->height());
    // A size saved when the window had grown past the screen (or on a bigger screen) comes back
    // no larger than the screen the window is on.
    QScreen *screen = QGuiApplication::screenAt(QPoint(x, y));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect available = screen->availableGeometry();
        width = qMin(width, available.width());
        height = qMin(height, available.height());
    }
    window->resize(width, height);
}

void WindowGeometry::save(const QWidget *window, const QString &partName)
{
    save(window, partName, window->size());
}

void WindowGeometry::save(const QWidget *window, const QString &partName, const QSize &size)
{
    Settings *settings = Settings::instance();
    settings->setValueForKey(partName + QStringLiteral("/x"), window->x());
    settings->setValueForKey(partName + QStringLiteral("/y"), window->y());
    settings->setValueForKey(partName + QStringLiteral("/width"), size.width());
    settings->setValueForKey(partName + QStringLiteral("/height"), size.height());
}
