#include "app/window/readable_colour.h"

namespace zarvex {

QColor ReadableColour(QColor colour, const QPalette& palette, QPalette::ColorRole background)
{
    if (palette.color(background).lightness() >= 128) return colour;
    if (colour.rgb() == qRgb(0, 0, 0)) return palette.color(QPalette::Text);
    int h = 0, s = 0, l = 0;
    colour.getHsl(&h, &s, &l);
    // Navy (lightness 64) becomes a light blue of 217, dark red a light red.
    if (l < 160) l = 255 - l * 6 / 10;
    return QColor::fromHsl(h, s, l);
}

QColor ReadableColour(std::uint32_t rgb, const QPalette& palette)
{
    return ReadableColour(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF), palette);
}

} // namespace zarvex
