#include "namefold.h"

#include <QRegularExpression>
#include <QSet>

namespace miravon::text {
namespace {

// Appends the folded form of one character that has no marks left.
void appendFolded(QString& word, QChar c)
{
    switch (c.unicode()) {
    case 0x0111: case 0x0110: word += u'd'; return;                 // đ Đ
    case 0x00F8: case 0x00D8: word += u'o'; return;                 // ø Ø
    case 0x0142: case 0x0141: word += u'l'; return;                 // ł Ł
    case 0x0131: word += u'i'; return;                              // ı
    case 0x00DF: case 0x1E9E: word += QLatin1String("ss"); return;  // ß ẞ
    case 0x00E6: case 0x00C6: word += QLatin1String("ae"); return;  // æ Æ
    case 0x0153: case 0x0152: word += QLatin1String("oe"); return;  // œ Œ
    default: word += c.toCaseFolded();
    }
}

bool isApostrophe(QChar c) { return c == u'\'' || c == QChar(0x2019) || c == u'`'; }

bool isSuffixWord(const QString& w)
{
    static const QSet<QString> words = {QStringLiteral("tv"),  QStringLiteral("hd"),      QStringLiteral("sd"),
                                        QStringLiteral("fhd"), QStringLiteral("uhd"),     QStringLiteral("channel"),
                                        QStringLiteral("ch"),  QStringLiteral("television")};
    return words.contains(w);
}

} // namespace

QStringList foldWords(QStringView text)
{
    const QString nfkd = text.toString().normalized(QString::NormalizationForm_KD);
    QStringList words;
    QString cur;
    auto flush = [&] {
        if (cur.isEmpty())
            return;
        if (cur.front().isDigit()) {
            qsizetype z = 0;
            while (z + 1 < cur.size() && cur.at(z) == u'0')
                ++z;
            cur.remove(0, z);
        }
        words << cur;
        cur.clear();
    };
    for (QChar c : nfkd) {
        if (c.category() == QChar::Mark_NonSpacing || isApostrophe(c))
            continue;
        if (c == u'&' || c == u'+') {
            flush();
            words << (c == u'&' ? QStringLiteral("and") : QStringLiteral("plus"));
            continue;
        }
        if (!c.isLetterOrNumber()) {
            flush();
            continue;
        }
        if (!cur.isEmpty() && cur.back().isDigit() != c.isDigit())
            flush();
        appendFolded(cur, c);
    }
    flush();
    return words;
}

QString fold(QStringView text) { return foldWords(text).join(u' '); }

QStringList nameWords(QStringView name)
{
    // "BYUtv": a suffix word glued in lower case to a name in capitals.
    static const QRegularExpression glued(QStringLiteral("(?<=[A-Z])(tv|hd)\\b"));
    const QStringList words = name.contains(u"tv") || name.contains(u"hd")
        ? foldWords(name.toString().replace(glued, QStringLiteral(" \\1")))
        : foldWords(name);
    QStringList kept;
    kept.reserve(words.size());
    bool onlyDigits = true;
    for (const QString& w : words) {
        if (isSuffixWord(w))
            continue;
        kept << w;
        onlyDigits = onlyDigits && w.front().isDigit();
    }
    if (kept.isEmpty() || onlyDigits)
        return words;
    return kept;
}

} // namespace miravon::text
