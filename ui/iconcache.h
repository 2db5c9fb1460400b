#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

//! Icons and pictures from the resources, made once each and shared. An icon decodes its file
//! when made and caches its pixmaps under its own identity: a new one per call view or pop-up
//! would decode again and leave a cache entry per window behind.
//!
//! Every image ":/images/x.png" has renderings "x@2x.png" and "x@3x.png" beside it; what this
//! class hands out carries the device pixel ratio of the screen, with its pixels taken from the
//! rendering that has enough of them, so a dense screen never shows a magnified bitmap.
class IconCache final
{
public:
    //! Main thread only; the icon lives to the end of the process.
    static const QIcon &icon(const QString &path);

    //! The picture at a logical size (its own size when none is given).
    static QPixmap pixmap(const QString &path, QSize size = QSize());

    //! A one-colour glyph whose ink follows the application palette's button text whenever the
    //! drawn ink would be too dark to read (a dark theme, and always when disabled); on light
    //! buttons it keeps its own ink. Main thread only; lives to the end of the process.
    static const QIcon &glyph(const QString &path);

    //! The glyph at a logical size, inked with the given colour unless that colour is dark.
    static QPixmap glyphPixmap(const QString &path, QSize size, const QColor &ink);

private:
    IconCache() = delete;
};
