// Colours that carry meaning (an output's status, a log message) as the
// window shows them: readable on a light and on a dark theme.
#pragma once

#include <QColor>
#include <QPalette>

#include <cstdint>

namespace zarvex {

// `colour` on the palette's `background`: unchanged on a light one; on a dark
// one black becomes the palette's text colour and other dark colours are
// mirrored in lightness, keeping their hue.
QColor ReadableColour(QColor colour, const QPalette& palette, QPalette::ColorRole background = QPalette::Base);
// The same for a colour given as 0xRRGGBB.
QColor ReadableColour(std::uint32_t rgb, const QPalette& palette);

} // namespace zarvex
