#pragma once

#include "failure.h"
#include "probe.h"
#include "resolver.h"
#include "streamaddress.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

namespace miravon {

class Fetch;
struct FetchResult;

// Looks at one candidate address just far enough to know whether it is a
// media stream: what the address check does where the player would hand
// the candidate to the engine. Web addresses by their first bytes (an HLS
// master is followed to a variant and its newest segment; a DASH manifest
// counts as media); everything else by asking its server (ServerProbe).
// Says so once through works(), failed() or unreadable() (a web document
// that is neither media nor a web page: it may be a playlist, which the
// resolver then reads as it does for the player).
class CandidateLook : public QObject {
    Q_OBJECT
public:
    CandidateLook(QNetworkAccessManager* network, QObject* parent = nullptr);
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

// Checks one address as the player opens it, within a bound: the player's
// own resolver walks its playlists and alternatives, and each candidate is
// looked at (CandidateLook) instead of played. So a failing address gets
// the reason the player would give. finished(None) when it works.
class StreamCheck : public QObject {
    Q_OBJECT
public:
    StreamCheck(QNetworkAccessManager* network, int boundMs, QObject* parent = nullptr);

    void start(const StreamAddress& address);
    // More for a human about the outcome ("HTTP 403", "text/html"), when
    // the last look that failed gave the final reason.
    QString detail() const { return detail_; }

signals:
    void finished(miravon::PlayFailure result);

private:
    void done(PlayFailure result);

    AddressResolver resolver_;
    CandidateLook look_;
    QTimer bound_;
    int boundMs_;
    StreamOptions options_;
    PlayFailure lastLook_ = PlayFailure::None;
    bool lookPending_ = false; // a look ended; the walk has not moved on yet
    QString lookDetail_;
    QString detail_;
    bool finished_ = false;
};

} // namespace miravon
