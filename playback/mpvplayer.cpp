#include "mpvplayer.h"

#include "engine.h"
#include "playback.h"
#include "playerstates.h"
#include "playerview.h"
#include "standin.h"
#include "videosurface.h"

#include <mpv/client.h>

namespace miravon {

namespace {

// The engine properties the player watches, by the id they come back with.
enum ObservedProperty : quint64 {
    PropPause = 1,
    PropPausedForCache,
    PropBufferingState,
    PropTimePos,
    PropDuration,
    PropVideoTrack,
    PropAudioTrack,
    PropAudioOutput,
    PropCacheTime,
    PropSeekable,
    PropFileSize,
    PropFileFormat,
};

struct Observed {
    ObservedProperty id;
    const char* name;
    PropertyFormat format;
};
constexpr Observed observed[] = {
    {PropPause, "pause", PropertyFormat::Flag},
    {PropPausedForCache, "paused-for-cache", PropertyFormat::Flag},
    {PropBufferingState, "cache-buffering-state", PropertyFormat::Int64},
    {PropTimePos, "time-pos", PropertyFormat::Double},
    {PropDuration, "duration", PropertyFormat::Double},
    {PropVideoTrack, "vid", PropertyFormat::Int64},
    {PropAudioTrack, "aid", PropertyFormat::Int64},
    {PropAudioOutput, "current-ao", PropertyFormat::String},
    {PropCacheTime, "demuxer-cache-time", PropertyFormat::Double},
    {PropSeekable, "seekable", PropertyFormat::Flag},
    {PropFileSize, "file-size", PropertyFormat::Int64},
    {PropFileFormat, "file-format", PropertyFormat::String},
};

// A live stream that plays again this long counts as won back: a later drop
// starts a new round of reconnection attempts.
constexpr int kSteadyMs = 30000;

constexpr int kKeep = -1;
using Activity = PlayerView::Activity;

// The one mapping from what happens to the player to the state codes it
// raises and the status its view shows. The open state is always raised
// before the play state, so that a window's status line, which shows the
// message of the last event, ends on the play-state message.
struct PhaseRow {
    int openState;
    int playState;
    int activity; // PlayerView::Activity, or kKeep
};
constexpr PhaseRow phaseRow(int phase)
{
    constexpr PhaseRow rows[] = {
        // Changing: setUrl(), whatever was playing is dropped.
        {OpenState::MediaChanging, PlayState::Transitioning, int(Activity::Connecting)},
        // A playlist is fetched, its answer arrives, it is parsed.
        {OpenState::PlaylistConnecting, kKeep, kKeep},
        {OpenState::PlaylistLoading, kKeep, kKeep},
        {OpenState::PlaylistChanged, kKeep, kKeep},
        // An address is handed to the engine; the engine starts on it.
        {OpenState::MediaConnecting, PlayState::Waiting, kKeep},
        {OpenState::MediaOpening, kKeep, kKeep},
        // The engine has the file open.
        {OpenState::MediaOpen, PlayState::Buffering, int(Activity::Buffering)},
        {kKeep, PlayState::Buffering, int(Activity::Buffering)},
        {kKeep, PlayState::Playing, int(Activity::Playing)},
        {kKeep, PlayState::Paused, int(Activity::Paused)},
        // An entry played to its end; a playlist may go on.
        {kKeep, PlayState::MediaEnded, kKeep},
        // Nothing further to play.
        {OpenState::Closed, PlayState::Stopped, int(Activity::Finished)},
        {OpenState::MediaConnecting, PlayState::Reconnecting, int(Activity::Reconnecting)},
        {OpenState::Closed, PlayState::Ready, int(Activity::Failed)},
        // close(), and stop on the transport bar.
        {OpenState::Closed, PlayState::Stopped, int(Activity::Stopped)},
    };
    return rows[phase];
}

} // namespace

int MpvPlayer::defaultNoProgressTimeout()
{
    bool ok = false;
    const int fromEnv = qEnvironmentVariableIntValue("MIRAVON_NO_PROGRESS_MS", &ok);
    return ok && fromEnv > 0 ? fromEnv : 20000;
}

int MpvPlayer::engineNetworkTimeout(int noProgressMs) { return (noProgressMs + 999) / 1000 + 5; }

MpvPlayer::MpvPlayer(QWidget* parent)
    : view_(new PlayerView(parent, rendersIntoSurface(playbackOutputs())))
    , slot_(std::make_unique<EngineSlot>(view_->surface()))
    , noProgressMs_(defaultNoProgressTimeout())
{
    connect(view_, &PlayerView::togglePauseRequested, this, &MpvPlayer::togglePause);
    connect(view_, &PlayerView::stopRequested, this, &MpvPlayer::stop);
    connect(view_, &PlayerView::mutedChanged, this, &MpvPlayer::setMuted);
    connect(view_, &PlayerView::volumeChanged, this, &MpvPlayer::setVolume);
    connect(view_, &PlayerView::seekRequested, this, &MpvPlayer::seekTo);
    connect(view_, &PlayerView::sourcesRequested, this, &Player::sourcesRequested);
    if (VideoSurface* surface = view_->surface()) {
        connect(surface, &VideoSurface::frameRendered, this, [this] {
            if (loaded_ && !firstFrame_ && isCurrent()) {
                firstFrame_ = true;
                emit firstFrame();
            }
        });
    }
    updateTransport();

    connect(slot_.get(), &EngineSlot::startFailed, this, [this] {
        if (active_)
            fail(PlayFailure::NotMedia);
    });
    connect(slot_.get(), &EngineSlot::renderContextLate, this, [this] {
        if (Engine* e = slot_->engine(); e && loadSerial_ != 0) {
            e->setProperty("vid", QStringLiteral("no"));
            e->setProperty("vid", QStringLiteral("auto"));
        }
    });
    connect(slot_.get(), &EngineSlot::released, this, [this] { loadSerial_ = 0; });

    resolver_.setFetchBound(noProgressMs_);
    connect(&manifest_, &ManifestReader::says, this, [this](bool live) {
        live_.setManifestLive(live);
        updateTransport();
    });
    connect(&resolver_, &AddressResolver::fetchStarted, this, [this] {
        watchdog_.stop();
        enter(Phase::PlaylistConnecting);
    });
    connect(&resolver_, &AddressResolver::fetchAnswering, this, [this] { enter(Phase::PlaylistLoading); });
    connect(&resolver_, &AddressResolver::playlistParsed, this, [this] { enter(Phase::PlaylistChanged); });
    connect(&resolver_, &AddressResolver::candidate, this, &MpvPlayer::startEngine);
    connect(&resolver_, &AddressResolver::failed, this, &MpvPlayer::fail);
    connect(&resolver_, &AddressResolver::finished, this, &MpvPlayer::finish);
    // Why the engine could not play the candidate: what the look finds.
    // A server that offers what the engine could not play gave no media;
    // one that offers it after the engine made no progress timed out.
    connect(&look_, &CandidateLook::works, this, [this] {
        if (active_)
            resolver_.candidateFailed(lookAfterSilence_ ? PlayFailure::TimedOut : PlayFailure::NotMedia);
    });
    connect(&look_, &CandidateLook::failed, this, [this](PlayFailure reason) {
        if (active_)
            resolver_.candidateFailed(reason);
    });
    connect(&look_, &CandidateLook::unreadable, this, [this](const QByteArray& head, const QUrl& url, bool whole) {
        if (active_)
            resolver_.candidateRead(head, url, whole);
    });

    watchdog_.setSingleShot(true);
    connect(&watchdog_, &QTimer::timeout, this, &MpvPlayer::onWatchdog);
    reconnector_.setSteadyAfter(kSteadyMs);
    connect(&reconnector_, &Reconnector::attempt, this, &MpvPlayer::reconnect);
    connect(&sound_, &SoundWatch::noSound, this, [this] {
        if (view_)
            view_->setNotice(PlayerView::noSoundText());
        emit noSound();
    });
}

MpvPlayer::~MpvPlayer()
{
    resolver_.cancel();
    look_.cancel();
    manifest_.cancel();
    // The slot detaches the surface and gives the engine back; the surface
    // goes with the view after that.
    slot_.reset();
    delete view_.data();
}

QWidget* MpvPlayer::widget() { return view_; }

QString MpvPlayer::statusText() const { return view_ ? view_->statusText() : QString(); }

void MpvPlayer::setNoProgressTimeout(int ms)
{
    noProgressMs_ = std::max(1, ms);
    resolver_.setFetchBound(noProgressMs_);
}

void MpvPlayer::setReconnectPolicy(int attempts, int firstDelayMs) { reconnector_.setPolicy(attempts, firstDelayMs); }

void MpvPlayer::setIdleRelease(int ms) { slot_->setIdleRelease(ms); }

void MpvPlayer::enter(Phase phase)
{
    const PhaseRow row = phaseRow(int(phase));
    if (row.openState != kKeep)
        setOpenState(row.openState);
    if (row.playState != kKeep)
        setPlayState(row.playState);
    if (row.activity != kKeep && view_)
        view_->setActivity(Activity(row.activity));
}

void MpvPlayer::ensureEngine()
{
    slot_->ensure(
        [this](Engine& e) {
            connect(&e, &Engine::commandReplied, this, &MpvPlayer::onCommandReplied);
            connect(&e, &Engine::fileStarted, this, &MpvPlayer::onFileStarted);
            connect(&e, &Engine::fileLoaded, this, &MpvPlayer::onFileLoaded);
            connect(&e, &Engine::playbackRestarted, this, &MpvPlayer::onPlaybackRestarted);
            connect(&e, &Engine::fileEnded, this, &MpvPlayer::onFileEnded);
            connect(&e, &Engine::propertyChanged, this, &MpvPlayer::onProperty);
            for (const Observed& o : observed)
                e.observe(o.id, o.name, o.format);
            if (muted_)
                e.setProperty("mute", true);
            if (volume_ != 50)
                e.setProperty("volume", double(volume_));
        },
        // The engine's own network timeout is a backstop; the no-progress
        // bound fires first and says "timed out".
        engineOptions(playbackOutputs(), engineNetworkTimeout(noProgressMs_)));
}

void MpvPlayer::setUrl(const QString& address) { setUrl(address, StreamOptions{}); }

void MpvPlayer::setUrl(const QString& address, const StreamOptions& options)
{
    play({StreamAddress{address, options}});
}

void MpvPlayer::play(const QList<StreamAddress>& streams)
{
    if (streams.isEmpty())
        return;
    streams_ = streams;
    streamsFailed_ = PlayFailure::None;
    startStream(0);
}

void MpvPlayer::startStream(int index)
{
    streamIndex_ = index;
    const QString address = streams_.at(index).url;
    const StreamOptions options = streams_.at(index).options;
    qCDebug(lcPlayer) << "setUrl" << address << "stream" << index + 1 << "of" << streams_.size();
    lastUrl_ = address;
    lastOptions_ = options;
    slot_->cancelRelease();
    // A stand-in fails at once (the resolver says so): no engine for it.
    if (!isStandInAddress(address.trimmed()))
        ensureEngine();
    // Whatever the engine was playing stops now, not when the new address
    // gets to it: that may take a playlist fetch, or never come.
    const bool busy = engineBusy();
    resetAttempt();
    if (busy)
        stopEngine();
    active_ = true;
    if (view_) {
        view_->setFailure(PlayFailure::None);
        view_->blankPicture();
        if (index > 0)
            view_->setPictureMessage(QStringLiteral("Đang thử nguồn %1/%2 …").arg(index + 1).arg(streams_.size()));
    }
    enter(Phase::Changing);
    updateTransport();
    resolver_.start(address, options);
}

qint64 MpvPlayer::droppedFrames() const
{
    Engine* engine = slot_->engine();
    if (!engine || !engine->handle())
        return -1;
    qint64 total = 0;
    for (const char* name : {"frame-drop-count", "decoder-frame-drop-count"}) {
        int64_t n = 0;
        if (mpv_get_property(engine->handle(), name, MPV_FORMAT_INT64, &n) >= 0)
            total += n;
    }
    return total;
}

// Drops everything in flight for the current address: fetches, probes,
// timers. Events of the old address are ignored from here on (the load
// serial moves on).
void MpvPlayer::resetAttempt()
{
    resolver_.cancel();
    look_.cancel();
    manifest_.cancel();
    watchdog_.stop();
    reconnector_.reset();
    sound_.stop();
    slot_->cancelLoad();
    engineUrl_.clear();
    expectedEntry_ = startedEntry_ = -1;
    loadSerial_ = 0;
    loaded_ = restarted_ = buffering_ = firstFrame_ = hasVideo_ = paused_ = false;
    live_.reset();
    played_ = false;
    failure_ = PlayFailure::None;
}

void MpvPlayer::startEngine(const QUrl& url)
{
    engineUrl_ = url;
    loaded_ = restarted_ = buffering_ = hasVideo_ = false;
    live_.reset();
    manifest_.cancel();
    expectedEntry_ = startedEntry_ = -1;
    loadSerial_ = 0;
    enter(Phase::EngineLoading);
    progress();
    if (!slot_->hasEngine())
        return; // it failed to start: the player has failed already
    slot_->load([this](bool withVideo) { loadIntoEngine(withVideo); });
}

void MpvPlayer::loadIntoEngine(bool withVideo)
{
    Engine* engine = slot_->engine();
    if (!engine || engineUrl_.isEmpty())
        return;
    QUrl url = engineUrl_;
    EngineOptions fileOptions = engineOptions(lastOptions_);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("rtspt")) {
        url.setScheme(QStringLiteral("rtsp"));
        fileOptions.append(EngineOption{"rtsp-transport", "tcp"});
    } else if (scheme == QLatin1String("rtspu")) {
        url.setScheme(QStringLiteral("rtsp"));
        fileOptions.append(EngineOption{"rtsp-transport", "udp"});
    }
    // Nothing to draw into: play without video; the picture is switched on
    // if the render context comes after all.
    if (!withVideo)
        fileOptions.append(EngineOption{"vid", "no"});
    const QByteArray address = url.toString(QUrl::FullyEncoded).toUtf8();
    expectedEntry_ = startedEntry_ = -1;
    loadSerial_ = ++loads_;
    qCDebug(lcPlayer) << "engine load" << address;
    QList<QByteArray> args = {"loadfile", address, "replace"};
    if (!fileOptions.isEmpty())
        args << encodeFileOptions(fileOptions);
    engine->command(args, loadSerial_);
}

void MpvPlayer::stopEngine()
{
    expectedEntry_ = startedEntry_ = -1;
    loadSerial_ = 0;
    slot_->cancelLoad();
    if (Engine* e = slot_->engine())
        e->command({"stop"});
}

void MpvPlayer::close()
{
    if (!active_ && engineUrl_.isEmpty())
        return;
    qCDebug(lcPlayer) << "close";
    resetAttempt();
    active_ = false;
    stopEngine();
    if (view_)
        view_->blankPicture();
    enter(Phase::Stopped);
    updateTransport();
    slot_->scheduleRelease();
}

void MpvPlayer::stop()
{
    if (active_)
        close();
}

void MpvPlayer::setOpenState(int state)
{
    if (state == openState_)
        return;
    openState_ = state;
    emit openStateChange(state);
}

void MpvPlayer::setPlayState(int state)
{
    if (state == playState_)
        return;
    playState_ = state;
    emit playStateChange(state);
}

void MpvPlayer::togglePause()
{
    if (!loaded_) {
        // Stopped (or ended): play starts the stream played last again.
        if (!active_ && playState_ == PlayState::Stopped && !streams_.isEmpty()) {
            streamsFailed_ = PlayFailure::None;
            startStream(streamIndex_);
        }
        return;
    }
    if (Engine* e = slot_->engine())
        e->setProperty("pause", !paused_);
}

void MpvPlayer::setMuted(bool muted)
{
    muted_ = muted;
    if (Engine* e = slot_->engine())
        e->setProperty("mute", muted);
    if (view_)
        view_->setMuted(muted);
}

void MpvPlayer::setVolume(int volume)
{
    volume_ = std::clamp(volume, 0, 100);
    if (Engine* e = slot_->engine())
        e->setProperty("volume", double(volume_));
    if (view_)
        view_->setVolume(volume_);
}

void MpvPlayer::seekTo(double seconds)
{
    Engine* e = slot_->engine();
    if (!e || !loaded_ || !live_.facts().seekable || isLive())
        return;
    e->command({"seek", QByteArray::number(seconds, 'f', 3), "absolute"});
}

bool MpvPlayer::isFullScreen() const { return view_ && view_->isFullScreen(); }

void MpvPlayer::setFullScreen(bool on)
{
    if (view_)
        view_->setFullScreen(on);
}

void MpvPlayer::updateTransport()
{
    if (!view_)
        return;
    const LiveFacts& f = live_.facts();
    view_->setTransport(loaded_, paused_, active_);
    view_->setTimes(f.position, f.duration, f.seekable && !isLive());
}

// What the engine reports about the current candidate, live detection,
// reconnection of dropped live streams, and failure.

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
    if (view_) {
        view_->clearBlank();
        if (streamIndex_ > 0)
            view_->setPictureMessage({}); // "trying stream n": it is found
    }
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
    sound_.started();
    if (!paused_ && !buffering_)
        becamePlaying();
}

void MpvPlayer::becamePlaying()
{
    if (!played_)
        emit streamPlaying(streamIndex_);
    played_ = true;
    reconnector_.playing(isLive());
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
        sound_.outputFailed();
    if (reconnector_.inOutage() || (played_ && isLive())) {
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
        sound_.stop();
        watchdog_.stop();
        resolver_.candidateEnded();
        return;
    }
    qCDebug(lcPlayer) << "engine could not play" << engineUrl_ << end.error;
    engineFailed();
}

// Why the engine failed is found out by looking at the candidate as the
// address check does: its first bytes for a web address (which may turn
// out a playlist, read on by the resolver), its server otherwise.
void MpvPlayer::engineFailed()
{
    const QUrl url = engineUrl_;
    engineUrl_.clear();
    loaded_ = false;
    sound_.stop();
    watchdog_.stop();
    lookAfterSilence_ = false;
    look_.look(url, lastOptions_, std::min(noProgressMs_, 5000));
}

void MpvPlayer::liveStreamDropped()
{
    watchdog_.stop();
    if (!reconnector_.dropped()) {
        fail(PlayFailure::ConnectionLost);
        return;
    }
    loaded_ = false;
    sound_.stop();
    if (view_)
        view_->blankPicture();
    enter(Phase::Reconnecting);
    updateTransport();
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
    slot_->scheduleRelease();
}

void MpvPlayer::fail(PlayFailure reason)
{
    // The channel's next stream, while there is one.
    if (active_ && streamIndex_ + 1 < streams_.size()) {
        qCDebug(lcPlayer) << "stream" << streamIndex_ + 1 << "failed" << static_cast<int>(reason) << "; next";
        streamsFailed_ = moreInformative(streamsFailed_, reason);
        startStream(streamIndex_ + 1);
        return;
    }
    if (streams_.size() > 1)
        reason = moreInformative(reason, streamsFailed_);
    qCDebug(lcPlayer) << "failed" << static_cast<int>(reason);
    const bool hadEngine = engineBusy();
    resetAttempt();
    if (hadEngine)
        stopEngine();
    active_ = false;
    failure_ = reason;
    enter(Phase::Failed);
    if (view_)
        view_->setFailure(reason);
    updateTransport();
    slot_->scheduleRelease();
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
    if (reconnector_.inOutage() || (played_ && isLive())) {
        // A live stream that stalls is a dropped one.
        liveStreamDropped();
        return;
    }
    // This alternative is silent to the engine; the next one may not be.
    // Why is asked as the address check asks it: a server silent to anyone
    // timed out, but one may refuse a part the engine waits for (an HLS
    // segment gone), or take the connection and never answer in kind.
    const QUrl url = engineUrl_;
    engineUrl_.clear();
    loaded_ = false;
    sound_.stop();
    lookAfterSilence_ = true;
    look_.look(url, lastOptions_, std::min(noProgressMs_, 5000));
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
            if (pos != live_.facts().position)
                progress();
            live_.setPosition(pos);
            updateTransport();
        }
        break;
    case PropCacheTime:
        if (current)
            progress();
        break;
    case PropDuration:
        if (current) {
            live_.setDuration(value.isValid() ? value.toDouble() : 0);
            updateTransport();
        }
        break;
    case PropSeekable:
        if (current) {
            live_.setSeekable(value.toBool());
            updateTransport();
        }
        break;
    case PropFileSize:
        if (current) {
            live_.setSized(value.isValid() && value.toLongLong() > 0);
            updateTransport();
        }
        break;
    case PropFileFormat:
        if (current) {
            // Segmented streams (HLS, DASH): live or not, their manifest says.
            const bool segmented = isSegmentedFormat(value.toString());
            if (segmented && !live_.facts().segmented)
                manifest_.start(engineUrl_, lastOptions_, std::min(noProgressMs_, 5000));
            live_.setSegmented(segmented);
            updateTransport();
        }
        break;
    case PropVideoTrack:
        if (current) {
            hasVideo_ = value.isValid() && value.toLongLong() > 0;
            maybeFirstFrame();
        }
        break;
    case PropAudioTrack:
        sound_.setTrack(value.isValid() && value.toLongLong() > 0);
        break;
    case PropAudioOutput:
        sound_.setOutput(value.isValid() && !value.toString().isEmpty());
        break;
    default:
        break;
    }
}

void MpvPlayer::maybeFirstFrame()
{
    // Without a render surface the engine shows a frame once playback has
    // (re)started with a video track selected.
    const bool rendered = view_ && view_->surface();
    if (!rendered && restarted_ && hasVideo_ && !firstFrame_) {
        firstFrame_ = true;
        emit firstFrame();
    }
}

} // namespace miravon
