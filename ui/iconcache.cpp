#include "iconcache.h"

#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>

namespace {
// Glyphs are drawn in a dark slate; an ink at least this light is meant for a dark ground.
constexpr int lightInk = 128;

qreal screenRatio()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

//! Draws a glyph inked from the application palette at the moment it is drawn, so a theme
//! changed while the program runs reaches the buttons too.
class GlyphEngine final : public QIconEngine
{
public:
    explicit GlyphEngine(const QString &path)
        : m_path(path)
    {
    }

    QIconEngine *clone() const override { return new GlyphEngine(m_path); }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        Q_UNUSED(state)
        // QIcon asks in device pixels: the picture is made at that size, at ratio 1.
        const QPalette palette = QGuiApplication::palette();
        QColor ink = palette.color(QPalette::Active, QPalette::ButtonText);
        if (mode == QIcon::Disabled)
            ink = palette.color(QPalette::Disabled, QPalette::ButtonText);
        else if (mode == QIcon::Selected)
            ink = palette.color(QPalette::Active, QPalette::HighlightedText);
        QPixmap result = IconCache::glyphPixmap(m_path, size / screenRatio(), ink);
        if (mode == QIcon::Disabled && ink.lightness() < lightInk)
            result = tinted(result, ink); // dark disabled ink: still greyed, as a plain icon would be
        result.setDevicePixelRatio(1.0);
        return result;
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap picture = pixmap(rect.size() * ratio, mode, state);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), picture);
    }

    static QPixmap tinted(const QPixmap &source, const QColor &ink)
    {
        QPixmap result = source;
        QPainter painter(&result);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(QRect(QPoint(0, 0), result.size()), ink);
        return result;
    }

private:
    QString m_path;
};
}

const QIcon &IconCache::icon(const QString &path)
{
    // Never destroyed: the icons would outlive the application object they need.
    static auto *const icons = new QHash<QString, const QIcon *>;
    const QIcon *&icon = (*icons)[path];
    if (!icon)
        icon = new QIcon(path);
    return *icon;
}

QPixmap IconCache::pixmap(const QString &path, QSize size)
{
    if (!size.isValid())
        size = QImageReader(path).size();
    // QIcon takes the @2x or @3x file where the ratio asks for it and marks the ratio.
    return icon(path).pixmap(size);
}

const QIcon &IconCache::glyph(const QString &path)
{
    static auto *const glyphs = new QHash<QString, const QIcon *>;
    const QIcon *&glyph = (*glyphs)[path];
    if (!glyph)
        glyph = new QIcon(new GlyphEngine(path));
    return *glyph;
}

QPixmap IconCache::glyphPixmap(const QString &path, QSize size, const QColor &ink)
{
    const QPixmap source = pixmap(path, size);
    if (ink.lightness() < lightInk)
        return source;
    const QString key = QStringLiteral("glyph:%1:%2x%3@%4:%5")
                            .arg(path)
                            .arg(source.width())
                            .arg(source.height())
                            .arg(source.devicePixelRatio())
                            .arg(ink.rgba());
    QPixmap result;
    if (!QPixmapCache::find(key, &result)) {
        result = GlyphEngine::tinted(source, ink);
        QPixmapCache::insert(key, result);
    }
    return result;
}
