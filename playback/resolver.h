#pragma once

#include "failure.h"
#include "playlist.h"
#include "streamaddress.h"
#include "waits.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;

namespace miravon {

class Fetch;
struct FetchResult;

// Turns the address a window puts into the addresses the engine should try,
// one at a time: `mms` rolls over from MMS over HTTP to MMS over TCP;
// playlists (ASX, WVX, [Reference], M3U) are fetched and parsed under their
// limits (size, nesting, no loops, no local references); a file of this
// computer is opened only when the user's own address file names it
// (StreamOptions::origin); each entry's
// alternatives are tried in order, then the next entry.
//
// The resolver knows nothing of the engine. Whoever tries its candidates
// (the engine when playing, a look at the first bytes when checking: see
// streamcheck.h) reports back: candidateFailed() moves on to the next
// alternative,
// candidateUnreadable() has an http candidate fetched to see whether it is
// a playlist the engine could not read (remembered for the rest of the run,
// so that the next start fetches it before the engine sees it),
// candidateEnded() goes on with the next entry. Every playlist fetch has its own no-progress bound; a fetch
// that passes it fails that alternative only.
//
// Signals come after the call that caused them has returned, never from
// inside start().
class AddressResolver : public QObject {
    Q_OBJECT
public:
    explicit AddressResolver(QObject* parent = nullptr);
    ~AddressResolver() override;

    // How long one fetch may show no progress (default noProgressBoundMs).
    void setFetchBound(int ms);

    // Drops whatever was being resolved and starts on `address`.
    void start(const QString& address, const StreamOptions& options = {});
    // Drops everything in flight; no further signal.
    void cancel();
    bool isActive() const { return active_; }

    void candidateFailed(PlayFailure reason);
    void candidateUnreadable();
    // Whoever tried the candidate read it as a web document that is no
    // media: `body` is read as candidateUnreadable() would fetch it (when
    // `whole`; a head only is fetched again).
    void candidateRead(const QByteArray& body, const QUrl& documentUrl, bool whole);
    void candidateEnded();

signals:
    // A playlist fetch began / its answer is arriving / it was parsed.
    void fetchStarted();
    void fetchAnswering();
    void playlistParsed();
    // Hand this address to the engine.
    void candidate(const QUrl& url);
    // Nothing (more) to try: the address failed for this reason.
    void failed(miravon::PlayFailure reason);
    // The last entry played to its end.
    void finished();

private:
    struct Entry {
        QList<QUrl> alternatives;
        int next = 0;
        int depth = 0;
        bool playlistRef = false;
        bool sniffed = false;  // fetched once already: hand it to the engine
    };

    void later(std::function<void()> step);
    void advance();
    void nextAlternative(PlayFailure reason);
    void startFetch(const QUrl& url, int depth, bool sniff);
    void dropFetch();
    void fetchDone(const FetchResult& result, const QUrl& url, int depth, bool sniff);
    PlayFailure finalFailure() const;
    // The alternative handed out and not yet reported on, empty when none.
    QUrl handedOut() const;
    static QList<QUrl> expand(const QUrl& url);

    QNetworkAccessManager* network_ = nullptr;
    Fetch* fetch_ = nullptr;
    struct Fetching {
        QUrl url;
        int depth = 0;
        bool sniff = false;
    };
    Fetching fetching_;
    int fetchBoundMs_ = noProgressBoundMs;

    quint64 generation_ = 0;
    bool active_ = false;
    StreamOptions options_;
    QList<Entry> queue_;
    QList<QUrl> visited_;
    // The first entry's current alternative is with whoever tries it.
    bool handedOut_ = false;
    bool viaPlaylist_ = false;
    int refused_ = 0;
    int engineTries_ = 0;
    PlayFailure best_ = PlayFailure::None;
};

} // namespace miravon
