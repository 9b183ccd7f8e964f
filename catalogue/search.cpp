#include "search.h"

#include "namefold.h"

#include <QFile>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <vector>

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

namespace {

// A country the table does not name yet: its English name as the locale
// data knows it; the code itself when that knows none either.
QString localeName(const QString& code)
{
    const QLocale::Territory t = QLocale::codeToTerritory(code);
    return t == QLocale::AnyTerritory ? code : QLocale::territoryToString(t);
}

} // namespace

QString countryName(const QString& code)
{
    static const QHash<QString, QString> names = [] {
        QHash<QString, QString> out;
        for (const Country& c : countries())
            out.insert(c.code, c.vietnamese.value(0, c.code));
        return out;
    }();
    const auto it = names.constFind(code);
    return it != names.cend() ? *it : localeName(code);
}

Segment::Segment(QList<Entry> entries)
    : entries_(std::move(entries))
{
    QHash<QString, QStringList> countryWords;
    for (const Country& c : countries())
        countryWords.insert(c.code, wordsOf((c.english + c.vietnamese).join(u' ')));
    // Countries the table does not name, by the name they are shown by.
    for (const Entry& e : std::as_const(entries_))
        for (const QString& code : e.countries)
            if (!countryWords.contains(code))
                countryWords.insert(code, wordsOf(countryName(code)));
    words_.reserve(entries_.size());
    for (const Entry& e : std::as_const(entries_)) {
        Words w;
        w.caption = wordsOf(e.caption);
        w.joined = w.caption.join(QString());
        for (const QString& n : e.names)
            w.names += wordsOf(n);
        if (e.countries.size() == 1) {
            w.country = countryWords.value(e.countries.first()); // shared, not copied
        } else {
            for (const QString& code : e.countries)
                w.country += countryWords.value(code);
        }
        words_ << w;
    }
}

Index::Index(QList<Entry> entries)
    : Index(QList<std::shared_ptr<const Segment>>{std::make_shared<const Segment>(std::move(entries))})
{
}

Index::Index(QList<std::shared_ptr<const Segment>> segments)
    : segments_(std::move(segments))
{
    for (const auto& s : std::as_const(segments_))
        size_ += s->size();
}

const Entry& Index::entry(int i) const
{
    for (const auto& s : segments_) {
        if (i < s->size())
            return s->entry(i);
        i -= int(s->size());
    }
    Q_UNREACHABLE();
}

QList<Index::Hit> Index::find(QStringView query, int limit) const
{
    const QStringList asked = wordsOf(query.toString());
    if (asked.isEmpty() || limit <= 0)
        return {};
    const QString askedJoined = asked.join(QString());
    struct Found {
        int standing; // entries with an address, list channels, entries without
        int score;
        int entry;
    };
    std::vector<Found> found;
    int base = 0;
    for (const auto& segment : segments_) {
        for (qsizetype i = 0; i < segment->words_.size(); ++i) {
            const Segment::Words& w = segment->words_.at(i);
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
            const Entry& e = segment->entries_.at(i);
            const int standing = e.listChannel ? 1 : e.hasAddress ? 0 : 2;
            found.push_back({standing, score, base + int(i)});
        }
        base += int(segment->size());
    }
    auto before = [](const Found& a, const Found& b) {
        if (a.standing != b.standing)
            return a.standing < b.standing;
        if (a.score != b.score)
            return a.score > b.score;
        return a.entry < b.entry;
    };
    const auto end = found.begin() + std::min<std::ptrdiff_t>(limit, std::ptrdiff_t(found.size()));
    std::partial_sort(found.begin(), end, found.end(), before);
    QList<Hit> hits;
    hits.reserve(end - found.begin());
    for (auto it = found.begin(); it != end; ++it)
        hits << Hit{it->entry, it->score};
    return hits;
}

} // namespace miravon::search
