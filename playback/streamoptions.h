#pragma once

#include <QByteArray>
#include <QString>

class QNetworkRequest;

namespace miravon {

// What a server wants to see, besides the address, before it hands out a
// stream: many streams of today's channel lists play only for the web page
// (Referer) or the player (User-Agent) they were made for. Given with one
// address, these go with every request made for that address: its playlists,
// its manifests and its segments, and its reconnections. Empty fields are
// not sent (the player's own user agent is used).
struct StreamOptions {
    QString referrer;
    QString userAgent;

    bool isEmpty() const { return referrer.isEmpty() && userAgent.isEmpty(); }
    friend bool operator==(const StreamOptions&, const StreamOptions&) = default;
};

// The engine's per-file options carrying `options`, in the key=value list
// form its load command takes ("referrer=%7%http://"); each value is given
// with its byte length, so that commas, quotes and equals signs in it pass
// unharmed. Line breaks are dropped: they could smuggle in further headers.
// Empty when there is nothing to pass.
QByteArray engineFileOptions(const StreamOptions& options);

// Sets the same headers on a request the player makes itself.
void applyStreamOptions(QNetworkRequest& request, const StreamOptions& options);

} // namespace miravon
