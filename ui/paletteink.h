#pragma once

#include <QColor>

//! Text colours chosen for their meaning (a warning's amber, a refusal's red) made readable on
//! the ground they stand on, light or dark theme alike.
class PaletteInk final
{
public:
    //! The colour itself where it reads on the ground (contrast at least 4.5 : 1), else the same
    //! hue made lighter on a dark ground or darker on a light one until it does.
    static QColor readableOn(const QColor &colour, const QColor &ground);
    //! The contrast ratio of two colours, from 1 (equal) to 21 (black on white).
    static qreal contrast(const QColor &a, const QColor &b);

private:
    PaletteInk() = delete;
};
