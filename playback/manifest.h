#pragma once

#include "streamaddress.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;

namespace miravon {

class Fetch;

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

// Whether the engine's name for a container is that of a segmented stream
// (its "file-format": hls, dash).
bool isSegmentedFormat(const QString& engineFormat);

// Reads the manifest of a segmented stream once, to learn whether it is
// live: an HLS master playlist's first variant is followed (one hop). Each
// fetch is bounded in time and size like any playlist and carries the
// address's referrer and user agent. says() comes once, after start() has
// returned, and only when the manifest could be read; nothing is said on
// failure (the caller keeps its guess).
class ManifestReader : public QObject {
    Q_OBJECT
public:
    explicit ManifestReader(QObject* parent = nullptr);
    ~ManifestReader() override;

    void start(const QUrl& url, const StreamOptions& options, int boundMs);
    // Drops the fetch in flight; no further signal.
    void cancel();

signals:
    void says(bool live);

private:
    void fetch(const QUrl& url, int hops);

    QNetworkAccessManager* network_ = nullptr;
    Fetch* fetch_ = nullptr;
    StreamOptions options_;
    int boundMs_ = 5000;
    int hops_ = 0;
};

} // namespace miravon
