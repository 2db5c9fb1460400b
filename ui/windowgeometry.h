#pragma once

#include <QString>

class QPoint;
class QRect;
class QSize;
class QWidget;

//! Where a window stood and how big it was, kept in the settings under its part name
//! ("<part>/x", "/y", "/width", "/height"). Positions are frame positions, as move() takes them.
class WindowGeometry final
{
public:
    //! Moves and resizes the window to what was stored, kept inside the available area of a
    //! screen that is there now; a value never stored keeps the current one. Returns whether a
    //! position was stored: without one the window is not moved, and its owner places it.
    static bool restore(QWidget *window, const QString &partName);
    static void save(const QWidget *window, const QString &partName);
    //! As save(), with a frame position and size other than the window's current ones.
    static void save(const QString &partName, const QPoint &position, const QSize &size);

    //! The frame moved into the area, and cut to it where it is bigger.
    static QRect keptInside(const QRect &frame, const QRect &area);
    //! Where a frame of that size stands inside the area without covering the obstacle: at the
    //! area's top left if that is clear, else beside the obstacle (below, right, above, left).
    static QPoint clearOf(const QRect &obstacle, const QSize &frame, const QRect &area);

private:
    WindowGeometry() = delete;
};
