#pragma once

#include <QString>

class QSize;
class QWidget;

//! Where a window stood and how big it was, kept in the settings under its part name
//! ("<part>/x", "/y", "/width", "/height"). Positions are frame positions, as move() takes them.
class WindowGeometry final
{
public:
    //! Moves and resizes the window to what was stored; a value never stored keeps the current one.
    static void restore(QWidget *window, const QString &partName);
    static void save(const QWidget *window, const QString &partName);
    //! As save(), with a size other than the window's current one.
    static void save(const QWidget *window, const QString &partName, const QSize &size);

private:
    WindowGeometry() = delete;
};
