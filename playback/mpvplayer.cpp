#include "mpvplayer.h"

#include "engine.h"
#include "engineoptions.h"
#include "playback.h"
#include "playerview.h"
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

// Loads `url` into the engine: the address's referrer and user agent go
// with it, RTSP over a chosen transport is asked for by name, and a file
// with nothing to draw into plays without video (the picture is switched
// on if the render context comes after all).
QList<QByteArray> loadCommand(const act::Load& load)
{
    QUrl url = load.url;
    EngineOptions fileOptions = engineOptions(load.options);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("rtspt")) {
        url.setScheme(QStringLiteral("rtsp"));
        fileOptions.append(EngineOption{"rtsp-transport", "tcp"});
    } else if (scheme == QLatin1String("rtspu")) {
        url.setScheme(QStringLiteral("rtsp"));
        fileOptions.append(EngineOption{"rtsp-transport", "udp"});
    }
    if (!load.withVideo)
        fileOptions.append(EngineOption{"vid", "no"});
    QList<QByteArray> args = {"loadfile", url.toString(QUrl::FullyEncoded).toUtf8(), "replace"};
    if (!fileOptions.isEmpty())
        args << encodeFileOptions(fileOptions);
    return args;
}

} // namespace

int MpvPlayer::defaultNoProgressTimeout()
{
    bool ok = false;
    const int fromEnv = qEnvironmentVariableIntValue("MIRAVON_NO_PROGRESS_MS", &ok);
    return ok && fromEnv > 0 ? fromEnv : noProgressBoundMs;
}

int MpvPlayer::engineNetworkTimeout(int noProgressMs) { return (noProgressMs + 999) / 1000 + 5; }

MpvPlayer::MpvPlayer(QWidget* parent)
    : view_(new PlayerView(parent, rendersIntoSurface(playbackOutputs())))
    , slot_(std::make_unique<EngineSlot>(view_->surface()))
{
    state_.settings.noProgressMs = defaultNoProgressTimeout();
    state_.settings.surfaceShowsFrames = view_->surface() != nullptr;

    connect(view_, &PlayerView::togglePauseRequested, this, &MpvPlayer::togglePause);
    connect(view_, &PlayerView::stopRequested, this, &MpvPlayer::stop);
    connect(view_, &PlayerView::mutedChanged, this, &MpvPlayer::setMuted);
    connect(view_, &PlayerView::volumeChanged, this, &MpvPlayer::setVolume);
    connect(view_, &PlayerView::seekRequested, this, &MpvPlayer::seekTo);
    connect(view_, &PlayerView::sourcesRequested, this, &Player::sourcesRequested);
    connect(view_, &PlayerView::fullScreenChanged, this, &MpvPlayer::fitPicture);
    if (VideoSurface* surface = view_->surface())
        connect(surface, &VideoSurface::frameRendered, this, [this] { dispatch(ev::FrameShown{}); });
    showTransport();

    connect(slot_.get(), &EngineSlot::startFailed, this, [this] { dispatch(ev::EngineStartFailed{}); });
    connect(slot_.get(), &EngineSlot::renderContextLate, this, [this] { dispatch(ev::RenderContextLate{}); });
    connect(slot_.get(), &EngineSlot::released, this, [this] { dispatch(ev::EngineReleased{}); });

    resolver_.setFetchBound(state_.settings.noProgressMs);
    connect(&resolver_, &AddressResolver::fetchStarted, this, [this] { dispatch(ev::FetchStarted{}); });
    connect(&resolver_, &AddressResolver::fetchAnswering, this, [this] { dispatch(ev::FetchAnswering{}); });
    connect(&resolver_, &AddressResolver::playlistParsed, this, [this] { dispatch(ev::PlaylistParsed{}); });
    connect(&resolver_, &AddressResolver::candidate, this, [this](const QUrl& url) { dispatch(ev::CandidateGiven{url}); });
    connect(&resolver_, &AddressResolver::failed, this, [this](PlayFailure reason) { dispatch(ev::Unplayable{reason}); });
    connect(&resolver_, &AddressResolver::finished, this, [this] { dispatch(ev::AllPlayed{}); });
    connect(&look_, &CandidateLook::works, this, [this] { dispatch(ev::LookWorks{}); });
    connect(&look_, &CandidateLook::failed, this, [this](PlayFailure reason) { dispatch(ev::LookFailed{reason}); });
    connect(&look_, &CandidateLook::unreadable, this, [this](const QByteArray& head, const QUrl& url, bool whole) {
        dispatch(ev::LookRead{head, url, whole});
    });
    connect(&manifest_, &ManifestReader::says, this, [this](bool live) { dispatch(ev::ManifestSays{live}); });

    for (std::size_t i = 0; i < timers_.size(); ++i) {
        timers_[i].setSingleShot(true);
        connect(&timers_[i], &QTimer::timeout, this, [this, i] { dispatch(ev::Timer{PlayerTimer(i)}); });
    }
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
    state_.settings.noProgressMs = std::max(1, ms);
    resolver_.setFetchBound(state_.settings.noProgressMs);
}

void MpvPlayer::setReconnectPolicy(int attempts, int firstDelayMs)
{
    state_.settings.reconnectAttempts = std::max(0, attempts);
    state_.settings.reconnectDelayMs = std::max(1, firstDelayMs);
}

void MpvPlayer::setIdleRelease(int ms) { slot_->setIdleRelease(ms); }

void MpvPlayer::setUrl(const QString& address) { setUrl(address, StreamOptions{}); }

void MpvPlayer::setUrl(const QString& address, const StreamOptions& options)
{
    play({StreamAddress{address, options}});
}

void MpvPlayer::play(const QList<StreamAddress>& streams)
{
    if (!streams.isEmpty())
        qCDebug(lcPlayer) << "play" << streams.first().url << "and" << streams.size() - 1 << "more";
    dispatch(ev::Play{streams});
}

void MpvPlayer::close() { dispatch(ev::Close{}); }
void MpvPlayer::stop() { dispatch(ev::Stop{}); }
void MpvPlayer::togglePause() { dispatch(ev::TogglePause{}); }
void MpvPlayer::seekTo(double seconds) { dispatch(ev::Seek{seconds}); }

void MpvPlayer::dispatch(PlayerEvent event)
{
    const bool handling = !events_.empty();
    events_.push_back(std::move(event));
    if (handling)
        return;
    // A slot of one of the signals raised below may delete the player.
    const QPointer<MpvPlayer> alive(this);
    while (!events_.empty()) {
        PlayerTransition next = transition(std::move(state_), events_.front());
        state_ = std::move(next.state);
        for (const PlayerAction& action : std::as_const(next.actions)) {
            if (lcPlayer().isDebugEnabled())
                qCDebug(lcPlayer) << describe(state_.phase) << describe(action);
            perform(action);
            if (!alive)
                return;
        }
        events_.pop_front();
    }
}

void MpvPlayer::perform(const PlayerAction& action)
{
    Engine* engine = slot_->engine();
    std::visit(
        Overloaded{
            [&](const act::RaiseOpen& a) { emit openStateChange(a.code); },
            [&](const act::RaisePlay& a) { emit playStateChange(a.code); },
            [&](const act::ShowActivity& a) {
                if (view_)
                    view_->setActivity(a.activity, a.percent);
            },
            [&](const act::ShowFailure& a) {
                if (view_)
                    view_->setFailure(a.reason);
            },
            [&](const act::ShowMessage& a) {
                if (view_)
                    view_->setPictureMessage(a.text);
            },
            [&](const act::Blank&) {
                if (view_)
                    view_->blankPicture();
            },
            [&](const act::Unblank&) {
                if (view_)
                    view_->clearBlank();
            },
            [&](const act::ShowTransport&) { showTransport(); },
            [&](const act::ShowTimes&) { showTimes(); },
            [&](const act::StreamPlaying& a) { emit streamPlaying(a.index); },
            [&](const act::FirstFrame&) { emit firstFrame(); },
            [&](const act::NoSound&) {
                qCDebug(lcPlayer) << "no audio output: playing without sound";
                if (view_)
                    view_->setNotice(PlayerView::noSoundText());
                emit noSound();
            },
            [&](const act::Failed& a) { emit failed(a.reason); },
            [&](const act::Resolve& a) { resolver_.start(a.stream.url, a.stream.options); },
            [&](const act::CancelResolve&) { resolver_.cancel(); },
            [&](const act::CandidateFailed& a) { resolver_.candidateFailed(a.reason); },
            [&](const act::CandidateEnded&) { resolver_.candidateEnded(); },
            [&](const act::CandidateRead& a) { resolver_.candidateRead(a.head, a.url, a.whole); },
            [&](const act::Look& a) { look_.look(a.url, a.options, a.boundMs); },
            [&](const act::CancelLook&) { look_.cancel(); },
            [&](const act::ReadManifest& a) { manifest_.start(a.url, a.options, a.boundMs); },
            [&](const act::CancelManifest&) { manifest_.cancel(); },
            [&](const act::EnsureEngine&) { ensureEngine(); },
            [&](const act::KeepEngine&) { slot_->cancelRelease(); },
            [&](const act::ReleaseLater&) { slot_->scheduleRelease(); },
            [&](const act::RequestLoad&) {
                // Without an engine it failed to start: the player has failed already.
                if (slot_->hasEngine())
                    slot_->load([this](bool withVideo) { dispatch(ev::LoadReady{withVideo}); });
            },
            [&](const act::CancelLoad&) { slot_->cancelLoad(); },
            [&](const act::Load& a) {
                if (!engine)
                    return;
                qCDebug(lcPlayer) << "engine load" << a.url;
                engine->command(loadCommand(a), a.serial);
            },
            [&](const act::StopEngine&) {
                slot_->cancelLoad();
                if (engine)
                    engine->command({"stop"});
            },
            [&](const act::SetPause& a) {
                if (engine)
                    engine->setProperty("pause", a.on);
            },
            [&](const act::SeekTo& a) {
                if (engine)
                    engine->command({"seek", QByteArray::number(a.seconds, 'f', 3), "absolute"});
            },
            [&](const act::ReselectVideo&) {
                if (engine) {
                    engine->setProperty("vid", QStringLiteral("no"));
                    engine->setProperty("vid", QStringLiteral("auto"));
                }
            },
            [&](const act::StartTimer& a) { timers_[std::size_t(a.timer)].start(a.ms); },
            [&](const act::StopTimer& a) { timers_[std::size_t(a.timer)].stop(); },
        },
        action);
}

void MpvPlayer::ensureEngine()
{
    slot_->ensure(
        [this](Engine& e) {
            connect(&e, &Engine::commandReplied, this, [this](quint64 tag, bool ok, qint64 entry) {
                dispatch(ev::LoadReplied{tag, ok, entry});
            });
            connect(&e, &Engine::fileStarted, this, [this](qint64 entry) { dispatch(ev::FileStarted{entry}); });
            connect(&e, &Engine::fileLoaded, this, [this] { dispatch(ev::FileLoaded{}); });
            connect(&e, &Engine::playbackRestarted, this, [this] { dispatch(ev::PlaybackRestarted{}); });
            connect(&e, &Engine::fileEnded, this, [this](const FileEnd& end) { dispatch(ev::FileEnded{end}); });
            connect(&e, &Engine::propertyChanged, this, &MpvPlayer::onProperty);
            for (const Observed& o : observed)
                e.observe(o.id, o.name, o.format);
            if (mixer_.muted)
                e.setProperty("mute", true);
            if (mixer_.volume != 50)
                e.setProperty("volume", double(mixer_.volume));
            if (isFullScreen())
                e.setProperty("video-unscaled", QStringLiteral("no"));
        },
        // The engine's own network timeout is a backstop; the no-progress
        // bound fires first and says "timed out".
        engineOptions(playbackOutputs(), engineNetworkTimeout(state_.settings.noProgressMs)));
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

void MpvPlayer::setMuted(bool muted)
{
    mixer_.muted = muted;
    if (Engine* e = slot_->engine())
        e->setProperty("mute", muted);
    if (view_)
        view_->setMuted(muted);
}

void MpvPlayer::setVolume(int volume)
{
    mixer_.volume = std::clamp(volume, 0, 100);
    if (Engine* e = slot_->engine())
        e->setProperty("volume", double(mixer_.volume));
    if (view_)
        view_->setVolume(mixer_.volume);
}

bool MpvPlayer::isFullScreen() const { return view_ && view_->isFullScreen(); }

void MpvPlayer::setFullScreen(bool on)
{
    if (view_)
        view_->setFullScreen(on);
}

void MpvPlayer::fitPicture()
{
    // Embedded, the picture is not stretched: shown at its own size, only
    // scaled down to fit (the stored setting). Full screen fills the
    // screen, its aspect kept.
    if (Engine* e = slot_->engine())
        e->setProperty("video-unscaled", isFullScreen() ? QStringLiteral("no") : QStringLiteral("downscale-big"));
}

void MpvPlayer::showTransport()
{
    if (!view_)
        return;
    view_->setTransport(state_.isLoaded(), state_.enginePaused, state_.isActive());
    showTimes();
}

void MpvPlayer::showTimes()
{
    if (!view_)
        return;
    const LiveFacts& f = state_.attempt.candidate.live.facts();
    view_->setTimes(f.position, f.duration, f.seekable && !state_.isLive());
}

// The engine's properties, as events of the player.
void MpvPlayer::onProperty(quint64 id, const QVariant& value)
{
    const auto flag = [&] { return value.toBool(); };
    const auto positive = [&] { return value.isValid() && value.toLongLong() > 0; };
    switch (id) {
    case PropPause:
        dispatch(ev::Paused{flag()});
        break;
    case PropPausedForCache:
        dispatch(ev::WaitingForCache{flag()});
        break;
    case PropBufferingState:
        if (value.isValid())
            dispatch(ev::BufferFill{value.toInt()});
        break;
    case PropTimePos:
        if (value.isValid())
            dispatch(ev::Position{value.toDouble()});
        break;
    case PropCacheTime:
        dispatch(ev::CacheGrew{});
        break;
    case PropDuration:
        dispatch(ev::Duration{value.isValid() ? value.toDouble() : 0});
        break;
    case PropSeekable:
        dispatch(ev::Seekable{flag()});
        break;
    case PropFileSize:
        dispatch(ev::Sized{positive()});
        break;
    case PropFileFormat:
        dispatch(ev::Format{isSegmentedFormat(value.toString())});
        break;
    case PropVideoTrack:
        dispatch(ev::VideoTrack{positive()});
        break;
    case PropAudioTrack:
        dispatch(ev::AudioTrack{positive()});
        break;
    case PropAudioOutput:
        dispatch(ev::AudioOutput{value.isValid() && !value.toString().isEmpty()});
        break;
    default:
        break;
    }
}

} // namespace miravon
