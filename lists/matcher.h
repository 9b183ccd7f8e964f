#pragma once

#include "m3u.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <tuple>

namespace miravon::catalogue {
struct Catalogue;
}

namespace miravon::import {

// The matching data shipped with the catalogue: the country codes of every
// channel panel and of every heading block inside the panels that hold
// several countries (countries.tsv), and the channel names of the logos and
// the other names an entry is known by (names.tsv).
struct MatchData {
    QHash<QString, QStringList> panelCountries;   // "window/panel"
    QHash<QString, QStringList> headingCountries; // "window/heading control"
    QHash<QString, QStringList> names;            // "window/control", in file order
};
MatchData parseMatchData(const QString& countries, const QString& names, QStringList* errors);
MatchData builtInMatchData();

// A channel entry that an import may give an address.
struct Target {
    QString window;
    QString panel;
    QString control;
    QString caption;       // as displayed (converted from VNI), or a logo's channel name
    QString panelTitle;    // the panel's title as displayed; empty for an untitled panel
    QStringList names;     // the caption, then the other names
    QStringList countries; // ISO 3166-1 alpha-2, upper case
};
// The entries and logos of the six viewer windows, in file order.
QList<Target> targets(const catalogue::Catalogue& catalogue, const MatchData& data);

// A playlist as read: `name` is the file name or the URL it came from.
struct Source {
    QString name;
    m3u::Playlist playlist;
};

// One stream of a source, ready to be compared.
struct Stream {
    int source = 0;
    const m3u::Entry* entry = nullptr; // into the source's playlist
    QString name;                      // the title without its markers and resolution
    QStringList markers;               // "[Geo-blocked]", "[Not 24/7]", ...
    int resolution = 0;                // from "(720p)" and the like
    QStringList countries;
    bool mainList = false;             // from the country's own list ("vn.m3u")
    bool usable = false;               // an address the catalogue accepts
    int language = 0;                  // languageRank() of its name and feed
};

enum class How {
    Name,     // the display name (or tvg-name) equals the entry's caption
    Alias,    // the display name equals another name of names.tsv
    TvgId,    // the name in the tvg-id equals one of the entry's names
    CallSign, // a North American call sign in the tvg-id
};
QString howText(How how);

struct Candidate {
    int stream = 0;
    How how = How::Name;
};

struct Match {
    int target = 0;
    QList<Candidate> candidates; // the one written first, then the others, best first
};

struct Suggestion {
    int target = 0;
    int stream = 0;
    double ratio = 0;
};

struct Result {
    QList<Stream> streams;
    QList<Match> matches;         // in target order
    QList<Suggestion> suggestions; // near names of unmatched entries; never written
    int withoutCountry = 0;       // usable streams no country could be given
    int unusable = 0;             // streams whose address cannot be used
    int tooLong = 0;              // streams with a name or address past the limits (sizelimits.h)
};

// Matches the streams of `sources` to `targets`: by name, only within a
// shared country. A stream's country is its tvg-country, else the suffix of
// its tvg-id, else the list's file name, else `fallbackCountry`. `sources`
// must outlive the result.
Result match(const QList<Target>& targets, const QList<Source>& sources, const QString& fallbackCountry);

// The words a name is compared by: diacritics, case and punctuation gone,
// letters split from digits, leading zeros dropped, suffix words (TV, HD,
// Channel, ch, ...) dropped unless only digits would remain.
QStringList nameWords(QStringView name);

// How well the language edition a stream's name or tvg-id feed names
// ("DW English", "DW.de@Arabic") suits a Vietnamese or general viewer,
// lower first: 0 Vietnamese; 1 English, or no language named (the
// channel's main edition); 2 the language of `country`; 3 another
// language.
int languageRank(QStringView name, QStringView feed, const QString& country);
// The same for a name already split into its nameWords().
int languageRank(const QStringList& nameWords, QStringView feed, const QString& country);

// The order of a channel's streams among themselves, best first (before
// the order they were read in): language edition, the country's own list,
// no [Geo-blocked], no [Not 24/7], no extra headers, https, the higher
// resolution.
struct StreamRank {
    int language = 0;
    bool otherList = false;
    bool geoBlocked = false;
    bool notAlways = false;
    bool headers = false;
    bool plainHttp = false;
    int resolution = 0;
    friend bool operator<(const StreamRank& a, const StreamRank& b)
    {
        return std::tie(a.language, a.otherList, a.geoBlocked, a.notAlways, a.headers, a.plainHttp, b.resolution)
            < std::tie(b.language, b.otherList, b.geoBlocked, b.notAlways, b.headers, b.plainHttp, a.resolution);
    }
};
StreamRank rankOf(const Stream& stream);

// A country code as the lists write it, upper case; "UK" is GB. Empty when
// `text` is no two-letter code.
QString countryCode(QStringView text);

// The country a list's file name names ("vn.m3u", "us_pluto.m3u8"), or empty.
QString countryOfListName(const QString& name, bool* mainList = nullptr);

} // namespace miravon::import
