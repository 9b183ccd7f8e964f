#include "search.h"

#include "namefold.h"

#include <QFile>
#include <QHash>

#include <algorithm>

static void initSearchResource() { Q_INIT_RESOURCE(search); }

namespace miravon::search {
namespace {

// How a query word met a word of the entry.
namespace weight {
constexpr int countryPrefix = 1;
constexpr int country = 2;
constexpr int namePrefix = 3;
constexpr int name = 4;
constexpr int captionPrefix = 4;
constexpr int caption = 6;
} // namespace weight

int meet(QStringView word, const QStringList& words, int whole, int prefix)
{
    int best = 0;
    for (const QString& w : words) {
        if (w == word)
            return whole;
        if (w.startsWith(word))
            best = prefix;
    }
    return best;
}

QStringList wordsOf(const QString& text) { return text::foldWords(text); }

} // namespace

QString fold(QStringView text) { return text::fold(text); }

const QList<Country>& countries()
{
    static const QList<Country> list = [] {
        static const bool registered = (initSearchResource(), true);
        (void)registered;
        QList<Country> out;
        QFile f(QStringLiteral(":/search/countrynames.tsv"));
        if (!f.open(QIODevice::ReadOnly))
            return out;
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QStringList cols = lines.at(i).split(u'\t');
            if (cols.size() == 3)
                out << Country{cols.at(0), cols.at(1).split(u'|'), cols.at(2).split(u'|')};
        }
        return out;
    }();
    return list;
}

QString countryName(const QString& code)
{
    for (const Country& c : countries())
        if (c.code == code)
            return c.vietnamese.value(0, code);
    return code;
}

Index::Index(QList<Entry> entries)
    : entries_(std::move(entries))
{
    QHash<QString, QStringList> countryWords;
    for (const Country& c : countries())
        countryWords.insert(c.code, wordsOf((c.english + c.vietnamese).join(u' ')));
    words_.reserve(entries_.size());
    for (const Entry& e : std::as_const(entries_)) {
        Words w;
        w.caption = wordsOf(e.caption);
        w.joined = w.caption.join(QString());
        for (const QString& n : e.names)
            w.names += wordsOf(n);
        for (const QString& code : e.countries)
            w.country += countryWords.value(code);
        words_ << w;
    }
}

QList<Index::Hit> Index::find(QStringView query, int limit) const
{
    const QStringList asked = wordsOf(query.toString());
    QList<Hit> hits;
    if (asked.isEmpty())
        return hits;
    const QString askedJoined = asked.join(QString());
    for (qsizetype i = 0; i < words_.size(); ++i) {
        const Words& w = words_.at(i);
        int score = 0;
        bool all = true;
        for (const QString& a : asked) {
            const int s = std::max({meet(a, w.caption, weight::caption, weight::captionPrefix),
                                    meet(a, w.names, weight::name, weight::namePrefix),
                                    meet(a, w.country, weight::country, weight::countryPrefix)});
            if (s == 0) {
                all = false;
                break;
            }
            score += s;
        }
        if (!all)
            continue;
        // The caption itself, or its beginning, as typed.
        if (w.joined == askedJoined)
            score += 20;
        else if (w.joined.startsWith(askedJoined))
            score += 10;
        hits << Hit{int(i), score};
    }
    std::stable_sort(hits.begin(), hits.end(), [this](const Hit& a, const Hit& b) {
        const bool ea = entries_.at(a.entry).hasAddress;
        const bool eb = entries_.at(b.entry).hasAddress;
        if (ea != eb)
            return ea;
        return a.score > b.score;
    });
    if (hits.size() > limit)
        hits.resize(limit);
    return hits;
}

} // namespace miravon::search
