#include "streamcheck.h"

#include "playback.h"

namespace miravon {
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
