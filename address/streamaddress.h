#pragma once

#include "origin.h"

#include <QByteArray>
#include <QString>

class QNetworkRequest;

class QUrl;

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
    // The layer the address comes from. Only the user's own address file
    // (AddressOrigin::Own) may name a file of this computer by its absolute
    // path (file:///...); addresses from anywhere else, and whatever a
    // playlist from the network names, never open local files.
    AddressOrigin origin = AddressOrigin::BuiltIn;

    // No headers to send.
    bool isEmpty() const { return referrer.isEmpty() && userAgent.isEmpty(); }
    friend bool operator==(const StreamOptions&, const StreamOptions&) = default;
};

// A stream address as it travels from the layer that gave it to whatever
// opens it (the player, the address check): the URL as given, and what goes
// with it.
struct StreamAddress {
    QString url;
    StreamOptions options;
    friend bool operator==(const StreamAddress&, const StreamAddress&) = default;
};

// One header value as it is sent: line breaks dropped (they could smuggle
// in further headers), no surrounding blanks.
QByteArray streamHeaderValue(const QString& value);

// Sets the headers on a request the player makes itself (playlists,
// manifests, the address check); a user agent given replaces the one the
// request carries.
void applyStreamOptions(QNetworkRequest& request, const StreamOptions& options);

} // namespace miravon
