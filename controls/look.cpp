#include "look.h"

#include <array>

namespace miravon {
namespace {

// Classic Windows system colours, by index.
constexpr std::array<QRgb, 25> classicSystemColours = {
    0xC0C0C0, // 0 scroll bar
    0x3A6EA5, // 1 desktop
    0x000080, // 2 active caption
    0x808080, // 3 inactive caption
    0xC0C0C0, // 4 menu
    0xFFFFFF, // 5 window
    0x000000, // 6 window frame
    0x000000, // 7 menu text
    0x000000, // 8 window text
    0xFFFFFF, // 9 caption text
    0xC0C0C0, // 10 active border
    0xC0C0C0, // 11 inactive border
    0x808080, // 12 application workspace
    0x000080, // 13 highlight
    0xFFFFFF, // 14 highlight text
    0xC0C0C0, // 15 button face
    0x808080, // 16 button shadow
    0x808080, // 17 grey text
    0x000000, // 18 button text
    0xC0C0C0, // 19 inactive caption text
    0xFFFFFF, // 20 button highlight
    0x000000, // 21 3D dark shadow
    0xDFDFDF, // 22 3D light
    0x000000, // 23 tooltip text
    0xFFFFE1, // 24 tooltip background
};

} // namespace

QColor oleColor(qint64 ole)
{
    const quint32 v = static_cast<quint32>(ole);
    if (v & 0x80000000u) {
        const quint32 index = v & 0xFFFFu;
        return index < classicSystemColours.size() ? QColor(classicSystemColours[index])
                                                   : QColor(Qt::black);
    }
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

QString fontFamilyFor(const QString& designed)
{
    // Measured over the 1,241 one-line texts of all windows: Liberation Sans
    // at the designed sizes is as narrow as the designed Tahoma (24 texts
    // wider than their label against Tahoma's 23) with a shorter line (15 px
    // at 9.75 pt, so rows 16 px apart never touch), and it has every
    // Vietnamese letter, which the Tahoma of Debian lacks. DejaVu Sans
    // Condensed is wider still and Roboto Condensed's 17 px line does not fit
    // the 17 px labels; the narrow Liberation and Nimbus faces have no
    // Vietnamese letters. The few texts still too wide are condensed by their
    // label (LabelUni).
    if (designed.compare(QLatin1String("Tahoma"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Sans");
    if (designed.compare(QLatin1String("Verdana"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("DejaVu Sans");
    if (designed.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Sans");
    return designed;
}

QFont designFont(const QString& designed, double pointSize, bool bold, bool underline)
{
    QFont f(fontFamilyFor(designed));
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setUnderline(underline);
    return f;
}

void installFontSubstitutions()
{
    static const bool done = [] {
        for (const char* face : {"Tahoma", "Verdana", "Arial"}) {
            const QString name = QString::fromLatin1(face);
            QFont::insertSubstitutions(name, {fontFamilyFor(name), QStringLiteral("DejaVu Sans")});
        }
        return true;
    }();
    (void)done;
}

} // namespace miravon
