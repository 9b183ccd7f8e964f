#include "mpvplayer.h"

#include "manifest.h"
#include "playback.h"
#include "playerstates.h"
#include "videosurface.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSlider>
#include <QTcpSocket>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <mpv/client.h>

#include <clocale>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

namespace miravon {

namespace {

// Engine destructions in flight; joined when the process exits so that no
// engine thread outlives the libraries it runs in.
class Reaper {
public:
    void add(mpv_handle* handle)
    {
        std::lock_guard lock(mutex_);
        threads_.emplace_back([handle] { mpv_terminate_destroy(handle); });
    }
    ~Reaper()
    {
        std::lock_guard lock(mutex_);
        for (std::thread& t : threads_)
            t.join();
    }

private:
    std::mutex mutex_;
    std::vector<std::thread> threads_;
};

Reaper& reaper()
{
    static Reaper instance;
    return instance;
}

enum ObservedProperty : quint64 {
    PropPause = 1,
    PropPausedForCache,
    PropBufferingState,
    PropTimePos,
    PropDuration,
    PropVideoTrack,
    PropCacheTime,
    PropSeekable,
    PropFileSize,
    PropFileFormat,
};

QString formatTime(double seconds)
{
    const int s = std::isfinite(seconds) && seconds > 0 ? static_cast<int>(seconds) : 0;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

PlayFailure failureFromNetwork(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return PlayFailure::HostNotFound;
    case QNetworkReply::ConnectionRefusedError:
        return PlayFailure::ConnectionRefused;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return PlayFailure::TimedOut;
    case QNetworkReply::ContentNotFoundError:
    case QNetworkReply::ContentGoneError:
    case QNetworkReply::ContentAccessDenied:
    case QNetworkReply::AuthenticationRequiredError:
    case QNetworkReply::InternalServerError:
    case QNetworkReply::ServiceUnavailableError:
    case QNetworkReply::UnknownContentError:
    case QNetworkReply::UnknownServerError:
        return PlayFailure::NotFound;
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
        return PlayFailure::PlaylistRefused;
    default:
        return PlayFailure::NotMedia;
    }
}

// The engine's name for the container of HLS and DASH streams.
bool isSegmentedFormat(const char* format)
{
    const QByteArray name(format ? format : "");
    return name.contains("hls") || name.contains("dash");
}

} // namespace

QString failureText(PlayFailure failure)
{
    switch (failure) {
    case PlayFailure::None:
        return {};
    case PlayFailure::HostNotFound:
        return QStringLiteral("Không tìm thấy máy chủ");
    case PlayFailure::ConnectionRefused:
        return QStringLiteral("Máy chủ từ chối kết nối");
    case PlayFailure::TimedOut:
        return QStringLiteral("Hết thời gian chờ");
    case PlayFailure::NotFound:
        return QStringLiteral("Không tìm thấy địa chỉ trên máy chủ");
    case PlayFailure::NotMedia:
        return QStringLiteral("Không phải luồng phát được");
    case PlayFailure::PlaylistRefused:
        return QStringLiteral("Danh sách phát bị từ chối");
    case PlayFailure::NoPlayableEntry:
        return QStringLiteral("Không có mục nào phát được");
    case PlayFailure::ConnectionLost:
        return QStringLiteral("Mất kết nối");
    }
    return {};
}

EngineHandle::~EngineHandle()
{
    if (handle_)
        reaper().add(handle_);
}

int MpvPlayer::defaultNoProgressTimeout()
{
    bool ok = false;
    const int fromEnv = qEnvironmentVariableIntValue("MIRAVON_NO_PROGRESS_MS", &ok);
    return ok && fromEnv > 0 ? fromEnv : 20000;
}

MpvPlayer::MpvPlayer(QWidget* parent)
    : view_(new QWidget(parent))
    , noProgressMs_(defaultNoProgressTimeout())
{
    view_->setObjectName(QStringLiteral("manhinh"));
    view_->setAutoFillBackground(true);
    QPalette pal = view_->palette();
    pal.setColor(QPalette::Window, Qt::black);
    view_->setPalette(pal);
    view_->setFocusPolicy(Qt::StrongFocus);
    view_->installEventFilter(this);
    nameControls();

    watchdog_.setSingleShot(true);
    connect(&watchdog_, &QTimer::timeout, this, &MpvPlayer::onWatchdog);
    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &MpvPlayer::reconnect);
    surfaceWait_.setSingleShot(true);
    connect(&surfaceWait_, &QTimer::timeout, this, &MpvPlayer::loadIntoEngine);
}

MpvPlayer::~MpvPlayer()
{
    generation_++;
    if (fetch_)
        fetch_->abort();
    if (engine_)
        mpv_set_wakeup_callback(engine_->get(), nullptr, nullptr);
    // The render context must go before the engine does.
    if (surface_)
        surface_->release();
    delete view_.data();
    engine_.reset();
}

QWidget* MpvPlayer::widget() { return view_; }

void MpvPlayer::setNoProgressTimeout(int ms) { noProgressMs_ = std::max(1, ms); }

void MpvPlayer::setReconnectPolicy(int attempts, int firstDelayMs)
{
    reconnectAttempts_ = std::max(0, attempts);
    reconnectDelayMs_ = std::max(1, firstDelayMs);
}

void MpvPlayer::ensureEngine()
{
    if (engine_)
        return;
    // initPlayback() normally did this; the engine refuses to start without it.
    if (const char* numeric = std::setlocale(LC_NUMERIC, nullptr); !numeric || qstrcmp(numeric, "C") != 0)
        std::setlocale(LC_NUMERIC, "C");
    mpv_handle* handle = mpv_create();
    if (!handle) {
        qCWarning(lcPlayer) << "engine could not be created";
        return;
    }
    const PlaybackOutputs outputs = playbackOutputs();
    renderMode_ = outputs.video.isEmpty() || outputs.video == QLatin1String("libmpv");
    auto opt = [handle](const char* name, const QByteArray& value) {
        if (mpv_set_option_string(handle, name, value.constData()) < 0)
            qCWarning(lcPlayer) << "engine option refused:" << name << value;
    };
    opt("vo", renderMode_ ? QByteArray("libmpv") : outputs.video.toUtf8());
    if (!outputs.audio.isEmpty())
        opt("ao", outputs.audio.toUtf8());
    opt("config", "no");
    opt("terminal", "no");
    opt("load-scripts", "no");
    opt("osc", "no");
    opt("ytdl", "no");
    opt("input-default-bindings", "no");
    opt("input-vo-keyboard", "no");
    opt("idle", "yes");
    opt("keep-open", "no");
    opt("hwdec", "no");
    opt("gpu-hwdec-interop", "no");
    opt("audio-display", "no");
    // Playlists are parsed by the player, under its own limits; the engine's
    // own playlist reader would follow references unchecked.
    opt("demuxer", "lavf");
    opt("load-unsafe-playlists", "no");
    // The stored settings: volume 50, not muted, rate 1.0, not stretched
    // (shown at its own size, scaled down to fit, aspect kept).
    opt("volume", "50");
    opt("mute", "no");
    opt("speed", "1.0");
    opt("keepaspect", "yes");
    opt("video-unscaled", "downscale-big");
    // The engine's own network timeout is a backstop; the player's
    // no-progress bound fires first and says "timed out".
    opt("network-timeout", QByteArray::number(std::max(1, (noProgressMs_ + 999) / 1000) + 5));
    if (mpv_initialize(handle) < 0) {
        qCWarning(lcPlayer) << "engine could not be initialised";
        mpv_terminate_destroy(handle);
        return;
    }
    engine_ = std::make_unique<EngineHandle>(handle);
    // The engine's log only feeds the debug output.
    if (lcPlayer().isDebugEnabled())
        mpv_request_log_messages(handle, "warn");
    mpv_observe_property(handle, PropPause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(handle, PropPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv_observe_property(handle, PropBufferingState, "cache-buffering-state", MPV_FORMAT_INT64);
    mpv_observe_property(handle, PropTimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(handle, PropDuration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(handle, PropVideoTrack, "vid", MPV_FORMAT_INT64);
    mpv_observe_property(handle, PropCacheTime, "demuxer-cache-time", MPV_FORMAT_DOUBLE);
    mpv_observe_property(handle, PropSeekable, "seekable", MPV_FORMAT_FLAG);
    mpv_observe_property(handle, PropFileSize, "file-size", MPV_FORMAT_INT64);
    mpv_observe_property(handle, PropFileFormat, "file-format", MPV_FORMAT_STRING);
    mpv_set_wakeup_callback(handle, [](void* ctx) {
        // Engine thread: hand over to the UI thread, at most one call queued.
        auto* self = static_cast<MpvPlayer*>(ctx);
        if (!self->drainQueued_.exchange(true))
            QMetaObject::invokeMethod(self, &MpvPlayer::drainEvents, Qt::QueuedConnection);
    }, this);
    buildFace();
}

void MpvPlayer::buildFace()
{
    if (!view_)
        return;
    auto* layout = new QVBoxLayout(view_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    if (renderMode_) {
        surface_ = new VideoSurface(engine_->get(), view_);
        surface_->installEventFilter(this);
        surface_->setFocusProxy(view_);
        connect(surface_, &VideoSurface::frameRendered, this, &MpvPlayer::onFrameRendered);
        connect(surface_, &VideoSurface::renderContextReady, this, [this](bool) {
            if (!engineUrl_.isEmpty() && engine_) {
                // The file started without a surface (the view was hidden)
                // or the video output lost its context (full screen): have
                // the video made again.
                const char* off = "no";
                const char* on = "auto";
                mpv_set_property_async(engine_->get(), 0, "vid", MPV_FORMAT_STRING, &off);
                mpv_set_property_async(engine_->get(), 0, "vid", MPV_FORMAT_STRING, &on);
            }
            if (loadWaitingForSurface_)
                loadIntoEngine();
        });
        videoHost_ = surface_;
    } else {
        videoHost_ = new QWidget(view_);
        videoHost_->installEventFilter(this);
    }
    videoHost_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(videoHost_, 1);

    bar_ = new QWidget(view_);
    bar_->setObjectName(QStringLiteral("transportBar"));
    bar_->setAutoFillBackground(true);
    QPalette barPal = QApplication::palette();
    bar_->setPalette(barPal);
    auto* row = new QHBoxLayout(bar_);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(2);
    auto makeButton = [this, row](const char* name, QStyle::StandardPixmap icon, const QString& tip) {
        auto* b = new QToolButton(bar_);
        b->setObjectName(QLatin1String(name));
        b->setIcon(bar_->style()->standardIcon(icon));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        row->addWidget(b);
        return b;
    };
    playButton_ = makeButton("playPause", QStyle::SP_MediaPlay, QStringLiteral("Phát / Tạm dừng"));
    stopButton_ = makeButton("stop", QStyle::SP_MediaStop, QStringLiteral("Dừng"));
    seekSlider_ = new QSlider(Qt::Horizontal, bar_);
    seekSlider_->setObjectName(QStringLiteral("seek"));
    seekSlider_->setFocusPolicy(Qt::NoFocus);
    seekSlider_->setEnabled(false);
    row->addWidget(seekSlider_, 1);
    timeLabel_ = new QLabel(QStringLiteral("00:00 / 00:00"), bar_);
    timeLabel_->setObjectName(QStringLiteral("time"));
    row->addWidget(timeLabel_);
    muteButton_ = makeButton("mute", QStyle::SP_MediaVolume, QStringLiteral("Tắt tiếng"));
    muteButton_->setCheckable(true);
    volumeSlider_ = new QSlider(Qt::Horizontal, bar_);
    volumeSlider_->setObjectName(QStringLiteral("volume"));
    volumeSlider_->setFocusPolicy(Qt::NoFocus);
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setValue(volume_);
    volumeSlider_->setMaximumWidth(80);
    row->addWidget(volumeSlider_);
    fullButton_ = makeButton("fullScreen", QStyle::SP_TitleBarMaxButton, QStringLiteral("Toàn màn hình"));
    statusLabel_ = new QLabel(bar_);
    statusLabel_->setObjectName(QStringLiteral("playerStatus"));
    statusLabel_->setMinimumWidth(60);
    row->addWidget(statusLabel_);
    layout->addWidget(bar_);

    connect(playButton_, &QToolButton::clicked, this, &MpvPlayer::togglePause);
    connect(stopButton_, &QToolButton::clicked, this, &MpvPlayer::stop);
    connect(muteButton_, &QToolButton::toggled, this, &MpvPlayer::setMuted);
    connect(volumeSlider_, &QSlider::valueChanged, this, &MpvPlayer::setVolume);
    connect(seekSlider_, &QSlider::sliderReleased, this, [this] { seekTo(seekSlider_->value()); });
    connect(fullButton_, &QToolButton::clicked, this, [this] { setFullScreen(!isFullScreen()); });
    nameControls();
    updateBar();
}

QList<QUrl> MpvPlayer::expand(const QUrl& url)
{
    // Like the classic control, mms:// rolls over from MMS over HTTP to MMS over TCP.
    if (url.scheme().compare(QLatin1String("mms"), Qt::CaseInsensitive) == 0) {
        QUrl overHttp = url;
        overHttp.setScheme(QStringLiteral("mmsh"));
        QUrl overTcp = url;
        overTcp.setScheme(QStringLiteral("mmst"));
        return {overHttp, overTcp};
    }
    return {url};
}

// Drops everything still in flight for the current attempt: the playlist
// fetch, the timers and the queue of alternatives. Events of the old attempt
// are ignored from here on (the generation moves on).
void MpvPlayer::cancelPending()
{
    generation_++;
    if (fetch_) {
        fetch_->abort();
        fetch_->deleteLater();
        fetch_ = nullptr;
    }
    watchdog_.stop();
    reconnectTimer_.stop();
    surfaceWait_.stop();
    loadWaitingForSurface_ = false;
    queue_.clear();
}

void MpvPlayer::resetAttempt()
{
    cancelPending();
    visited_.clear();
    viaPlaylist_ = false;
    refused_ = 0;
    engineTries_ = 0;
    lastFailure_ = PlayFailure::None;
    engineUrl_.clear();
    expectedEntry_ = -1;
    loaded_ = restarted_ = buffering_ = firstFrame_ = wasPlaying_ = hasVideo_ = false;
    paused_ = false;
    live_ = true;
    position_ = duration_ = 0;
    reconnects_ = 0;
    failure_ = PlayFailure::None;
}

void MpvPlayer::setUrl(const QString& address) { setUrl(address, StreamOptions{}); }

void MpvPlayer::setUrl(const QString& address, const StreamOptions& options)
{
    qCDebug(lcPlayer) << "setUrl" << address;
    lastUrl_ = address;
    options_ = options;
    ensureEngine();
    resetAttempt();
    active_ = true;
    setOpenState(OpenState::MediaChanging);
    setPlayState(PlayState::Transitioning);
    setStatus(QStringLiteral("Đang kết nối…"));
    const QUrl url(address.trimmed(), QUrl::TolerantMode);
    if (!engine_ || !url.isValid() || !isAllowedScheme(url) || url.host().isEmpty()) {
        // The windows only hand over network addresses; anything else is
        // not opened. Reported after setUrl() has returned, like any outcome.
        const PlayFailure why = engine_ ? PlayFailure::PlaylistRefused : PlayFailure::NotMedia;
        const quint64 gen = generation_;
        QTimer::singleShot(0, this, [this, gen, why] {
            if (gen == generation_)
                fail(why);
        });
        return;
    }
    Candidate first;
    first.alternatives = expand(url);
    queue_ << first;
    watchdog_.start(noProgressMs_);
    advance();
}

void MpvPlayer::advance()
{
    while (!queue_.isEmpty()) {
        Candidate& c = queue_.first();
        if (c.next >= c.alternatives.size()) {
            queue_.removeFirst();
            continue;
        }
        const QUrl url = c.alternatives.at(c.next);
        if ((c.playlistRef || isPlaylistAddress(url)) && !c.sniffed) {
            if (c.depth >= maxPlaylistDepth || visited_.contains(url)) {
                qCDebug(lcPlayer) << "playlist refused (nesting)" << url;
                refused_++;
                lastFailure_ = PlayFailure::PlaylistRefused;
                c.next++;
                continue;
            }
            startFetch(url, c.depth, false);
            return;
        }
        c.sniffed = false;
        startEngine(url);
        return;
    }
    fail(finalFailure());
}

PlayFailure MpvPlayer::finalFailure() const
{
    if (!viaPlaylist_)
        return lastFailure_ == PlayFailure::None ? PlayFailure::NotMedia : lastFailure_;
    if (engineTries_ == 0 && refused_ > 0)
        return PlayFailure::PlaylistRefused;
    return PlayFailure::NoPlayableEntry;
}

void MpvPlayer::startFetch(const QUrl& url, int depth, bool sniff)
{
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    visited_ << url;
    setOpenState(OpenState::PlaylistConnecting);
    QNetworkRequest request(url);
    request.setTransferTimeout(noProgressMs_);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Miravon/1.0"));
    applyStreamOptions(request, options_);
    QNetworkReply* reply = network_->get(request);
    fetch_ = reply;
    const quint64 gen = generation_;
    auto tooBig = [this, reply, gen] {
        if (gen != generation_)
            return;
        qCDebug(lcPlayer) << "playlist too large" << reply->url();
        lastFailure_ = PlayFailure::PlaylistRefused;
        refused_++;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        fetch_ = nullptr;
        if (!queue_.isEmpty())
            queue_.first().next++;
        advance();
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply, gen, tooBig] {
        if (gen != generation_)
            return;
        setOpenState(OpenState::PlaylistLoading);
        progress();
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxPlaylistBytes)
            tooBig();
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this, gen, tooBig](qint64 received, qint64) {
        if (gen != generation_)
            return;
        progress();
        if (received > maxPlaylistBytes)
            tooBig();
    });
    if (sniff) {
        // The engine could not read this address: see whether it is a
        // playlist, but do not download a stream to find out.
        connect(reply, &QNetworkReply::readyRead, this, [this, reply, gen] {
            if (gen != generation_ || (reply->bytesAvailable() < 512 && !reply->isFinished()))
                return;
            const QString head = decodePlaylistText(reply->peek(512)).trimmed();
            static const QStringList starts = {QStringLiteral("["), QStringLiteral("<"), QStringLiteral("#"),
                                               QStringLiteral("http"), QStringLiteral("mms"), QStringLiteral("rtsp")};
            for (const QString& start : starts) {
                if (head.startsWith(start, Qt::CaseInsensitive))
                    return;
            }
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
            fetch_ = nullptr;
            lastFailure_ = PlayFailure::NotMedia;
            if (!queue_.isEmpty())
                queue_.first().next++;
            advance();
        });
    }
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, depth, sniff, gen] {
        reply->deleteLater();
        if (gen != generation_)
            return;
        fetch_ = nullptr;
        fetchDone(reply, url, depth, sniff);
    });
}

void MpvPlayer::fetchDone(QNetworkReply* reply, const QUrl& url, int depth, bool sniff)
{
    if (queue_.isEmpty())
        return;
    if (reply->error() != QNetworkReply::NoError) {
        qCDebug(lcPlayer) << "playlist fetch failed" << url << reply->error();
        lastFailure_ = failureFromNetwork(reply->error());
        queue_.first().next++;
        advance();
        return;
    }
    const QByteArray body = reply->read(maxPlaylistBytes + 1);
    const ParsedPlaylist parsed = parsePlaylist(body, reply->url());
    if (parsed.kind == ParsedPlaylist::NotPlaylist) {
        if (sniff) {
            // The engine already failed on it and it is no playlist either.
            lastFailure_ = PlayFailure::NotMedia;
            queue_.first().next++;
            advance();
        } else {
            queue_.first().sniffed = true;
            advance();
        }
        return;
    }
    setOpenState(OpenState::PlaylistChanged);
    viaPlaylist_ = true;
    refused_ += parsed.refused.size();
    if (!parsed.refused.isEmpty())
        lastFailure_ = PlayFailure::PlaylistRefused;
    Candidate parent = queue_.takeFirst();
    QList<Candidate> spliced;
    for (const PlaylistEntry& entry : parsed.entries) {
        Candidate c;
        c.depth = depth + 1;
        c.playlistRef = entry.isPlaylistRef;
        for (const QUrl& alt : entry.alternatives) {
            c.alternatives << expand(alt);
            // A Windows Media server hands plain web clients a [Reference]
            // whose http address only its own players can use: those speak
            // MMS over HTTP to it.
            if (parsed.kind == ParsedPlaylist::Reference && alt.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0) {
                QUrl mmsh = alt;
                mmsh.setScheme(QStringLiteral("mmsh"));
                c.alternatives << mmsh;
            }
        }
        spliced << c;
    }
    // If nothing inside the playlist plays, the entry's other alternatives still may.
    if (parent.next + 1 < parent.alternatives.size()) {
        parent.next++;
        spliced << parent;
    }
    queue_ = spliced + queue_;
    advance();
}

void MpvPlayer::startEngine(const QUrl& url)
{
    engineUrl_ = url;
    engineTries_++;
    loaded_ = restarted_ = buffering_ = false;
    live_ = true;
    seekable_ = sized_ = segmented_ = false;
    segmentedLive_ = true;
    hasVideo_ = false;
    duration_ = position_ = 0;
    setOpenState(OpenState::MediaConnecting);
    setPlayState(PlayState::Waiting);
    progress();
    // The first video needs a render context to draw into; wait for the
    // surface briefly if it is about to be shown, never longer.
    if (renderMode_ && surface_ && !surface_->hasRenderContext() && view_ && view_->isVisible()) {
        loadWaitingForSurface_ = true;
        surfaceWait_.start(1500);
        return;
    }
    loadIntoEngine();
}

void MpvPlayer::loadIntoEngine()
{
    surfaceWait_.stop();
    if (!engine_ || engineUrl_.isEmpty())
        return;
    loadWaitingForSurface_ = false;
    QUrl url = engineUrl_;
    QByteArray options;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("rtspt")) {
        url.setScheme(QStringLiteral("rtsp"));
        options = "rtsp-transport=tcp";
    } else if (scheme == QLatin1String("rtspu")) {
        url.setScheme(QStringLiteral("rtsp"));
        options = "rtsp-transport=udp";
    }
    if (renderMode_ && (!surface_ || !surface_->hasRenderContext())) {
        // Nothing to draw into yet (the window is hidden): play without
        // video; the picture is switched on when the surface is made.
        options += options.isEmpty() ? "vid=no" : ",vid=no";
    }
    if (const QByteArray headers = engineFileOptions(options_); !headers.isEmpty())
        options += options.isEmpty() ? headers : "," + headers;
    const QByteArray address = url.toString(QUrl::FullyEncoded).toUtf8();
    const char* args[] = {"loadfile", address.constData(), "replace", options.isEmpty() ? nullptr : options.constData(), nullptr};
    expectedEntry_ = -1;
    startedEntry_ = -1;
    loadSerial_ = (generation_ << 16) | static_cast<quint64>(engineTries_ & 0xffff);
    qCDebug(lcPlayer) << "engine load" << address;
    mpv_command_async(engine_->get(), loadSerial_, args);
}

void MpvPlayer::stopEngine()
{
    expectedEntry_ = -1;
    startedEntry_ = -1;
    loadSerial_ = 0;
    if (engine_) {
        const char* args[] = {"stop", nullptr};
        mpv_command_async(engine_->get(), 0, args);
    }
}

void MpvPlayer::close()
{
    if (!active_ && queue_.isEmpty() && engineUrl_.isEmpty())
        return;
    qCDebug(lcPlayer) << "close";
    resetAttempt();
    active_ = false;
    stopEngine();
    setPlayState(PlayState::Stopped);
    setOpenState(OpenState::Closed);
    setStatus(QStringLiteral("Đã dừng"));
    updateBar();
}

void MpvPlayer::drainEvents()
{
    drainQueued_ = false;
    while (engine_) {
        mpv_event* event = mpv_wait_event(engine_->get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(*event);
    }
}

void MpvPlayer::handleEvent(const mpv_event& event)
{
    switch (event.event_id) {
    case MPV_EVENT_LOG_MESSAGE: {
        const auto* msg = static_cast<const mpv_event_log_message*>(event.data);
        const QString text = QString::fromUtf8(msg->text).trimmed();
        // Only for the debug log: whether the engine's network library
        // reports through it at all varies, so reasons come from probes.
        qCDebug(lcPlayer) << "engine:" << msg->prefix << text;
        break;
    }
    case MPV_EVENT_COMMAND_REPLY: {
        if (event.reply_userdata == 0 || event.reply_userdata != loadSerial_)
            break;
        if (event.error < 0) {
            alternativeFailed(PlayFailure::NotMedia);
            break;
        }
        const auto* cmd = static_cast<const mpv_event_command*>(event.data);
        if (cmd->result.format == MPV_FORMAT_NODE_MAP) {
            const mpv_node_list* map = cmd->result.u.list;
            for (int i = 0; i < map->num; ++i) {
                if (qstrcmp(map->keys[i], "playlist_entry_id") == 0 && map->values[i].format == MPV_FORMAT_INT64)
                    expectedEntry_ = map->values[i].u.int64;
            }
        }
        if (expectedEntry_ == startedEntry_ && expectedEntry_ >= 0)
            setOpenState(OpenState::MediaOpening);
        break;
    }
    case MPV_EVENT_START_FILE: {
        startedEntry_ = static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id;
        if (startedEntry_ == expectedEntry_ && expectedEntry_ >= 0) {
            setOpenState(OpenState::MediaOpening);
            progress();
        }
        break;
    }
    case MPV_EVENT_FILE_LOADED:
        if (startedEntry_ != expectedEntry_ || expectedEntry_ < 0)
            break;
        loaded_ = true;
        setOpenState(OpenState::MediaOpen);
        setPlayState(PlayState::Buffering);
        setStatus(QStringLiteral("Đang đệm…"));
        progress();
        updateBar();
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        if (!loaded_ || startedEntry_ != expectedEntry_)
            break;
        restarted_ = true;
        progress();
        maybeFirstFrame();
        if (!paused_ && !buffering_) {
            wasPlaying_ = true;
            setPlayState(PlayState::Playing);
            setStatus(QStringLiteral("Đang phát"));
        }
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        if (end->playlist_entry_id != expectedEntry_ || expectedEntry_ < 0)
            break;
        handleEndFile(end->reason, end->error);
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* prop = static_cast<const mpv_event_property*>(event.data);
        const bool current = expectedEntry_ >= 0 && startedEntry_ == expectedEntry_;
        switch (event.reply_userdata) {
        case PropPause:
            if (prop->format == MPV_FORMAT_FLAG) {
                paused_ = *static_cast<int*>(prop->data) != 0;
                if (current && loaded_) {
                    if (paused_) {
                        setPlayState(PlayState::Paused);
                        setStatus(QStringLiteral("Tạm dừng"));
                        watchdog_.stop();
                    } else if (restarted_ && !buffering_) {
                        setPlayState(PlayState::Playing);
                        setStatus(QStringLiteral("Đang phát"));
                        watchdog_.start(noProgressMs_);
                    }
                }
                updateBar();
            }
            break;
        case PropPausedForCache:
            if (prop->format == MPV_FORMAT_FLAG && current && loaded_) {
                buffering_ = *static_cast<int*>(prop->data) != 0;
                if (buffering_) {
                    setPlayState(PlayState::Buffering);
                    setStatus(QStringLiteral("Đang đệm…"));
                } else if (restarted_ && !paused_) {
                    wasPlaying_ = true;
                    setPlayState(PlayState::Playing);
                    setStatus(QStringLiteral("Đang phát"));
                }
            }
            break;
        case PropBufferingState:
            if (prop->format == MPV_FORMAT_INT64 && current && buffering_) {
                setStatus(QStringLiteral("Đang đệm… %1%").arg(*static_cast<int64_t*>(prop->data)));
                progress();
            }
            break;
        case PropTimePos:
            if (prop->format == MPV_FORMAT_DOUBLE && current) {
                const double pos = *static_cast<double*>(prop->data);
                if (pos != position_)
                    progress();
                position_ = pos;
                updateBar();
            }
            break;
        case PropCacheTime:
            if (prop->format == MPV_FORMAT_DOUBLE && current)
                progress();
            break;
        case PropDuration:
            if (current) {
                duration_ = prop->format == MPV_FORMAT_DOUBLE ? *static_cast<double*>(prop->data) : 0;
                updateLive();
            }
            break;
        case PropSeekable:
            if (current) {
                seekable_ = prop->format == MPV_FORMAT_FLAG && *static_cast<int*>(prop->data) != 0;
                updateLive();
            }
            break;
        case PropFileSize:
            if (current) {
                sized_ = prop->format == MPV_FORMAT_INT64 && *static_cast<int64_t*>(prop->data) > 0;
                updateLive();
            }
            break;
        case PropFileFormat:
            if (current) {
                const bool segmented = prop->format == MPV_FORMAT_STRING && isSegmentedFormat(*static_cast<char**>(prop->data));
                if (segmented && !segmented_)
                    readManifest(engineUrl_, 0);
                segmented_ = segmented;
                updateLive();
            }
            break;
        case PropVideoTrack:
            if (current) {
                hasVideo_ = prop->format == MPV_FORMAT_INT64 && *static_cast<int64_t*>(prop->data) > 0;
                maybeFirstFrame();
            }
            break;
        default:
            break;
        }
        break;
    }
    default:
        break;
    }
}

void MpvPlayer::handleEndFile(int reason, int error)
{
    const quint64 gen = generation_;
    expectedEntry_ = -1;
    if (reason == MPV_END_FILE_REASON_STOP || reason == MPV_END_FILE_REASON_QUIT)
        return;
    if (wasPlaying_ && live_) {
        liveStreamDropped();
        return;
    }
    if (reason == MPV_END_FILE_REASON_EOF && loaded_) {
        // This entry is done; a playlist goes on with its next entry.
        setPlayState(PlayState::MediaEnded);
        if (gen != generation_)
            return;
        if (!queue_.isEmpty())
            queue_.removeFirst();
        engineUrl_.clear();
        if (!queue_.isEmpty()) {
            advance();
            return;
        }
        watchdog_.stop();
        active_ = false;
        setOpenState(OpenState::Closed);
        setPlayState(PlayState::Stopped);
        setStatus(QStringLiteral("Đã phát xong"));
        updateBar();
        return;
    }
    // Why it failed is found out below: a fetch of the same address for
    // web addresses, one connection attempt for stream servers.
    const PlayFailure why = PlayFailure::NotMedia;
    qCDebug(lcPlayer) << "engine could not play" << engineUrl_ << mpv_error_string(error);
    // A web address the engine cannot read may be a playlist the player can
    // (a live mount point answering with a [Reference] file, for one).
    const QString scheme = engineUrl_.scheme().toLower();
    if ((scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !queue_.isEmpty()
        && !visited_.contains(engineUrl_) && queue_.first().depth < maxPlaylistDepth) {
        startFetch(engineUrl_, queue_.first().depth, true);
        return;
    }
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        probeServer(engineUrl_);
        return;
    }
    alternativeFailed(why);
}

void MpvPlayer::probeServer(const QUrl& url)
{
    // The engine does not say why a stream server could not be reached; one
    // bounded connection attempt to the same server does.
    const QString scheme = url.scheme().toLower();
    const int defaultPort = scheme == QLatin1String("mmst") ? 1755 : scheme.startsWith(QLatin1String("mms")) ? 80 : 554;
    auto* socket = new QTcpSocket(this);
    const quint64 gen = generation_;
    auto done = std::make_shared<bool>(false);
    auto finish = [this, socket, gen, done](PlayFailure reason) {
        if (*done)
            return;
        *done = true;
        socket->abort();
        socket->deleteLater();
        if (gen == generation_)
            alternativeFailed(reason);
    };
    connect(socket, &QTcpSocket::connected, this, [finish] { finish(PlayFailure::NotMedia); });
    connect(socket, &QTcpSocket::errorOccurred, this, [finish](QAbstractSocket::SocketError error) {
        switch (error) {
        case QAbstractSocket::HostNotFoundError:
            finish(PlayFailure::HostNotFound);
            break;
        case QAbstractSocket::ConnectionRefusedError:
            finish(PlayFailure::ConnectionRefused);
            break;
        case QAbstractSocket::SocketTimeoutError:
            finish(PlayFailure::TimedOut);
            break;
        default:
            finish(PlayFailure::NotMedia);
            break;
        }
    });
    QTimer::singleShot(std::min(noProgressMs_, 5000), socket, [finish] { finish(PlayFailure::TimedOut); });
    socket->connectToHost(url.host(), static_cast<quint16>(url.port(defaultPort)));
}

void MpvPlayer::liveStreamDropped()
{
    if (reconnects_ >= reconnectAttempts_) {
        fail(PlayFailure::ConnectionLost);
        return;
    }
    reconnects_++;
    setOpenState(OpenState::MediaConnecting);
    setPlayState(PlayState::Reconnecting);
    setStatus(QStringLiteral("Mất tín hiệu, đang kết nối lại…"));
    progress();
    reconnectTimer_.start(reconnectDelayMs_ << std::min(reconnects_ - 1, 10));
}

void MpvPlayer::alternativeFailed(PlayFailure reason)
{
    lastFailure_ = reason;
    engineUrl_.clear();
    if (!queue_.isEmpty())
        queue_.first().next++;
    advance();
}

void MpvPlayer::reconnect()
{
    if (!active_ || queue_.isEmpty())
        return;
    const QUrl url = queue_.first().alternatives.value(queue_.first().next);
    if (url.isEmpty())
        return;
    // It has to play again before a further drop counts as one.
    wasPlaying_ = false;
    startEngine(url);
}

void MpvPlayer::fail(PlayFailure reason)
{
    qCDebug(lcPlayer) << "failed" << static_cast<int>(reason);
    const bool hadEngine = !engineUrl_.isEmpty();
    cancelPending();
    if (hadEngine)
        stopEngine();
    engineUrl_.clear();
    expectedEntry_ = -1;
    loaded_ = false;
    active_ = false;
    failure_ = reason;
    setOpenState(OpenState::Closed);
    setPlayState(PlayState::Ready);
    setStatus(failureText(reason));
    updateBar();
    emit failed(reason);
}

void MpvPlayer::progress()
{
    if (active_ && !paused_)
        watchdog_.start(noProgressMs_);
}

void MpvPlayer::onWatchdog()
{
    if (!active_)
        return;
    qCDebug(lcPlayer) << "no progress within" << noProgressMs_ << "ms";
    if (wasPlaying_ && live_ && !engineUrl_.isEmpty()) {
        // A live stream that stalls is a dropped one.
        stopEngine();
        liveStreamDropped();
        return;
    }
    fail(PlayFailure::TimedOut);
}

void MpvPlayer::updateLive()
{
    // Live: neither seekable nor of known size (a live mount, an RTSP or MMS
    // broadcast). The growing length the engine reports for it says nothing.
    // A file from a server without ranges still has a size.
    // Segmented streams (HLS, DASH) look alike to the engine either way,
    // live or finished (it even makes up a length for a live one); their
    // manifest tells (readManifest()).
    live_ = segmented_ ? segmentedLive_ : !seekable_ && !sized_;
    updateBar();
}

// The engine does not say whether an HLS or DASH stream is live: read its
// manifest (an HLS master playlist's first variant) once, bounded in time and
// size like any playlist. Until it is known the stream counts as live.
void MpvPlayer::readManifest(const QUrl& url, int hops)
{
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(std::min(noProgressMs_, 5000));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Miravon/1.0"));
    applyStreamOptions(request, options_);
    QNetworkReply* reply = network_->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > maxPlaylistBytes)
            reply->abort();
    });
    const quint64 gen = generation_;
    const QUrl playing = engineUrl_;
    connect(reply, &QNetworkReply::finished, this, [this, reply, gen, playing, hops] {
        reply->deleteLater();
        if (gen != generation_ || playing != engineUrl_ || reply->error() != QNetworkReply::NoError)
            return;
        const Manifest manifest = parseManifest(reply->readAll(), reply->url());
        if (manifest.kind == Manifest::HlsMaster && hops == 0 && !manifest.variants.isEmpty()
            && isAllowedScheme(manifest.variants.first())) {
            readManifest(manifest.variants.first(), hops + 1);
        } else if (manifest.kind == Manifest::HlsMedia || manifest.kind == Manifest::Dash) {
            segmentedLive_ = manifest.live;
            updateLive();
        }
    });
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
    if (loaded_ && !firstFrame_ && expectedEntry_ >= 0) {
        firstFrame_ = true;
        emit firstFrame();
    }
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

void MpvPlayer::setStatus(const QString& text)
{
    if (text == statusText_)
        return;
    statusText_ = text;
    if (bar_)
        statusLabel_->setText(text);
    emit statusTextChanged(text);
}

void MpvPlayer::togglePause()
{
    if (!engine_)
        return;
    if (!loaded_) {
        // Stopped (or ended): play starts the last address again.
        if (!active_ && playState_ == PlayState::Stopped && !lastUrl_.isEmpty())
            setUrl(lastUrl_, StreamOptions(options_));
        return;
    }
    int flag = paused_ ? 0 : 1;
    mpv_set_property_async(engine_->get(), 0, "pause", MPV_FORMAT_FLAG, &flag);
}

void MpvPlayer::stop()
{
    if (!active_)
        return;
    const QString keep = lastUrl_;
    close();
    lastUrl_ = keep;
}

void MpvPlayer::setMuted(bool muted)
{
    muted_ = muted;
    if (engine_) {
        int flag = muted ? 1 : 0;
        mpv_set_property_async(engine_->get(), 0, "mute", MPV_FORMAT_FLAG, &flag);
    }
    if (bar_) {
        const QSignalBlocker block(muteButton_);
        muteButton_->setChecked(muted);
        muteButton_->setIcon(bar_->style()->standardIcon(muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    }
}

void MpvPlayer::setVolume(int volume)
{
    volume_ = std::clamp(volume, 0, 100);
    if (engine_) {
        double v = volume_;
        mpv_set_property_async(engine_->get(), 0, "volume", MPV_FORMAT_DOUBLE, &v);
    }
    if (bar_ && volumeSlider_->value() != volume_) {
        const QSignalBlocker block(volumeSlider_);
        volumeSlider_->setValue(volume_);
    }
}

void MpvPlayer::seekTo(double seconds)
{
    if (!engine_ || !loaded_ || !seekable_)
        return;
    const QByteArray pos = QByteArray::number(seconds, 'f', 3);
    const char* args[] = {"seek", pos.constData(), "absolute", nullptr};
    mpv_command_async(engine_->get(), 0, args);
}

bool MpvPlayer::isFullScreen() const { return view_ && view_->isWindow() && view_->isFullScreen(); }

void MpvPlayer::setFullScreen(bool on)
{
    if (!view_ || on == isFullScreen())
        return;
    if (on) {
        homeParent_ = view_->parentWidget();
        homeGeometry_ = view_->geometry();
        view_->setParent(nullptr, Qt::Window);
        view_->showFullScreen();
    } else {
        view_->showNormal();
        view_->setParent(homeParent_, Qt::Widget);
        view_->setGeometry(homeGeometry_);
        view_->show();
    }
    view_->setFocus();
}

void MpvPlayer::showContextMenu(const QPoint& globalPos)
{
    QMenu menu(view_);
    QAction* play = menu.addAction(paused_ || !loaded_ ? QStringLiteral("Phát") : QStringLiteral("Tạm dừng"));
    play->setEnabled(engine_ != nullptr);
    connect(play, &QAction::triggered, this, &MpvPlayer::togglePause);
    QAction* stopAction = menu.addAction(QStringLiteral("Dừng"));
    stopAction->setEnabled(active_);
    connect(stopAction, &QAction::triggered, this, &MpvPlayer::stop);
    menu.addSeparator();
    QAction* mute = menu.addAction(QStringLiteral("Tắt tiếng"));
    mute->setCheckable(true);
    mute->setChecked(muted_);
    connect(mute, &QAction::toggled, this, &MpvPlayer::setMuted);
    QAction* full = menu.addAction(QStringLiteral("Toàn màn hình"));
    full->setCheckable(true);
    full->setChecked(isFullScreen());
    connect(full, &QAction::toggled, this, &MpvPlayer::setFullScreen);
    menu.exec(globalPos);
}

bool MpvPlayer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ || watched == videoHost_) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (handleKey(key->key(), key->modifiers()))
                return true;
            break;
        }
        case QEvent::MouseButtonDblClick:
            if (watched == videoHost_) {
                setFullScreen(!isFullScreen());
                return true;
            }
            break;
        case QEvent::ContextMenu:
            showContextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        default:
            break;
        }
    }
    return Player::eventFilter(watched, event);
}

void MpvPlayer::updateBar()
{
    if (!bar_)
        return;
    const bool playing = loaded_ && !paused_;
    playButton_->setIcon(bar_->style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    stopButton_->setEnabled(active_);
    const bool seekable = loaded_ && seekable_ && duration_ > 0;
    seekSlider_->setEnabled(seekable);
    if (seekable) {
        seekSlider_->setRange(0, static_cast<int>(duration_));
        if (!seekSlider_->isSliderDown())
            seekSlider_->setValue(static_cast<int>(position_));
        timeLabel_->setText(formatTime(position_) + QStringLiteral(" / ") + formatTime(duration_));
    } else {
        seekSlider_->setRange(0, 0);
        timeLabel_->setText(loaded_ ? formatTime(position_) : QStringLiteral("00:00"));
    }
}

} // namespace miravon
