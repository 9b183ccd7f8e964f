#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace miravon {

// An OLE colour: an RGB value with red in the low byte, or 0x80000000 plus a
// system colour index. System colours map to fixed classic values so that
// the look never depends on the desktop theme.
QColor oleColor(qint64 ole);

inline constexpr qint64 sysMenuText = -2147483641;      // index 7
inline constexpr qint64 sysActiveBorder = -2147483638;  // index 10
inline constexpr qint64 sysCaptionText = -2147483639;   // index 9
inline constexpr qint64 sysHighlightText = -2147483634; // index 14
inline constexpr qint64 sysButtonText = -2147483630;    // index 18

// The designed faces mapped to installed fonts that cover every Vietnamese
// letter: Tahoma and Arial to Liberation Sans, Verdana to DejaVu Sans.
QString fontFamilyFor(const QString& designed);
QFont designFont(const QString& designed, double pointSize, bool bold = false,
                 bool underline = false);

// Registers the substitutions with Qt, once per process.
void installFontSubstitutions();

} // namespace miravon
