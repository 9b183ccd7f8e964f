#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "streamaddress.h"

namespace miravon {

struct PlaybackOutputs;

// One engine option, as the engine's own option string takes it.
struct EngineOption {
    QByteArray name;
    QByteArray value;
    friend bool operator==(const EngineOption&, const EngineOption&) = default;
};
using EngineOptions = QList<EngineOption>;

// The one option list every engine of the program is made with: outputs,
// no configuration or scripts of the user's, no playlists of the engine's
// own, the stored player settings, and the network bound. Benchmarks that
// compare the player with a bare engine make the bare one from this list
// too, so that both do the same work.
//
// `networkTimeoutSeconds` is the engine's own backstop; the player's
// no-progress bound normally fires first.
EngineOptions engineOptions(const PlaybackOutputs& outputs, int networkTimeoutSeconds);

// Whether these outputs render video into the player's own video surface
// (the default) rather than to an engine-side output such as "null".
bool rendersIntoSurface(const PlaybackOutputs& outputs);

// The per-file options (handed with the load command) that make the engine
// send an address's referrer and user agent with its own requests.
EngineOptions engineOptions(const StreamOptions& address);

// Encodes per-file options for the load command: name=%len%value, so that
// values may hold commas, quotes and equals signs.
QByteArray encodeFileOptions(const EngineOptions& options);

} // namespace miravon
