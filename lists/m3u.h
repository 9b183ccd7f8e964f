#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace miravon::m3u {

// One stream of a playlist: its address and what the lines before it said.
struct Entry {
    QString url;
    QString title;      // the display name after the comma of #EXTINF
    QString tvgId;
    QString tvgName;
    QString tvgCountry;
    QString groupTitle; // group-title, else the #EXTGRP before the address
    QString tvgLogo;    // as written; never fetched
    // The #EXTINF attribute http-referrer, #EXTVLCOPT:http-referrer, or
    // "|Referer=" after the address; the later one wins.
    QString referrer;
    // Likewise http-user-agent or user-agent, #EXTVLCOPT, "|User-Agent=".
    QString userAgent;
    int line = 0;       // line of the address, from 1
};

struct Playlist {
    // Whether the bytes are an M3U playlist at all: an #EXTM3U header, or at
    // least one #EXTINF followed by an address.
    bool isPlaylist = false;
    QList<Entry> entries;
    // The programme guides the #EXTM3U line names (x-tvg-url, url-tvg,
    // tvg-url; each may hold several, comma-separated), each once, in order.
    QStringList guides;
    // Relative stream addresses left out: the list has no http(s) address
    // of its own to resolve them against (a file of this computer).
    int refusedRelative = 0;
};

// Parses M3U / M3U8 bytes, tolerantly: a byte-order mark, CRLF or CR line
// ends, indented lines, blank and junk lines between #EXTINF and its
// address, comments and unknown directives, attributes quoted with " or '
// or not at all, in any case, a missing duration, a comma inside a quoted
// attribute, #EXTVLCOPT values in quotes. Invalid UTF-8 is replaced, never
// fatal. A relative stream address is resolved against `base` when that is
// an http(s) address, and refused (counted) otherwise. Pure: no I/O.
Playlist parse(QByteArrayView bytes, const QUrl& base = {});

} // namespace miravon::m3u
