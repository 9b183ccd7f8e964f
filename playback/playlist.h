#pragma once

#include "addresspolicy.h"
#include "sizelimits.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace miravon {


// One entry of a playlist: the addresses that may play it, tried in order
// until one works. An entry reference names another playlist to fetch.
struct PlaylistEntry {
    QList<QUrl> alternatives;
    bool isPlaylistRef = false;

    friend bool operator==(const PlaylistEntry&, const PlaylistEntry&) = default;
};

struct ParsedPlaylist {
    enum Kind { NotPlaylist, Asx, Reference, M3u };
    Kind kind = NotPlaylist;
    QList<PlaylistEntry> entries;
    // References dropped because their scheme may not be opened.
    QStringList refused;
};

// Parses the body of a fetched playlist. Tolerant of sloppy files: any tag
// case, unescaped '&', comments, a byte-order mark, UTF-8 or UTF-16, relative
// references (resolved against `base`). Only references whose scheme passes
// isAllowedScheme() are kept. A body that is no playlist this parser knows
// (including HLS .m3u8 variants, which the engine plays itself) yields
// NotPlaylist.
ParsedPlaylist parsePlaylist(const QByteArray& body, const QUrl& base);

// Whether the player should fetch and parse this address itself rather than
// hand it to the engine: .asx, .wax, .wvx, .wmx and .m3u over http(s).
bool isPlaylistAddress(const QUrl& url);

// Decodes playlist bytes: BOM-marked UTF-8/UTF-16, unmarked UTF-16 guessed
// from NUL bytes, otherwise UTF-8.
QString decodePlaylistText(const QByteArray& body);

} // namespace miravon
