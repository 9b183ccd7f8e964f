#pragma once

#include "failure.h"
#include "streamaddress.h"

#include <QByteArray>
#include <QObject>

#include <memory>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QTcpSocket;

namespace miravon {

class Fetch;
struct FetchResult;

// Asks what an address names whether it offers a stream, directly, once
// and within a bound: an RTSP server by DESCRIBE (a media description offers
// it), MMS over HTTP as a Windows Media player asks (a stream header offers
// it), MMS over TCP by its greeting (an answer in kind; one that takes the
// connection and stays silent is no media server), a file of this computer
// by its first bytes (a FIFO or a device is never opened). verdict(None) when it offers a stream, else why not; detail()
// says more for a human ("RTSP 404", "no such file"). The verdict comes
// once, after run() has returned; a new run() or cancel() drops the one in
// flight. Web addresses are not its business (the fetcher reads those).
class ServerProbe : public QObject {
    Q_OBJECT
public:
    explicit ServerProbe(QObject* parent = nullptr);
    ~ServerProbe() override;

    void run(const QUrl& url, const StreamOptions& options, int boundMs);
    void cancel();
    bool isRunning() const { return running_; }
    QString detail() const { return detail_; }
    // What the silence so far says, when the bound ends the probe (or a
    // bound around it): TimedOut, or NotMedia for a server that took the
    // connection and never answered in kind.
    PlayFailure silenceVerdict();

signals:
    void verdict(miravon::PlayFailure reason);

private:
    void finish(PlayFailure reason);
    void onConnected();
    void onReadyRead();
    void lookAtFile();

    enum class Kind { Rtsp, MmsOverHttp, MmsOverTcp, File };
    Kind kind_ = Kind::Rtsp;
    QUrl url_;
    StreamOptions options_;
    QTcpSocket* socket_ = nullptr;
    QTimer bound_;
    QByteArray answer_;
    QString detail_;
    bool running_ = false;
};

// Looks at one candidate address just far enough to know whether it is a
// media stream: what the address check does where the player would hand
// the candidate to the engine, and what the player does to find out why the
// engine could not play one (the engine does not tell), so that both give
// the same reason. Web addresses by their first bytes (an HLS
// master is followed to a variant and its newest segment; a DASH manifest
// counts as media); everything else by asking its server (ServerProbe).
// Says so once through works(), failed() or unreadable() (a web document
// that is neither media nor a web page: it may be a playlist, which the
// resolver then reads as it does for the player).
class CandidateLook : public QObject {
    Q_OBJECT
public:
    // `network` lives in this thread and outlives the look; none: the look
    // makes its own.
    explicit CandidateLook(QNetworkAccessManager* network = nullptr, QObject* parent = nullptr);
    ~CandidateLook() override;

    void look(const QUrl& url, const StreamOptions& options, int boundMs);
    void cancel();
    bool isRunning() const;
    QString detail() const { return detail_; }
    // What the silence so far says when the check's bound ends the look.
    PlayFailure silenceVerdict();

signals:
    void works();
    void failed(miravon::PlayFailure reason);
    // `head`: what was read of it (the whole document when `whole`).
    void unreadable(const QByteArray& head, const QUrl& documentUrl, bool whole);

private:
    void fetchHead(const QUrl& url, int hops);
    void judge(const FetchResult& result, int hops);

    QNetworkAccessManager* network_;
    std::unique_ptr<Fetch> fetch_;
    ServerProbe server_;
    StreamOptions options_;
    int boundMs_ = 10000;
    int hops_ = 0;
    QUrl segment_; // an HLS segment: any answer that is not a web page will do
    QString detail_;
};

// Whether the first bytes of an answer are media: a container's signature,
// or a server that says it sends audio or video.
bool looksLikeMedia(const QByteArray& head, const QByteArray& contentType);
// Whether they are a web page.
bool looksLikeWebPage(const QByteArray& head, const QByteArray& contentType);

} // namespace miravon
