#pragma once

#include <QAbstractSocket>
#include <QMetaType>
#include <QNetworkReply>
#include <QString>

namespace miravon {

// Why an address could not be played: the one reason the user reads. The
// texts belong to the player's view (playerview.h).
enum class PlayFailure {
    None,
    // Not an address the player opens: an unknown scheme, a local file, a
    // malformed or empty address.
    UnsupportedAddress,
    // A built-in stand-in (standin.h): the channel has no working address
    // yet. Said at once, without any network traffic.
    NoAddressYet,
    HostNotFound,
    ConnectionRefused,
    TimedOut,
    // The server answered and refused: not found, forbidden, server error.
    NotFound,
    NotMedia,
    PlaylistRefused,
    NoPlayableEntry,
    ConnectionLost,
};

// How much a reason says about where the stream broke down: a server that
// answered says more than one that could not be reached. Of several attempts
// at one address (protocol rollover, alternatives), the user is told the
// reason that ranks highest.
int informativeness(PlayFailure reason);

// The more informative of two reasons; `current` wins a tie.
PlayFailure moreInformative(PlayFailure current, PlayFailure candidate);

// The one map from what the network layer says to the reasons users read,
// for the player and the address check alike.
PlayFailure failureFromNetwork(QNetworkReply::NetworkError error);
PlayFailure failureFromSocket(QAbstractSocket::SocketError error);
// A server's answer status (HTTP or RTSP): 4xx and 5xx are a refusal.
PlayFailure failureFromStatus(int status);

// The address check's words for a reason, short English phrases: "works"
// for None, "host not found", "refused by the server", ...
QString failureCheckText(PlayFailure reason);

} // namespace miravon

Q_DECLARE_METATYPE(miravon::PlayFailure)
