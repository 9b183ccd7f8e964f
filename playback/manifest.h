#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

namespace miravon {

// What the manifest of a segmented stream (HLS, DASH) says about it, read
// from its text alone. The engine plays these streams itself; the player
// and the address check read them only to learn what the engine does not
// say: whether the stream is live, and where its media is.
struct Manifest {
    enum Kind {
        NotManifest,
        HlsMaster,  // lists variant playlists (`variants`)
        HlsMedia,   // lists segments (`segments`)
        Dash,
    };
    Kind kind = NotManifest;
    // HlsMedia: no end mark and not a finished playlist type. Dash: a
    // dynamic presentation. HlsMaster: unknown until a variant is read.
    bool live = false;
    QList<QUrl> variants;
    QList<QUrl> segments;
};

// Parses a manifest; relative references are resolved against `base`.
Manifest parseManifest(const QByteArray& body, const QUrl& base);

} // namespace miravon
