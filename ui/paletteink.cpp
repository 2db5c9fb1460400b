#include "paletteink.h"

#include <QtMath>

#include <algorithm>

namespace {
constexpr qreal readableContrast = 4.5;

qreal luminance(const QColor &colour)
{
    const auto linear = [](qreal v) { return v <= 0.03928 ? v / 12.92 : qPow((v + 0.055) / 1.055, 2.4); };
    const QColor rgb = colour.toRgb();
    return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}
}

qreal PaletteInk::contrast(const QColor &a, const QColor &b)
{
    const qreal la = luminance(a);
    const qreal lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor PaletteInk::readableOn(const QColor &colour, const QColor &ground)
{
    if (contrast(colour, ground) >= readableContrast)
        return colour;
    // Towards white or black, whichever the ground stands further from.
    const bool lighten = contrast(ground, Qt::white) > contrast(ground, Qt::black);
    QColor ink = colour.toHsl();
    while (contrast(ink, ground) < readableContrast) {
        const int lightness = ink.lightness();
        if (lightness == (lighten ? 255 : 0))
            break;
        ink.setHsl(ink.hslHue(), ink.hslSaturation(), std::clamp(lightness + (lighten ? 8 : -8), 0, 255),
                   ink.alpha());
    }
    return ink.toRgb();
}
