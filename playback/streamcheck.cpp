#include "streamcheck.h"

#include "fetcher.h"
#include "manifest.h"
#include "playback.h"

#include <QDeadlineTimer>
#include <QNetworkAccessManager>

namespace miravon {
namespace {

// How much of an answer is read to judge it.
constexpr qint64 kHeadBytes = 64 * 1024;

} // namespace

CandidateLook::CandidateLook(QNetworkAccessManager* network, QObject* parent)
    : QObject(parent)
    , network_(network)
{
    connect(&server_, &ServerProbe::verdict, this, [this](PlayFailure reason) {
        detail_ = server_.detail();
        if (reason == PlayFailure::None)
            emit works();
        else
            emit failed(reason);
    });
}

CandidateLook::~CandidateLook() = default;

void CandidateLook::cancel()
{
    if (fetch_)
        fetch_->cancel();
    server_.cancel();
}

bool CandidateLook::isRunning() const { return server_.isRunning() || (fetch_ && fetch_->isRunning()); }

PlayFailure CandidateLook::silenceVerdict()
{
    if (!server_.isRunning())
        return PlayFailure::TimedOut;
    const PlayFailure verdict = server_.silenceVerdict();
    detail_ = server_.detail();
    return verdict;
}

void CandidateLook::look(const QUrl& url, const StreamOptions& options, int boundMs)
{
    cancel();
    options_ = options;
    boundMs_ = std::max(1, boundMs);
    detail_.clear();
    segment_.clear();
    if (isWebAddress(url))
        fetchHead(url, 0);
    else
        server_.run(url, options, boundMs_);
}

void CandidateLook::fetchHead(const QUrl& url, int hops)
{
    if (!fetch_) {
        fetch_ = std::make_unique<Fetch>(network_);
        connect(fetch_.get(), &Fetch::finished, this, [this](const FetchResult& r) { judge(r, hops_); });
    }
    hops_ = hops;
    fetch_->start(documentRequest(url, options_), FetchLimits{kHeadBytes, boundMs_, 0}, Fetch::Extent::Head);
}

void CandidateLook::judge(const FetchResult& r, int hops)
{
    if (r.failure != PlayFailure::None) {
        detail_ = r.detail;
        emit failed(r.failure);
        return;
    }
    if (!segment_.isEmpty()) {
        // A segment of a live window: anything but a web page is the stream.
        if (looksLikeWebPage(r.body, r.contentType)) {
            detail_ = QString::fromLatin1(r.contentType);
            emit failed(PlayFailure::NotMedia);
        } else {
            emit works();
        }
        return;
    }
    const Manifest manifest = parseManifest(r.body, r.url);
    switch (manifest.kind) {
    case Manifest::HlsMaster:
        if (hops >= maxPlaylistDepth || manifest.variants.isEmpty() || !isWebAddress(manifest.variants.first())) {
            emit failed(PlayFailure::PlaylistRefused);
            return;
        }
        fetchHead(manifest.variants.first(), hops + 1);
        return;
    case Manifest::HlsMedia:
        if (manifest.segments.isEmpty() || !isWebAddress(manifest.segments.last())) {
            detail_ = QStringLiteral("an HLS playlist without segments");
            emit failed(PlayFailure::NotMedia);
            return;
        }
        // The newest segment: older ones of a live window may be gone.
        segment_ = manifest.segments.last();
        fetchHead(segment_, hops + 1);
        return;
    case Manifest::Dash:
        emit works();
        return;
    case Manifest::NotManifest:
        break;
    }
    if (looksLikeMedia(r.body, r.contentType)) {
        emit works();
        return;
    }
    if (looksLikeWebPage(r.body, r.contentType)) {
        detail_ = QString::fromLatin1(r.contentType);
        emit failed(PlayFailure::NotMedia);
        return;
    }
    // Neither media nor a page: a playlist, perhaps. The resolver reads it,
    // as it does when the engine cannot.
    detail_ = r.contentType.isEmpty() ? QString() : QString::fromLatin1(r.contentType);
    emit unreadable(r.body, r.url, r.complete);
}

StreamCheck::StreamCheck(QNetworkAccessManager* network, int boundMs, QObject* parent)
    : QObject(parent)
    , look_(network)
    , boundMs_(std::max(1, boundMs))
{
    bound_.setSingleShot(true);
    resolver_.setFetchBound(boundMs_);
    connect(&bound_, &QTimer::timeout, this, [this] {
        // Out of time: a look still going says what its silence means; one
        // that just ended has said it already (the walk had not come back
        // yet); anything else took too long.
        if (look_.isRunning()) {
            lastLook_ = look_.silenceVerdict();
            lookDetail_ = look_.detail();
        } else if (!lookPending_) {
            lastLook_ = PlayFailure::TimedOut;
        }
        done(lastLook_);
    });
    connect(&resolver_, &AddressResolver::candidate, this, [this](const QUrl& url) {
        lookPending_ = false;
        look_.look(url, options_, int(std::max<qint64>(1, bound_.remainingTime())));
    });
    connect(&resolver_, &AddressResolver::fetchStarted, this, [this] { lookPending_ = false; });
    connect(&resolver_, &AddressResolver::failed, this, &StreamCheck::done);
    connect(&resolver_, &AddressResolver::finished, this, [this] { done(PlayFailure::None); });
    connect(&look_, &CandidateLook::works, this, [this] { done(PlayFailure::None); });
    connect(&look_, &CandidateLook::failed, this, [this](PlayFailure reason) {
        lastLook_ = reason;
        lookDetail_ = look_.detail();
        lookPending_ = true;
        resolver_.candidateFailed(reason);
    });
    connect(&look_, &CandidateLook::unreadable, this, [this](const QByteArray& head, const QUrl& url, bool whole) {
        lastLook_ = PlayFailure::NotMedia;
        lookDetail_ = look_.detail();
        lookPending_ = true;
        resolver_.candidateRead(head, url, whole);
    });
}

void StreamCheck::start(const StreamAddress& address)
{
    options_ = address.options;
    bound_.start(boundMs_);
    resolver_.start(address.url, address.options);
}

void StreamCheck::done(PlayFailure result)
{
    if (finished_)
        return;
    finished_ = true;
    bound_.stop();
    resolver_.cancel();
    look_.cancel();
    // The detail of the look that gave the final reason; a reason of the
    // walk itself (no playable entry, a refused playlist) has none.
    if (result != PlayFailure::None && result == lastLook_)
        detail_ = lookDetail_;
    emit finished(result);
}

} // namespace miravon
