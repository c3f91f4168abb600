#pragma once

#include <algorithm>
#include <cmath>

#include <QColor>

namespace hlv {

// Colours of the console are kept as the 24-bit values the window system of the original
// design used, with red in the low byte (0xBBGGRR: 255 red, 65280 green, 0xFF0000 blue).
// This is the one place where such a value becomes a QColor.
inline QColor vbColour(quint32 bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

namespace VbColours {
constexpr quint32 Green = 65280;  // 0x00FF00
constexpr quint32 Orange = 33023; // 0x0080FF
constexpr quint32 Red = 255;      // 0x0000FF
constexpr quint32 Blue = 0xFF0000;
constexpr quint32 Cyan = 0xFFFF00;
constexpr quint32 White = 0xFFFFFF;
constexpr quint32 LightGrey = 14737632; // 0xE0E0E0, the job lists' background
constexpr quint32 PanelBack = 0xC0FFC0;
constexpr quint32 PanelFore = 0x800000;
constexpr quint32 SearchBack = 0xFFC0C0;
constexpr quint32 FavouriteButton = 0xC0E0FF;
} // namespace VbColours

// Lengths of the design are in twips; 15 twips make one pixel at 96 dots per inch.
// Lengths come from settings files too, so anything past the largest widget size (or not a
// number at all) is held to what a widget can take before it becomes an int.
inline int twipsToPixels(double twips, double logicalDpi = 96.0)
{
    constexpr double kLimit = 16777215.0; // QWIDGETSIZE_MAX
    const double pixels = twips * logicalDpi / 1440.0 + 0.5;
    if (std::isnan(pixels)) {
        return 0;
    }
    return static_cast<int>(std::clamp(pixels, -kLimit, kLimit));
}
inline double pixelsToTwips(int pixels, double logicalDpi = 96.0)
{
    return pixels * 1440.0 / logicalDpi;
}

} // namespace hlv
