// ASX/WVX playlists, [Reference] files and the player's own M3U reading, as
// fetched from a server: the first byte picks the address the body came from
// (its name decides whether an unmarked body is read as M3U).
#include "fuzz.h"
#include "playlist.h"

using namespace miravon;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QUrl bases[] = {
        QUrl(QStringLiteral("http://tv.example/live/ch.asx")),
        QUrl(QStringLiteral("http://tv.example/list/p.m3u")),
        QUrl(QStringLiteral("http://tv.example:8080/live")),
        QUrl(QStringLiteral("https://tv.example/a/b/c.wvx?id=1")),
    };
    if (size == 0)
        return 0;
    const QUrl& base = bases[data[0] % std::size(bases)];
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    const ParsedPlaylist p = parsePlaylist(body, base);

    // Nothing kept comes from a body that is no playlist.
    FUZZ_CHECK(p.kind != ParsedPlaylist::NotPlaylist || (p.entries.isEmpty() && p.refused.isEmpty()));
    // Each reference takes at least one byte and a line break of the body (an
    // M3U line): the result cannot outgrow it.
    qsizetype refs = p.refused.size();
    for (const PlaylistEntry& e : p.entries) {
        FUZZ_CHECK(!e.alternatives.isEmpty());
        FUZZ_CHECK(!e.isPlaylistRef || e.alternatives.size() == 1);
        refs += e.alternatives.size();
        // Only addresses the player may open, each with a host.
        for (const QUrl& u : e.alternatives) {
            FUZZ_CHECK(u.isValid() && isAllowedScheme(u) && !u.host().isEmpty());
            (void)isPlaylistAddress(u);
        }
    }
    FUZZ_CHECK(refs <= (body.size() + 1) / 2);
    return 0;
}
