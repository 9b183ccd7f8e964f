#include "mpvplayer.h"

#include "engine.h"
#include "addresspolicy.h"
#include "mpvplayer_p.h"
#include "playback.h"
#include "playerstates.h"
#include "playerview.h"

// What the engine reports about the current candidate, live detection,
// reconnection of dropped live streams, and failure.

namespace miravon {

using namespace detail;
using Activity = PlayerView::Activity;

void MpvPlayer::onCommandReplied(quint64 tag, bool ok, qint64 entry)
{
    if (tag == 0 || tag != loadSerial_)
        return;
    if (!ok) {
        engineUrl_.clear();
        resolver_.candidateFailed(PlayFailure::NotMedia);
        return;
    }
    expectedEntry_ = entry;
    if (isCurrent())
        enter(Phase::EngineOpening);
}

void MpvPlayer::onFileStarted(qint64 entry)
{
    startedEntry_ = entry;
    if (isCurrent()) {
        enter(Phase::EngineOpening);
        progress();
    }
}

void MpvPlayer::onFileLoaded()
{
    if (!isCurrent())
        return;
    loaded_ = true;
    enter(Phase::FileOpen);
    if (view_)
        view_->clearBlank();
    progress();
    updateTransport();
}

void MpvPlayer::onPlaybackRestarted()
{
    if (!loaded_ || !isCurrent())
        return;
    restarted_ = true;
    progress();
    maybeFirstFrame();
    if (!soundTold_)
        soundCheck_.start();
    if (!paused_ && !buffering_)
        becamePlaying();
}

void MpvPlayer::becamePlaying()
{
    played_ = true;
    if (outage_) {
        outage_ = false;
        qCDebug(lcPlayer) << "live stream won back";
    }
    if (live_ && !steady_.isActive())
        steady_.start();
    enter(Phase::Playing);
}

void MpvPlayer::onFileEnded(const FileEnd& end)
{
    if (end.entry != expectedEntry_ || expectedEntry_ < 0)
        return;
    expectedEntry_ = -1;
    if (end.reason == FileEndReason::Stopped)
        return;
    if (end.audioOutputFailed)
        tellNoSound();
    if (outage_ || (played_ && live_)) {
        liveStreamDropped();
        return;
    }
    // Without a sound device the engine reports a file it played (pictures
    // only) as failed: it ended all the same.
    const bool ended = end.reason == FileEndReason::EndOfFile || (end.audioOutputFailed && restarted_);
    if (ended && loaded_) {
        enter(Phase::EntryEnded);
        engineUrl_.clear();
        loaded_ = false;
        watchdog_.stop();
        resolver_.candidateEnded();
        return;
    }
    qCDebug(lcPlayer) << "engine could not play" << engineUrl_ << end.error;
    engineFailed();
}

// Why the engine failed is found out by asking the server: a fetch of the
// same address for web addresses (which may turn out a playlist), a probe
// of the stream server otherwise.
void MpvPlayer::engineFailed()
{
    const QUrl url = engineUrl_;
    engineUrl_.clear();
    loaded_ = false;
    watchdog_.stop();
    if (isWebAddress(url))
        resolver_.candidateUnreadable();
    else
        probe_.run(url, std::min(noProgressMs_, 5000));
}

void MpvPlayer::liveStreamDropped()
{
    watchdog_.stop();
    steady_.stop();
    if (reconnects_ >= reconnectAttempts_) {
        fail(PlayFailure::ConnectionLost);
        return;
    }
    reconnects_++;
    // Until it plays again, whatever happens to an attempt is part of this
    // outage: a refused or silent attempt waits for the next one.
    outage_ = true;
    loaded_ = false;
    if (view_)
        view_->blankPicture();
    enter(Phase::Reconnecting);
    updateTransport();
    reconnectTimer_.start(reconnectDelayMs_ << std::min(reconnects_ - 1, 10));
}

void MpvPlayer::reconnect()
{
    const QUrl url = resolver_.current();
    if (!active_ || url.isEmpty())
        return;
    startEngine(url);
}

void MpvPlayer::finish()
{
    watchdog_.stop();
    active_ = false;
    enter(Phase::Finished);
    updateTransport();
    scheduleRelease();
}

void MpvPlayer::fail(PlayFailure reason)
{
    qCDebug(lcPlayer) << "failed" << static_cast<int>(reason);
    const bool hadEngine = !engineUrl_.isEmpty() || loadSerial_ != 0;
    resetAttempt();
    if (hadEngine)
        stopEngine();
    active_ = false;
    failure_ = reason;
    enter(Phase::Failed);
    if (view_)
        view_->setFailure(reason);
    updateTransport();
    scheduleRelease();
    emit failed(reason);
}

void MpvPlayer::progress()
{
    if (active_ && !paused_ && !engineUrl_.isEmpty())
        watchdog_.start(noProgressMs_);
}

void MpvPlayer::onWatchdog()
{
    if (!active_ || engineUrl_.isEmpty())
        return;
    qCDebug(lcPlayer) << "no progress within" << noProgressMs_ << "ms";
    stopEngine();
    if (outage_ || (played_ && live_)) {
        // A live stream that stalls is a dropped one.
        liveStreamDropped();
        return;
    }
    // This alternative is silent; the next one may not be.
    engineUrl_.clear();
    loaded_ = false;
    resolver_.candidateFailed(PlayFailure::TimedOut);
}

void MpvPlayer::onProperty(quint64 id, const QVariant& value)
{
    const bool current = isCurrent();
    switch (id) {
    case PropPause:
        paused_ = value.toBool();
        if (current && loaded_) {
            if (paused_) {
                enter(Phase::Paused);
                watchdog_.stop();
            } else if (restarted_ && !buffering_) {
                becamePlaying();
                progress();
            }
        }
        updateTransport();
        break;
    case PropPausedForCache:
        if (current && loaded_) {
            buffering_ = value.toBool();
            if (buffering_)
                enter(Phase::Buffering);
            else if (restarted_ && !paused_)
                becamePlaying();
        }
        break;
    case PropBufferingState:
        if (current && buffering_ && value.isValid()) {
            if (view_)
                view_->setActivity(Activity::Buffering, value.toInt());
            progress();
        }
        break;
    case PropTimePos:
        if (current && value.isValid()) {
            const double pos = value.toDouble();
            if (pos != position_)
                progress();
            position_ = pos;
            updateLive();
        }
        break;
    case PropCacheTime:
        if (current)
            progress();
        break;
    case PropDuration:
        if (current) {
            duration_ = value.isValid() ? value.toDouble() : 0;
            if (duration_ > 0 && firstDuration_ <= 0) {
                firstDuration_ = duration_;
                durationSeenAt_ = position_;
            }
            else if (firstDuration_ > 0 && duration_ > firstDuration_ + 0.5)
                durationGrew_ = true;
            updateLive();
        }
        break;
    case PropSeekable:
        if (current) {
            seekable_ = value.toBool();
            updateLive();
        }
        break;
    case PropFileSize:
        if (current) {
            sized_ = value.isValid() && value.toLongLong() > 0;
            updateLive();
        }
        break;
    case PropFileFormat:
        if (current) {
            const bool segmented = isSegmentedFormat(value.toString());
            if (segmented && !segmented_)
                manifest_.start(engineUrl_, lastOptions_, std::min(noProgressMs_, 5000));
            segmented_ = segmented;
            updateLive();
        }
        break;
    case PropVideoTrack:
        if (current) {
            hasVideo_ = value.isValid() && value.toLongLong() > 0;
            maybeFirstFrame();
        }
        break;
    case PropAudioTrack:
        hasAudio_ = value.isValid() && value.toLongLong() > 0;
        break;
    case PropAudioOutput:
        audioOut_ = value.isValid() && !value.toString().isEmpty();
        break;
    default:
        break;
    }
}

void MpvPlayer::updateLive()
{
    // A film has a length and a size, or a length that holds while it plays
    // (streaming servers give no size). Anything else is live: a live mount
    // (whose growing length says nothing), an RTSP broadcast (no length), an
    // MMS broadcast (a length the engine makes up from what has arrived, and
    // which grows as more does).
    // Segmented streams (HLS, DASH) look alike to the engine either way,
    // live or finished (it even makes up a length for a live one); their
    // manifest tells.
    const bool lengthHolds = !durationGrew_ && position_ - durationSeenAt_ >= kLengthHoldsSeconds;
    live_ = segmented_ ? segmentedLive_ : !(duration_ > 0 && (sized_ || (seekable_ && lengthHolds)));
    updateTransport();
}

void MpvPlayer::maybeFirstFrame()
{
    // Without a render surface the engine shows a frame once playback has
    // (re)started with a video track selected.
    if (!renderMode_ && restarted_ && hasVideo_ && !firstFrame_) {
        firstFrame_ = true;
        emit firstFrame();
    }
}

void MpvPlayer::onFrameRendered()
{
    if (loaded_ && !firstFrame_ && isCurrent()) {
        firstFrame_ = true;
        emit firstFrame();
    }
}

void MpvPlayer::checkSound()
{
    // Playing with a sound track but no audio output: the device could not
    // be opened.
    if (loaded_ && hasAudio_ && !audioOut_)
        tellNoSound();
}

void MpvPlayer::tellNoSound()
{
    if (soundTold_)
        return;
    soundTold_ = true;
    qCDebug(lcPlayer) << "no audio output: playing without sound";
    if (view_)
        view_->setNotice(PlayerView::noSoundText());
    emit noSound();
}

} // namespace miravon
