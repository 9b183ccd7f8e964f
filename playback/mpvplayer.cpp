#include "mpvplayer.h"

#include "engine.h"
#include "playback.h"
#include "playerstates.h"
#include "playerview.h"
#include "standin.h"
#include "videosurface.h"
#include "mpvplayer_p.h"

namespace miravon {

using namespace detail;

namespace {

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

constexpr int kKeep = -1;
using Activity = PlayerView::Activity;

// The one mapping from what happens to the player to the state codes it
// raises and the status its view shows. The open state is always raised
// before the play state, so that a window's status line, which shows the
// message of the last event, ends on the play-state message.
struct PhaseRow {
    int openState;
    int playState;
    int activity;  // PlayerView::Activity, or kKeep
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
    : renderMode_(rendersIntoSurface(playbackOutputs()))
    , noProgressMs_(defaultNoProgressTimeout())
{
    view_ = new PlayerView(parent, renderMode_);
    connect(view_, &PlayerView::togglePauseRequested, this, &MpvPlayer::togglePause);
    connect(view_, &PlayerView::stopRequested, this, &MpvPlayer::stop);
    connect(view_, &PlayerView::mutedChanged, this, &MpvPlayer::setMuted);
    connect(view_, &PlayerView::volumeChanged, this, &MpvPlayer::setVolume);
    connect(view_, &PlayerView::seekRequested, this, &MpvPlayer::seekTo);
    if (VideoSurface* surface = view_->surface()) {
        connect(surface, &VideoSurface::frameRendered, this, &MpvPlayer::onFrameRendered);
        connect(surface, &VideoSurface::renderContextReady, this, [this] {
            if (loadSerial_ != 0 && engine_ && !loadPending_) {
                // The file started without a render context (it came after
                // the bound): have the video made again.
                engine_->setProperty("vid", QStringLiteral("no"));
                engine_->setProperty("vid", QStringLiteral("auto"));
            }
            if (loadPending_)
                loadIntoEngine();
        });
        connect(surface, &VideoSurface::renderContextFailed, this, [this] {
            if (loadPending_)
                loadIntoEngine(true);
        });
    }
    updateTransport();

    resolver_.setFetchBound(noProgressMs_);
    connect(&manifest_, &ManifestReader::says, this, [this](bool live) {
        segmentedLive_ = live;
        updateLive();
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
    connect(&probe_, &FailureProbe::verdict, this, [this](PlayFailure reason) {
        if (active_)
            resolver_.candidateFailed(reason);
    });

    watchdog_.setSingleShot(true);
    connect(&watchdog_, &QTimer::timeout, this, &MpvPlayer::onWatchdog);
    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &MpvPlayer::reconnect);
    surfaceWait_.setSingleShot(true);
    connect(&surfaceWait_, &QTimer::timeout, this, [this] { loadIntoEngine(true); });
    steady_.setSingleShot(true);
    steady_.setInterval(kSteadyMs);
    connect(&steady_, &QTimer::timeout, this, [this] { reconnects_ = 0; });
    idleRelease_.setSingleShot(true);
    idleRelease_.setInterval(kIdleReleaseMs);
    connect(&idleRelease_, &QTimer::timeout, this, &MpvPlayer::releaseEngine);
    soundCheck_.setSingleShot(true);
    soundCheck_.setInterval(1000);
    connect(&soundCheck_, &QTimer::timeout, this, &MpvPlayer::checkSound);
}

MpvPlayer::~MpvPlayer()
{
    resolver_.cancel();
    probe_.cancel();
    manifest_.cancel();
    // The render context must go before the engine does.
    if (view_ && view_->surface())
        view_->surface()->detach();
    delete view_.data();
    engine_.reset();
}

QWidget* MpvPlayer::widget() { return view_; }

QString MpvPlayer::statusText() const { return view_ ? view_->statusText() : QString(); }

void MpvPlayer::setNoProgressTimeout(int ms)
{
    noProgressMs_ = std::max(1, ms);
    resolver_.setFetchBound(noProgressMs_);
}

void MpvPlayer::setReconnectPolicy(int attempts, int firstDelayMs)
{
    reconnectAttempts_ = std::max(0, attempts);
    reconnectDelayMs_ = std::max(1, firstDelayMs);
}

void MpvPlayer::setIdleRelease(int ms) { idleRelease_.setInterval(std::max(0, ms)); }

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
    if (engine_)
        return;
    engine_ = std::make_unique<Engine>();
    Engine* e = engine_.get();
    connect(e, &Engine::ready, this, &MpvPlayer::engineReady);
    connect(e, &Engine::startFailed, this, [this] {
        engine_.reset();
        if (active_)
            fail(PlayFailure::NotMedia);
    });
    connect(e, &Engine::commandReplied, this, &MpvPlayer::onCommandReplied);
    connect(e, &Engine::fileStarted, this, &MpvPlayer::onFileStarted);
    connect(e, &Engine::fileLoaded, this, &MpvPlayer::onFileLoaded);
    connect(e, &Engine::playbackRestarted, this, &MpvPlayer::onPlaybackRestarted);
    connect(e, &Engine::fileEnded, this, &MpvPlayer::onFileEnded);
    connect(e, &Engine::propertyChanged, this, &MpvPlayer::onProperty);
    for (const Observed& o : observed)
        e->observe(o.id, o.name, o.format);
    if (muted_)
        e->setProperty("mute", true);
    if (volume_ != 50)
        e->setProperty("volume", double(volume_));
    // The engine's own network timeout is a backstop; the no-progress bound
    // fires first and says "timed out".
    e->start(engineOptions(playbackOutputs(), engineNetworkTimeout(noProgressMs_)));
}

void MpvPlayer::engineReady()
{
    if (renderMode_ && view_ && view_->surface())
        view_->surface()->attach(engine_->handle());
    if (loadPending_)
        loadIntoEngine();
}

void MpvPlayer::scheduleRelease()
{
    if (engine_)
        idleRelease_.start();
}

void MpvPlayer::releaseEngine()
{
    if (active_ || !engine_)
        return;
    qCDebug(lcPlayer) << "idle: engine given back";
    // The render context must go before the engine does; the engine itself
    // is destroyed on a background thread.
    if (view_ && view_->surface())
        view_->surface()->detach();
    engine_.reset();
    loadSerial_ = 0;
}

void MpvPlayer::setUrl(const QString& address) { setUrl(address, StreamOptions{}); }

void MpvPlayer::setUrl(const QString& address, const StreamOptions& options)
{
    qCDebug(lcPlayer) << "setUrl" << address;
    lastUrl_ = address;
    lastOptions_ = options;
    idleRelease_.stop();
    // A stand-in fails at once (the resolver says so): no engine for it.
    if (!isStandInAddress(address.trimmed()))
        ensureEngine();
    // Whatever the engine was playing stops now, not when the new address
    // gets to it: that may take a playlist fetch, or never come.
    const bool engineBusy = !engineUrl_.isEmpty() || loadSerial_ != 0;
    resetAttempt();
    if (engineBusy)
        stopEngine();
    active_ = true;
    if (view_) {
        view_->setFailure(PlayFailure::None);
        view_->blankPicture();
    }
    enter(Phase::Changing);
    updateTransport();
    resolver_.start(address, options);
}

// Drops everything in flight for the current address: fetches, probes,
// timers. Events of the old address are ignored from here on (the load
// serial moves on).
void MpvPlayer::resetAttempt()
{
    resolver_.cancel();
    probe_.cancel();
    manifest_.cancel();
    watchdog_.stop();
    reconnectTimer_.stop();
    surfaceWait_.stop();
    steady_.stop();
    soundCheck_.stop();
    loadPending_ = false;
    engineUrl_.clear();
    expectedEntry_ = startedEntry_ = -1;
    loadSerial_ = 0;
    loaded_ = restarted_ = buffering_ = firstFrame_ = hasVideo_ = paused_ = false;
    live_ = true;
    position_ = duration_ = firstDuration_ = durationSeenAt_ = 0;
    durationGrew_ = false;
    played_ = outage_ = false;
    reconnects_ = 0;
    failure_ = PlayFailure::None;
}

void MpvPlayer::startEngine(const QUrl& url)
{
    engineUrl_ = url;
    loaded_ = restarted_ = buffering_ = hasVideo_ = false;
    live_ = true;
    seekable_ = sized_ = segmented_ = false;
    segmentedLive_ = true;
    manifest_.cancel();
    duration_ = position_ = firstDuration_ = durationSeenAt_ = 0;
    durationGrew_ = false;
    expectedEntry_ = startedEntry_ = -1;
    loadSerial_ = 0;
    enter(Phase::EngineLoading);
    progress();
    loadPending_ = true;
    loadIntoEngine();
}

void MpvPlayer::loadIntoEngine(bool surfaceWaited)
{
    if (!engine_ || engineUrl_.isEmpty()) {
        surfaceWait_.stop();
        return;
    }
    if (!engine_->isReady())
        return;  // engineReady() comes back here
    // The first video needs a render context to draw into; the surface's
    // render thread is making it. Wait for it briefly, never longer.
    VideoSurface* surface = renderMode_ && view_ ? view_->surface() : nullptr;
    if (!surfaceWaited && surface && surface->isAttached() && !surface->hasRenderContext()) {
        if (!surfaceWait_.isActive())
            surfaceWait_.start(1500);
        return;  // renderContextReady or the bound comes back here
    }
    surfaceWait_.stop();
    loadPending_ = false;
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
    if (renderMode_ && (!surface || !surface->hasRenderContext())) {
        // Nothing to draw into: play without video; the picture is
        // switched on if the render context comes after all.
        fileOptions.append(EngineOption{"vid", "no"});
    }
    const QByteArray address = url.toString(QUrl::FullyEncoded).toUtf8();
    expectedEntry_ = startedEntry_ = -1;
    loadSerial_ = ++loads_;
    qCDebug(lcPlayer) << "engine load" << address;
    QList<QByteArray> args = {"loadfile", address, "replace"};
    if (!fileOptions.isEmpty())
        args << encodeFileOptions(fileOptions);
    engine_->command(args, loadSerial_);
}

void MpvPlayer::stopEngine()
{
    expectedEntry_ = startedEntry_ = -1;
    loadSerial_ = 0;
    loadPending_ = false;
    if (engine_)
        engine_->command({"stop"});
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
    scheduleRelease();
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
        // Stopped (or ended): play starts the last address again.
        if (!active_ && playState_ == PlayState::Stopped && !lastUrl_.isEmpty())
            setUrl(lastUrl_, StreamOptions(lastOptions_));
        return;
    }
    if (engine_)
        engine_->setProperty("pause", !paused_);
}

void MpvPlayer::setMuted(bool muted)
{
    muted_ = muted;
    if (engine_)
        engine_->setProperty("mute", muted);
    if (view_)
        view_->setMuted(muted);
}

void MpvPlayer::setVolume(int volume)
{
    volume_ = std::clamp(volume, 0, 100);
    if (engine_)
        engine_->setProperty("volume", double(volume_));
    if (view_)
        view_->setVolume(volume_);
}

void MpvPlayer::seekTo(double seconds)
{
    if (!engine_ || !loaded_ || !seekable_ || live_)
        return;
    engine_->command({"seek", QByteArray::number(seconds, 'f', 3), "absolute"});
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
    view_->setTransport(loaded_, paused_, active_, true);
    view_->setTimes(position_, duration_, seekable_ && !live_);
}

} // namespace miravon
