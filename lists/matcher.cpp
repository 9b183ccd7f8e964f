#include "matcher.h"

#include "addresspolicy.h"
#include "catalogue.h"
#include "sizelimits.h"
#include "vni.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace miravon::import {
namespace {

struct Keys {
    QString set;  // the sorted distinct words
    QString join; // the words in order, run together
};

Keys keysOf(const QStringList& words)
{
    Keys k;
    k.join = words.join(QString());
    QStringList sorted = words;
    sorted.sort();
    sorted.removeDuplicates();
    k.set = sorted.join(u' ');
    return k;
}

// "ABCNewsHD" -> "ABC News HD": the names in tvg-ids are written without blanks.
QString splitCamel(QStringView id)
{
    QString out;
    for (qsizetype i = 0; i < id.size(); ++i) {
        const QChar c = id.at(i);
        if (i > 0 && c.isUpper()) {
            const QChar prev = id.at(i - 1);
            const bool nextLower = i + 1 < id.size() && id.at(i + 1).isLower();
            if (prev.isLower() || prev.isDigit() || (prev.isUpper() && nextLower))
                out += u' ';
        }
        out += c;
    }
    return out;
}

// The name part of a tvg-id: "VTV1.vn@HD" -> "VTV1"; and its country.
QString idBase(const QString& id, QString* country)
{
    QString base = id.section(u'@', 0, 0).trimmed();
    const qsizetype dot = base.lastIndexOf(u'.');
    if (dot > 0) {
        const QString code = countryCode(QStringView(base).mid(dot + 1));
        if (!code.isEmpty()) {
            if (country)
                *country = code;
            base.truncate(dot);
        }
    }
    return base;
}

// The first letters of broadcast call signs in North America: the United
// States (K, W), Canada (CF, CH, CI, CJ, CK, CY) and Mexico (XE, XH).
QString callSignPrefix(const QString& country)
{
    if (country == QLatin1String("US"))
        return QStringLiteral("[KW][A-Z]");
    if (country == QLatin1String("CA"))
        return QStringLiteral("C[FHIJKY]");
    if (country == QLatin1String("MX"))
        return QStringLiteral("X[EH]");
    return {};
}

// A call sign as the lists write them in tvg-ids: "WHDH", "KTUUDT",
// "WSVNDT1", "KWQC-TV", "XEJTDT".
QString callSignOfId(const QString& base, const QString& country)
{
    const QString prefix = callSignPrefix(country);
    if (prefix.isEmpty())
        return {};
    thread_local QHash<QString, QRegularExpression> cache;
    auto it = cache.find(prefix);
    if (it == cache.end())
        it = cache.insert(prefix, QRegularExpression(
                                      QStringLiteral("^(%1[A-Z]{1,2}?)(?:-?(?:TV|DT|TDT|CD|LD|LP|CA)\\d*)?$").arg(prefix)));
    const auto m = it->match(base);
    return m.hasMatch() ? m.captured(1) : QString();
}

// A call sign in an entry's caption: a whole upper-case word ("WHDH 7 News",
// "KWQC-TV6", "WHOTV", "XEJTV").
QString callSignOfCaption(const QString& caption, const QString& country)
{
    const QString prefix = callSignPrefix(country);
    if (prefix.isEmpty())
        return {};
    const QRegularExpression plain(QStringLiteral("^%1[A-Z]{1,2}$").arg(prefix));
    const QRegularExpression word(QStringLiteral("^(%1[A-Z]{0,2}?)(?:TV\\d*)$").arg(prefix));
    const QStringList parts = caption.split(QRegularExpression(QStringLiteral("[\\s-]+")), Qt::SkipEmptyParts);
    for (const QString& p : parts) {
        if (plain.match(p).hasMatch())
            return p;
        const auto m = word.match(p);
        if (m.hasMatch() && m.captured(1).size() >= 3)
            return m.captured(1);
    }
    return {};
}

// "VTV1 HD (1080p) [Geo-blocked]" -> name "VTV1 HD", resolution 1080,
// markers "[Geo-blocked]".
void splitTitle(const QString& title, Stream& s)
{
    static const QRegularExpression marker(QStringLiteral("\\[[^\\]]*\\]"));
    static const QRegularExpression res(QStringLiteral("\\(\\s*(\\d{3,4})\\s*[pPiI]\\s*\\)"));
    QString name = title;
    for (auto it = marker.globalMatch(title); it.hasNext();)
        s.markers << it.next().captured(0);
    name.remove(marker);
    const auto m = res.match(name);
    if (m.hasMatch()) {
        s.resolution = m.captured(1).toInt();
        name.remove(res);
    }
    s.name = name.simplified();
}

bool hasMarker(const Stream& s, QLatin1StringView what)
{
    for (const QString& m : s.markers)
        if (m.contains(what, Qt::CaseInsensitive))
            return true;
    return false;
}

bool isClean(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

double ratio(const QString& a, const QString& b)
{
    const qsizetype n = a.size(), m = b.size();
    if (n == 0 || m == 0)
        return 0;
    QList<qsizetype> prev(m + 1), cur(m + 1);
    for (qsizetype j = 0; j <= m; ++j)
        prev[j] = j;
    for (qsizetype i = 1; i <= n; ++i) {
        cur[0] = i;
        for (qsizetype j = 1; j <= m; ++j)
            cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        std::swap(prev, cur);
    }
    return 1.0 - double(prev[m]) / double(std::max(n, m));
}

QStringList digitsOf(const QStringList& words)
{
    QStringList out;
    for (const QString& w : words)
        if (w.front().isDigit())
            out << w;
    return out;
}

// The order among several streams for one entry, best first: the language
// edition, then a match by name before one by tvg-id or call sign, then as
// among a channel's streams, then the order they were read in.
auto rankOf(const Stream& s, const Candidate& c, int order)
{
    const bool byName = c.how == How::Name || c.how == How::Alias;
    const StreamRank r = import::rankOf(s);
    return std::make_tuple(r.language, !byName, r, order);
}

} // namespace

StreamRank rankOf(const Stream& s)
{
    StreamRank r;
    r.language = s.language;
    r.otherList = !s.mainList;
    r.geoBlocked = hasMarker(s, QLatin1StringView("geo"));
    r.notAlways = hasMarker(s, QLatin1StringView("24/7"));
    r.headers = !s.entry->referrer.isEmpty() || !s.entry->userAgent.isEmpty();
    r.plainHttp = !s.entry->url.startsWith(QLatin1String("https:"), Qt::CaseInsensitive);
    r.resolution = s.resolution;
    return r;
}

QString howText(How how)
{
    switch (how) {
    case How::Name: return QStringLiteral("tên");
    case How::Alias: return QStringLiteral("tên khác");
    case How::TvgId: return QStringLiteral("tvg-id");
    case How::CallSign: return QStringLiteral("hô hiệu");
    }
    return {};
}

MatchData parseMatchData(const QString& countries, const QString& names, QStringList* errors)
{
    MatchData d;
    auto rows = [errors](const QString& file, const QString& text, int columns, auto each) {
        const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
        for (int i = 1; i < lines.size(); ++i) {
            const QStringList f = lines.at(i).split(u'\t');
            if (f.size() != columns) {
                if (errors)
                    *errors << QStringLiteral("%1:%2: %3 columns, expected %4").arg(file).arg(i + 1).arg(f.size()).arg(columns);
                continue;
            }
            each(f, i + 1);
        }
    };
    rows(QStringLiteral("countries.tsv"), countries, 4, [&](const QStringList& f, int line) {
        QStringList codes;
        for (const QString& c : f[3].split(u' ', Qt::SkipEmptyParts)) {
            const QString code = countryCode(c);
            if (code.isEmpty() && errors)
                *errors << QStringLiteral("countries.tsv:%1: \"%2\" is no country code").arg(line).arg(c);
            else
                codes << code;
        }
        if (f[2].isEmpty())
            d.panelCountries.insert(f[0] + u'/' + f[1], codes);
        else
            d.headingCountries.insert(f[0] + u'/' + f[2], codes);
    });
    rows(QStringLiteral("names.tsv"), names, 3, [&](const QStringList& f, int) {
        d.names[f[0] + u'/' + f[1]] << f[2];
    });
    return d;
}

MatchData builtInMatchData()
{
    const catalogue::MatchTables t = catalogue::builtInMatchTables();
    return parseMatchData(t.countries, t.names, nullptr);
}

QList<Target> targets(const catalogue::Catalogue& catalogue, const MatchData& data)
{
    const QHash<QString, QStringList> countries = catalogue::entryCountries(catalogue);
    // Panels in the order of their labels (the listing's order), which is
    // not the order the panels are stacked in; each in display order.
    QList<QPair<QString, QString>> panels;
    QHash<QString, QList<const catalogue::Label*>> byPanel;
    for (const catalogue::Label& l : catalogue.labels) {
        if (!l.window.startsWith(QLatin1String("frmmain")))
            continue;
        const QString key = l.window + u'/' + l.panel;
        if (!byPanel.contains(key))
            panels << qMakePair(l.window, l.panel);
        byPanel[key] << &l;
    }
    QHash<QString, QString> titles;
    for (const catalogue::Panel& p : catalogue.panels)
        if (!p.title.isEmpty())
            titles.insert(p.window + u'/' + p.name, p.vni ? vniToUnicode(p.title) : p.title);
    QList<Target> out;
    for (const auto& [window, name] : std::as_const(panels)) {
        QList<const catalogue::Label*> labels = byPanel.value(window + u'/' + name);
        std::stable_sort(labels.begin(), labels.end(), [](const catalogue::Label* a, const catalogue::Label* b) {
            return std::pair(a->column, a->row) < std::pair(b->column, b->row);
        });
        for (const catalogue::Label* l : std::as_const(labels)) {
            if (!l->clickable())
                continue;
            const QString key = l->window + u'/' + l->control;
            Target t{l->window, l->panel, l->control, catalogue::shownCaption(*l), titles.value(l->window + u'/' + l->panel),
                     {}, countries.value(key)};
            const QStringList names = data.names.value(key);
            // A logo's caption is its first name already.
            t.names = l->kind == catalogue::Kind::Logo ? names : QStringList{t.caption} + names;
            if (!t.names.isEmpty() && !t.caption.isEmpty())
                out << t;
        }
    }
    return out;
}

Result match(const QList<Target>& targets, const QList<Source>& sources, const QString& fallbackCountry)
{
    Result r;
    const QString fallback = countryCode(fallbackCountry);
    // Per country: name keys and tvg-id keys to streams.
    QHash<QString, QHash<QString, QList<int>>> byName, byId;
    for (int si = 0; si < sources.size(); ++si) {
        bool main = false;
        const QString listCountry = countryOfListName(sources.at(si).name, &main);
        for (const m3u::Entry& e : sources.at(si).playlist.entries) {
            Stream s;
            s.source = si;
            s.entry = &e;
            // Checked before anything is done with the names: comparing an
            // endless one costs without bound.
            const bool tooLong = e.title.size() > maxNameChars || e.tvgName.size() > maxNameChars
                || e.tvgId.size() > maxNameChars || e.tvgCountry.size() > maxNameChars
                || e.url.size() > maxAddressChars || e.referrer.size() > maxAddressChars
                || e.userAgent.size() > maxAddressChars;
            if (tooLong) {
                ++r.tooLong;
                r.streams << s;
                continue;
            }
            splitTitle(e.title, s);
            s.usable = isAcceptedAddress(e.url) && isClean(e.url) && isClean(e.referrer)
                && isClean(e.userAgent);
            QString idCountry;
            const QString base = idBase(e.tvgId, &idCountry);
            static const QRegularExpression separators(QStringLiteral("[;,| ]"));
            for (const QString& c : e.tvgCountry.split(separators, Qt::SkipEmptyParts)) {
                const QString code = countryCode(c);
                if (!code.isEmpty() && !s.countries.contains(code))
                    s.countries << code;
            }
            if (s.countries.isEmpty() && !idCountry.isEmpty())
                s.countries << idCountry;
            if (s.countries.isEmpty() && !listCountry.isEmpty())
                s.countries << listCountry;
            if (s.countries.isEmpty() && !fallback.isEmpty())
                s.countries << fallback;
            s.mainList = main && s.countries.contains(listCountry);
            // The words of each name, once.
            const QStringList titleWords = nameWords(s.name);
            const QStringList tvgNameWords = e.tvgName.isEmpty() ? QStringList() : nameWords(e.tvgName);
            const qsizetype at = e.tvgId.indexOf(u'@');
            s.language = languageRank(s.name.isEmpty() ? tvgNameWords : titleWords,
                                      at < 0 ? QStringView() : QStringView(e.tvgId).mid(at + 1), s.countries.value(0));
            const int idx = int(r.streams.size());
            r.streams << s;
            if (!s.usable) {
                ++r.unusable;
                continue;
            }
            if (s.countries.isEmpty()) {
                ++r.withoutCountry;
                continue;
            }
            QList<Keys> names;
            for (const QStringList* w : {&titleWords, &tvgNameWords})
                if (!w->isEmpty())
                    names << keysOf(*w);
            const QStringList idWords = base.isEmpty() ? QStringList() : nameWords(splitCamel(base));
            const Keys id = keysOf(idWords);
            const QString upperBase = base.toUpper();
            for (const QString& c : std::as_const(s.countries)) {
                for (const Keys& k : std::as_const(names)) {
                    byName[c][u's' + k.set] << idx;
                    byName[c][u'j' + k.join] << idx;
                }
                if (!idWords.isEmpty()) {
                    byId[c][u's' + id.set] << idx;
                    byId[c][u'j' + id.join] << idx;
                }
                if (!base.isEmpty()) {
                    const QString sign = callSignOfId(upperBase, c);
                    if (!sign.isEmpty())
                        byId[c][u'c' + sign] << idx;
                }
            }
        }
    }

    for (int ti = 0; ti < targets.size(); ++ti) {
        const Target& t = targets.at(ti);
        QHash<int, How> found;
        auto add = [&found](const QList<int>& streams, How how) {
            for (int s : streams) {
                auto it = found.find(s);
                if (it == found.end())
                    found.insert(s, how);
                else if (int(how) < int(*it))
                    *it = how;
            }
        };
        for (const QString& c : t.countries) {
            const QString sign = callSignOfCaption(t.caption, c);
            const auto names = byName.constFind(c);
            const auto ids = byId.constFind(c);
            for (int ni = 0; ni < t.names.size(); ++ni) {
                const QStringList w = nameWords(t.names.at(ni));
                if (w.isEmpty())
                    continue;
                const Keys k = keysOf(w);
                const bool caption = ni == 0 && t.names.at(0) == t.caption;
                if (names != byName.constEnd()) {
                    add(names->value(u's' + k.set), caption ? How::Name : How::Alias);
                    add(names->value(u'j' + k.join), caption ? How::Name : How::Alias);
                }
                if (ids != byId.constEnd()) {
                    add(ids->value(u's' + k.set), How::TvgId);
                    add(ids->value(u'j' + k.join), How::TvgId);
                }
            }
            if (!sign.isEmpty() && ids != byId.constEnd())
                add(ids->value(u'c' + sign), How::CallSign);
        }
        if (found.isEmpty())
            continue;
        Match m;
        m.target = ti;
        for (auto it = found.cbegin(); it != found.cend(); ++it)
            m.candidates << Candidate{it.key(), it.value()};
        std::sort(m.candidates.begin(), m.candidates.end(), [&r](const Candidate& a, const Candidate& b) {
            return rankOf(r.streams.at(a.stream), a, a.stream) < rankOf(r.streams.at(b.stream), b, b.stream);
        });
        // The same address twice (two lists, two names) is one alternative.
        QSet<QString> seen;
        QList<Candidate> distinct;
        for (const Candidate& c : std::as_const(m.candidates))
            if (!seen.contains(r.streams.at(c.stream).entry->url)) {
                seen.insert(r.streams.at(c.stream).entry->url);
                distinct << c;
            }
        m.candidates = distinct;
        r.matches << m;
    }

    // Near names, for the entries left without a stream: only suggested.
    QSet<int> matched;
    for (const Match& m : std::as_const(r.matches))
        matched.insert(m.target);
    struct Near {
        int stream;
        QString joined;
        QStringList digits;
    };
    QHash<QString, QList<Near>> joinedByCountry;
    for (int si = 0; si < r.streams.size(); ++si) {
        const Stream& s = r.streams.at(si);
        if (!s.usable)
            continue;
        const QStringList w = nameWords(s.name);
        for (const QString& c : s.countries)
            joinedByCountry[c] << Near{si, w.join(QString()), digitsOf(w)};
    }
    for (int ti = 0; ti < targets.size(); ++ti) {
        if (matched.contains(ti))
            continue;
        const Target& t = targets.at(ti);
        Suggestion best{ti, -1, 0.8};
        for (const QString& name : t.names) {
            const QStringList w = nameWords(name);
            const QString j = w.join(QString());
            const QStringList digits = digitsOf(w);
            if (j.size() < 4)
                continue;
            for (const QString& c : t.countries)
                for (const Near& n : joinedByCountry.value(c)) {
                    // Names that differ in a number ("C-Span 1", "C-Span 2")
                    // are different channels, however alike.
                    if (n.digits != digits)
                        continue;
                    const double q = ratio(j, n.joined);
                    if (q >= best.ratio && (best.stream < 0 || q > best.ratio)) {
                        best.stream = n.stream;
                        best.ratio = q;
                    }
                }
        }
        if (best.stream >= 0)
            r.suggestions << best;
    }
    return r;
}

} // namespace miravon::import
