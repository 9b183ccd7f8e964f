// How names and country codes are compared: the words of a name, a country
// code as the lists write it, the country a list's file name gives.
#include "matcher.h"

#include <QRegularExpression>
#include <QSet>

namespace miravon::import {
namespace {

bool isSuffixWord(const QString& w)
{
    static const QSet<QString> words = {QStringLiteral("tv"),  QStringLiteral("hd"),      QStringLiteral("sd"),
                                        QStringLiteral("fhd"), QStringLiteral("uhd"),     QStringLiteral("channel"),
                                        QStringLiteral("ch"),  QStringLiteral("television")};
    return words.contains(w);
}

bool allDigits(const QStringList& words)
{
    for (const QString& w : words)
        if (!w.front().isDigit())
            return false;
    return true;
}

// Base letters only: decomposed, marks dropped, the letters that do not
// decompose spelled out.
QString foldLetters(QStringView name)
{
    const QString nfd = name.toString().normalized(QString::NormalizationForm_KD);
    QString out;
    out.reserve(nfd.size());
    for (QChar c : nfd) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        switch (c.unicode()) {
        case 0x0111: case 0x0110: out += u'd'; break;           // đ Đ
        case 0x00F8: case 0x00D8: out += u'o'; break;           // ø Ø
        case 0x0142: case 0x0141: out += u'l'; break;           // ł Ł
        case 0x0131: out += u'i'; break;                        // ı
        case 0x00DF: out += QLatin1String("ss"); break;         // ß
        case 0x00E6: case 0x00C6: out += QLatin1String("ae"); break;
        case 0x0153: case 0x0152: out += QLatin1String("oe"); break;
        default: out += c;
        }
    }
    return out.toCaseFolded();
}

} // namespace

QStringList nameWords(QStringView name)
{
    // "BYUtv": a suffix word glued in lower case to a name in capitals.
    static const QRegularExpression glued(QStringLiteral("(?<=[A-Z])(tv|hd)\\b"));
    QString s = foldLetters(name.toString().replace(glued, QStringLiteral(" \\1")));
    s.replace(u'&', QLatin1String(" and "));
    s.replace(u'+', QLatin1String(" plus "));
    for (QChar apostrophe : {QChar(u'\''), QChar(0x2019), QChar(u'`')})
        s.remove(apostrophe);
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
    for (QChar c : std::as_const(s)) {
        if (!c.isLetterOrNumber()) {
            flush();
            continue;
        }
        if (!cur.isEmpty() && cur.back().isDigit() != c.isDigit())
            flush();
        cur += c;
    }
    flush();
    QStringList kept;
    for (const QString& w : std::as_const(words))
        if (!isSuffixWord(w))
            kept << w;
    if (kept.isEmpty() || allDigits(kept))
        return words;
    return kept;
}

QString countryCode(QStringView text)
{
    const QString t = text.trimmed().toString().toUpper();
    if (t.size() != 2 || !t.at(0).isLetter() || !t.at(1).isLetter() || t.at(0).unicode() > 'Z'
        || t.at(1).unicode() > 'Z')
        return {};
    return t == QLatin1String("UK") ? QStringLiteral("GB") : t;
}

QString countryOfListName(const QString& name, bool* mainList)
{
    QString file = name.section(u'?', 0, 0).section(u'#', 0, 0);
    file = file.section(u'/', -1);
    const qsizetype dot = file.lastIndexOf(u'.');
    if (dot > 0)
        file.truncate(dot);
    const QString head = file.section(QRegularExpression(QStringLiteral("[_.\\- ]")), 0, 0);
    const QString code = countryCode(head);
    if (mainList)
        *mainList = !code.isEmpty() && head.size() == file.size();
    return code;
}

} // namespace miravon::import
