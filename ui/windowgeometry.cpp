#include "windowgeometry.h"

#include "settings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {
int storedInt(const QString &key, int fallback, bool *stored = nullptr)
{
    bool ok = false;
    const int value = Settings::instance()->getValueForKey(key).toInt(&ok);
    if (stored)
        *stored = ok;
    // Something hand-edited into the file that is no number: keep the window where it is.
    return ok ? value : fallback;
}

//! The screen that shows most of the rectangle; the primary one when none shows any of it
//! (a screen that was attached when the window was saved and is gone now).
const QScreen *screenShowing(const QRect &frame)
{
    const QScreen *best = QGuiApplication::primaryScreen();
    int bestArea = 0;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect shown = screen->geometry() & frame;
        if (shown.width() * shown.height() > bestArea) {
            best = screen;
            bestArea = shown.width() * shown.height();
        }
    }
    return best;
}
}

bool WindowGeometry::restore(QWidget *window, const QString &partName)
{
    bool hasX = false;
    bool hasY = false;
    const int x = storedInt(partName + QStringLiteral("/x"), window->x(), &hasX);
    const int y = storedInt(partName + QStringLiteral("/y"), window->y(), &hasY);
    const int width = storedInt(partName + QStringLiteral("/width"), window->width());
    const int height = storedInt(partName + QStringLiteral("/height"), window->height());
    // The frame margins are known only for a window shown before; the frame comes back inside
    // the screen, and no larger than it (a window that had grown past it, a bigger screen).
    const QRect client = window->geometry();
    const QRect framed = window->frameGeometry();
    const QSize margins = framed.size() - client.size();
    QRect frame(x, y, width + margins.width(), height + margins.height());
    if (const QScreen *screen = screenShowing(frame))
        frame = keptInside(frame, screen->availableGeometry());
    if (hasX || hasY)
        window->move(frame.topLeft());
    window->resize(frame.size() - margins);
    return hasX || hasY;
}

void WindowGeometry::save(const QWidget *window, const QString &partName)
{
    save(partName, window->pos(), window->size());
}

void WindowGeometry::save(const QString &partName, const QPoint &position, const QSize &size)
{
    Settings *settings = Settings::instance();
    settings->setValueForKey(partName + QStringLiteral("/x"), position.x());
    settings->setValueForKey(partName + QStringLiteral("/y"), position.y());
    settings->setValueForKey(partName + QStringLiteral("/width"), size.width());
    settings->setValueForKey(partName + QStringLiteral("/height"), size.height());
}

QRect WindowGeometry::keptInside(const QRect &frame, const QRect &area)
{
    const QSize size = frame.size().boundedTo(area.size());
    const int x = std::clamp(frame.x(), area.left(), area.left() + area.width() - size.width());
    const int y = std::clamp(frame.y(), area.top(), area.top() + area.height() - size.height());
    return QRect(QPoint(x, y), size);
}

QPoint WindowGeometry::clearOf(const QRect &obstacle, const QSize &frame, const QRect &area)
{
    const QPoint candidates[] = {
        area.topLeft(),
        {area.left(), obstacle.bottom() + 1},
        {obstacle.right() + 1, area.top()},
        {area.left(), obstacle.top() - frame.height()},
        {obstacle.left() - frame.width(), area.top()},
    };
    for (const QPoint &candidate : candidates) {
        const QRect placed(candidate, frame);
        if (area.contains(placed) && !placed.intersects(obstacle))
            return candidate;
    }
    // No room beside it: below it as far as the area allows.
    return keptInside(QRect(candidates[1], frame), area).topLeft();
}
