#pragma once

#include "streamaddress.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTcpSocket;

namespace miravon {

// What one probe of an address found. The reasons are the player's own
// failure reasons, so that a line of the address check and a failed channel
// read the same.
enum class ProbeResult {
    Works,
    StandIn,            // a stand-in (standin.h): no working address yet, not probed
    BadAddress,         // not an address the player opens
    HostNotFound,
    ConnectionRefused,
    TimedOut,
    RefusedByServer,    // an error status (HTTP or RTSP)
    NotMedia,
    PlaylistRefused,
    NoPlayableEntry,
};

// A short English phrase for the address check's report ("works", "host not
// found", ...).
QString probeResultText(ProbeResult result);

// Opens one address just far enough to know whether it is a media stream,
// within `boundMs`, and says so once through finished(). Web addresses:
// status and the first bytes (HLS and DASH manifests are followed to a
// variant and a segment; ASX, [Reference] and M3U playlists to their entries,
// as the player follows them); MMS over HTTP as a Windows Media player asks;
// RTSP by DESCRIBE. Never blocks; delete it to cancel.
class StreamProbe : public QObject {
    Q_OBJECT
public:
    StreamProbe(QNetworkAccessManager* network, int boundMs, QObject* parent = nullptr);
    ~StreamProbe() override;

    void start(const QUrl& url, const StreamOptions& options = {});

    // Details of the outcome for a human ("HTTP 403", "no such file").
    QString detail() const { return detail_; }

signals:
    void finished(miravon::ProbeResult result);

private:
    void probe(const QUrl& url, int depth);
    void probeHttp(const QUrl& url, int depth, bool mmsOverHttp);
    void judgeHttp(QNetworkReply* reply, const QUrl& url, int depth, bool mmsOverHttp);
    void probeRtsp(const QUrl& url);
    void probeTcp(const QUrl& url, quint16 defaultPort);
    void probeFile(const QUrl& url);
    void follow(const QUrl& url, int depth);
    void tryNext(ProbeResult why);
    void done(ProbeResult result);

    QNetworkAccessManager* network_;
    StreamOptions options_;
    QTimer bound_;
    QPointer<QNetworkReply> reply_;
    QPointer<QTcpSocket> socket_;
    QPointer<QTcpSocket> greeted_; // an MMS-over-TCP connection the greeting went out on
    QString detail_;
    bool finished_ = false;
    // Alternatives still to try (the entries of a playlist), with depth.
    QList<QPair<QUrl, int>> pending_;
    QUrl segment_;  // an HLS segment: any answer that is not a web page will do
    int tried_ = 0;  // addresses of a playlist tried
    int refusedRefs_ = 0;
    bool viaPlaylist_ = false;
};

} // namespace miravon
