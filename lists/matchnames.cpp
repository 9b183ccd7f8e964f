// How names and country codes are compared: the words of a name, a country
// code as the lists write it, the country a list's file name gives.
#include "matcher.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <iterator>

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

// The language editions channels are known in, by the words a list names
// them with (compared as names are, without diacritics and case), and the
// countries whose own language each is.
struct Language {
    const char* code;
    const char* words; // '|' between alternatives; a blank inside one joins words
    const char* countries;
};
constexpr Language languageTable[] = {
    {"vi", "vietnamese|tiếng việt", "VN"},
    {"en", "english", "US GB AU CA NZ IE JM TT BB BS BZ GY ZA NG GH KE UG ZM ZW PH SG IN MT"},
    {"de", "deutsch|german", "DE AT CH LI LU"},
    {"fr", "français|française|french", "FR BE CH LU MC SN CI ML BF NE GN CM GA CG CD HT MG RE GP MQ GF PF NC BJ TG"},
    {"es", "español|spanish|castellano",
     "ES MX AR CO CL PE VE EC BO PY UY CR PA DO CU GT HN SV NI PR GQ"},
    {"pt", "português|portuguese", "PT BR AO MZ CV GW ST TL"},
    {"it", "italiano|italian", "IT SM VA"},
    {"ru", "russian|русский|на русском", "RU BY KZ KG"},
    {"uk", "ukrainian|українська", "UA"},
    {"ar", "arabic|arabi|عربي|العربية|عربية",
     "SA AE QA EG DZ MA TN LY JO LB SY IQ KW BH OM YE PS SD MR"},
    {"fa", "persian|farsi|فارسی", "IR AF TJ"},
    {"tr", "turkish|türkçe", "TR"},
    {"zh", "chinese|mandarin|cantonese|中文|华语|普通话", "CN TW HK MO"},
    {"ja", "japanese|日本語", "JP"},
    {"ko", "korean|한국어", "KR KP"},
    {"hi", "hindi", "IN"},
    {"ur", "urdu", "PK"},
    {"bn", "bangla|bengali", "BD"},
    {"id", "indonesian|bahasa indonesia", "ID"},
    {"ms", "malay", "MY BN"},
    {"th", "thai language", "TH"},
    {"ku", "kurdish|sorani|kurmanji", "IQ"},
    {"sw", "swahili", "TZ KE"},
    {"ha", "hausa", "NG NE"},
    {"am", "amharic", "ET"},
    {"sq", "albanian", "AL XK"},
    {"sr", "serbian|balkans|bosnian|croatian", "RS BA HR ME"},
    {"el", "greek", "GR CY"},
    {"he", "hebrew", "IL"},
    {"pl", "polish", "PL"},
    {"nl", "dutch", "NL BE SR"},
    {"ro", "romanian", "RO MD"},
    {"hu", "hungarian", "HU"},
    {"hy", "armenian", "AM"},
    {"az", "azerbaijani|azeri", "AZ"},
    {"ka", "georgian", "GE"},
    {"uz", "uzbek", "UZ"},
    {"ta", "tamil", "LK"},
    {"si", "sinhala", "LK"},
};

struct LanguageWords {
    QList<QPair<QString, int>> phrases; // " words " (folded) -> index into languageTable
    QHash<QString, QStringList> ofCountry;
};

const LanguageWords& languageWords()
{
    static const LanguageWords words = [] {
        LanguageWords w;
        for (int i = 0; i < int(std::size(languageTable)); ++i) {
            for (const QString& alt : QString::fromUtf8(languageTable[i].words).split(u'|'))
                w.phrases.append({u' ' + nameWords(alt).join(u' ') + u' ', i});
            for (const QString& c : QString::fromLatin1(languageTable[i].countries).split(u' ', Qt::SkipEmptyParts))
                w.ofCountry[c] << QString::fromLatin1(languageTable[i].code);
        }
        return w;
    }();
    return words;
}

} // namespace

int languageRank(QStringView name, QStringView feed, const QString& country)
{
    return languageRank(nameWords(name), feed, country);
}

int languageRank(const QStringList& words, QStringView feed, const QString& country)
{
    const LanguageWords& table = languageWords();
    const QString padded = u' ' + (feed.isEmpty() ? words : words + nameWords(feed)).join(u' ') + u' ';
    int best = -1;
    for (const auto& [phrase, index] : table.phrases) {
        if (!padded.contains(phrase))
            continue;
        const QLatin1StringView code(languageTable[index].code);
        const int rank = code == QLatin1StringView("vi")                  ? 0
                         : code == QLatin1StringView("en")                ? 1
                         : table.ofCountry.value(country).contains(code) ? 2
                                                                         : 3;
        // A name that names two (a feed and its name): the better one.
        best = best < 0 ? rank : std::min(best, rank);
    }
    return best < 0 ? 1 : best;
}

QStringList nameWords(QStringView name)
{
    // "BYUtv": a suffix word glued in lower case to a name in capitals.
    static const QRegularExpression glued(QStringLiteral("(?<=[A-Z])(tv|hd)\\b"));
    QString s = name.contains(u"tv") || name.contains(u"hd")
        ? foldLetters(name.toString().replace(glued, QStringLiteral(" \\1")))
        : foldLetters(name);
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
