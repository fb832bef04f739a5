#pragma once

#include <QRect>
#include <QtGlobal>

// The window is laid out in twips, 15 to a logical pixel; Qt's high-dpi scaling
// takes logical pixels on from there.
namespace Twips {

inline constexpr int kPerPixel = 15;

constexpr int toPixels(int twips)
{
    return (twips + kPerPixel / 2) / kPerPixel;
}

constexpr QRect rect(int left, int top, int width, int height)
{
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace Twips
