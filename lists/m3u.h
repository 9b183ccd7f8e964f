#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace miravon::m3u {

// One stream of a playlist: its address and what the lines before it said.
struct Entry {
    QString url;
    QString title;      // the display name after the comma of #EXTINF
    QString tvgId;
    QString tvgName;
    QString tvgCountry;
    QString groupTitle;
    QString referrer;   // #EXTVLCOPT:http-referrer, or "|Referer=" after the address
    QString userAgent;  // #EXTVLCOPT:http-user-agent, or "|User-Agent="
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
};

// Parses M3U / M3U8 bytes, tolerantly: a byte-order mark, CRLF or CR line
// ends, blank lines, comments and unknown directives, attributes quoted with
// " or ' or not at all, in any case, a missing duration, a comma inside a
// quoted attribute. Invalid UTF-8 is replaced, never fatal. Pure: no I/O.
Playlist parse(QByteArrayView bytes);

} // namespace miravon::m3u
