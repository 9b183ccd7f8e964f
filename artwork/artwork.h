#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

namespace miravon {

// A picture drawn for `shown` device-independent pixels at the pixel ratio
// `dpr`: a drawing ("banner.svg") is rendered at that size with its own
// transparency, crisp at any ratio; a bitmap is scaled smoothly. An empty
// `shown` is the picture's own size.
QPixmap artwork(const QString& name, const QSize& shown, qreal dpr);
// The raw picture, key colour left in place.
QImage artworkImage(const QString& name);
// The program icon, 16, 32 and 48 pixels.
QIcon programIcon();
// A drawing ("menu_vn.svg") as an icon: rendered at whatever size and
// pixel ratio it is painted, never scaled from another size.
QIcon drawingIcon(const QString& name);

} // namespace miravon
