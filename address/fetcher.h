#pragma once

#include "failure.h"
#include "sizelimits.h"
#include "streamaddress.h"
#include "waits.h"

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace miravon {

// The bounds of one fetch.
struct FetchLimits {
    // Whole: a larger document is refused (PlaylistRefused). Head: what is
    // read, at most.
    qint64 maxBytes = maxPlaylistBytes;
    // No byte and no answer for this long: TimedOut.
    int noProgressMs = noProgressBoundMs;
    // The whole fetch, when not 0: TimedOut.
    int totalMs = 0;
};

// What went wrong in a fetch beyond its PlayFailure, where that is known:
// the reasons a person reads apart ("refused" says too little).
enum class FetchProblem {
    None,
    TooLarge,        // past FetchLimits::maxBytes
    Unpacked,        // a compressed answer unpacks past the limit: a compression bomb
    Truncated,       // the answer broke off before the length it declared
    RedirectScheme,  // a redirect to what is no http(s) address (file:, ftp:, data:)
    RedirectLoop,    // a redirect back to an address already visited
    TooManyRedirects,
    LessSafe,        // a redirect from https to http
};

// How a fetch ended.
struct FetchResult {
    PlayFailure failure = PlayFailure::None; // None: `body` is what was asked for
    QByteArray body;
    bool complete = false;   // the whole document (not just its head)
    int status = 0;          // the HTTP status, when an answer came
    QUrl url;                // where the body came from, after redirects
    QByteArray contentType;
    QString detail;          // for a human: "HTTP 404", "larger than 1 MiB"
    FetchProblem problem = FetchProblem::None;
    qint64 received = 0;     // bytes of the body that came (Truncated, Unpacked)
    qint64 declared = -1;    // the length the server declared, when it did
    QUrl redirect;           // RedirectScheme, RedirectLoop: where it led
};

// Fetches one document over http or https, never anything it names: with
// the address's headers (applyStreamOptions), safe redirects only, within
// its size and time bounds, and told apart by the reasons users read
// (failure.h). Used for the player's playlists and manifests, the address
// check's look at a candidate, and the import of channel lists.
//
// Whole: the document entire, or a failure. Head: its first `maxBytes`
// bytes (a stream never ends): the fetch stops there, or at the end.
// A `peek` judges the first bytes once `peekBytes` of them have come (or
// the answer ended): returning a failure stops the fetch with it (a stream
// is not downloaded to find out it is no playlist).
//
// finished() comes once, after start() has returned; cancel() or deleting
// the fetch drops it without a signal.
class Fetch : public QObject {
    Q_OBJECT
public:
    enum class Extent { Whole, Head };
    using Peek = std::function<PlayFailure(const QByteArray& head, const QByteArray& contentType)>;

    // `network` lives in this thread and outlives the fetch.
    explicit Fetch(QNetworkAccessManager* network, QObject* parent = nullptr);
    ~Fetch() override;

    void setPeek(qint64 peekBytes, Peek peek);
    void start(const QNetworkRequest& request, const FetchLimits& limits, Extent extent = Extent::Whole);
    void cancel();
    bool isRunning() const { return reply_ != nullptr; }
    // While running: whether the server has answered, and how much of the
    // body has come (for saying what a fetch waits for).
    bool hasAnswered() const { return answered_; }
    qint64 bytesReceived() const { return body_.size(); }

signals:
    // The server's answer has begun (its status and headers are in).
    void answering();
    void finished(const miravon::FetchResult& result);

private:
    void onReadyRead();
    void onFinished();
    bool take();
    void conclude(bool stoppedEarly);
    void finish(FetchResult result);
    static bool redirectProblem(const QNetworkReply* reply, QNetworkReply::NetworkError error, FetchResult* r);

    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QTimer quiet_;
    QTimer total_;
    FetchLimits limits_;
    Extent extent_ = Extent::Whole;
    QByteArray body_;
    qint64 peekBytes_ = 0;
    Peek peek_;
    bool peeked_ = false;
    bool answered_ = false;
    QList<QUrl> visited_; // the addresses redirects led to, in order
};

// The request for a document the program reads itself: safe redirects only
// (at most maxRedirects), the program's user agent unless the address gives
// its own, and the address's headers.
QNetworkRequest documentRequest(const QUrl& url, const StreamOptions& options = {});

// Fetches one document whole and waits for it, serving a local event loop:
// for a thread that has no other work (the import's).
FetchResult fetchAndWait(const QUrl& url, const StreamOptions& options, const FetchLimits& limits);

// One line for a human about a failed fetch: the reason and its detail,
// in English (the terminal's).
QString fetchFailureText(const FetchResult& result);

} // namespace miravon
