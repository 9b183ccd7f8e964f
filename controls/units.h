#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QtMath>

namespace miravon {

// Positions and sizes are kept in twips, as designed: 15 twips to a pixel at
// 96 dpi. Qt's high-DPI scaling maps these logical pixels to other screens.
inline constexpr int twipsPerPixel = 15;

constexpr int px(int twips)
{
    // Round half away from zero, so negative offsets mirror positive ones.
    return twips >= 0 ? (twips + twipsPerPixel / 2) / twipsPerPixel
                      : -((-twips + twipsPerPixel / 2) / twipsPerPixel);
}
constexpr int twips(int pixels) { return pixels * twipsPerPixel; }

inline QRect twRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}
inline QPoint twPoint(int left, int top) { return QPoint(px(left), px(top)); }
inline QSize twSize(int width, int height) { return QSize(px(width), px(height)); }

} // namespace miravon
