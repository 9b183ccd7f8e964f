#include "vni.h"

namespace miravon {
namespace {

bool isVowel(QChar c)
{
    switch (c.toLower().unicode()) {
    case 'a': case 'e': case 'i': case 'o': case 'u': case 'y':
        return true;
    default:
        return false;
    }
}

// The combining mark a shape digit gives to this vowel, or 0 when the vowel
// does not take that digit (the digit then stays a digit).
char16_t shapeMark(QChar vowel, QChar digit)
{
    const char16_t v = vowel.toLower().unicode();
    switch (digit.unicode()) {
    case '6': return (v == 'a' || v == 'e' || v == 'o') ? u'\u0302' : 0; // circumflex
    case '7': return (v == 'o' || v == 'u') ? u'\u031B' : 0;             // horn
    case '8': return v == 'a' ? u'\u0306' : 0;                           // breve
    default: return 0;
    }
}

char16_t toneMark(QChar digit)
{
    switch (digit.unicode()) {
    case '1': return u'\u0301'; // acute
    case '2': return u'\u0300'; // grave
    case '3': return u'\u0309'; // hook above
    case '4': return u'\u0303'; // tilde
    case '5': return u'\u0323'; // dot below
    default: return 0;
    }
}

} // namespace

QString vniToUnicode(QStringView stored)
{
    QString out;
    out.reserve(stored.size());
    const qsizetype n = stored.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = stored[i];
        const QChar next = i + 1 < n ? stored[i + 1] : QChar();
        if ((c == u'd' || c == u'D') && next == u'9') {
            out += c == u'd' ? QChar(u'\u0111') : QChar(u'\u0110');
            ++i;
            continue;
        }
        if (!isVowel(c)) {
            out += c;
            continue;
        }
        QString letter(c);
        if (const char16_t shape = shapeMark(c, next)) {
            letter += QChar(shape);
            ++i;
        }
        const QChar after = i + 1 < n ? stored[i + 1] : QChar();
        if (const char16_t tone = toneMark(after)) {
            letter += QChar(tone);
            ++i;
        }
        out += letter.size() == 1 ? letter : letter.normalized(QString::NormalizationForm_C);
    }
    return out;
}

} // namespace miravon
