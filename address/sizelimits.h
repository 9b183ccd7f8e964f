#pragma once

#include <QString>
#include <QtGlobal>

namespace miravon {

// Sane lengths for what outside lists and files give: a longer name or
// address is a broken or hostile list, and comparing or storing it would
// cost without bound. Longer ones are skipped and counted where they come in.
inline constexpr int maxAddressChars = 4096; // an address, a referrer, a user agent
inline constexpr int maxNameChars = 300;     // a stream's title, tvg-name, tvg-id

// Documents read over the network (playlists, manifests, channel lists):
// they are not trusted. At most this large, at most this deeply nested.
inline constexpr qint64 maxPlaylistBytes = 1024 * 1024;
inline constexpr int maxPlaylistDepth = 5;
// Redirects followed for one document (safe ones only: never to another
// protocol, never from https to http).
inline constexpr int maxRedirects = 5;
// A playlist file on disk may be larger: a provider's whole list.
inline constexpr qint64 maxPlaylistFileBytes = 64 * 1024 * 1024;

// A size as the messages write it, exactly: "16 MiB", "1536 KiB", "10 byte"
// (a limit is never shown rounded to one it is not).
QString sizeText(qint64 bytes);

} // namespace miravon
