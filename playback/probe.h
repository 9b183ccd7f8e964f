#pragma once

#include "failure.h"
#include "streamaddress.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QTcpSocket;

namespace miravon {

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

// Finds out why the engine could not play a stream address: the engine does
// not tell, so the server is asked (ServerProbe). A server that does offer
// the stream gave something the engine could not play: NotMedia.
class FailureProbe : public QObject {
    Q_OBJECT
public:
    explicit FailureProbe(QObject* parent = nullptr);

    void run(const QUrl& url, int boundMs);
    void cancel() { probe_.cancel(); }
    bool isRunning() const { return probe_.isRunning(); }

signals:
    void verdict(miravon::PlayFailure reason);

private:
    ServerProbe probe_;
};

// Whether the first bytes of an answer are media: a container's signature,
// or a server that says it sends audio or video.
bool looksLikeMedia(const QByteArray& head, const QByteArray& contentType);
// Whether they are a web page.
bool looksLikeWebPage(const QByteArray& head, const QByteArray& contentType);

} // namespace miravon
