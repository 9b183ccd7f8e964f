#pragma once

#include "player.h"
#include "playlist.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <memory>

struct mpv_handle;
struct mpv_event;
class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QSlider;
class QToolButton;
class QMenu;

namespace miravon {

class VideoSurface;

// Why an address could not be played.
enum class PlayFailure {
    None,
    HostNotFound,
    ConnectionRefused,
    TimedOut,
    NotFound,
    NotMedia,
    PlaylistRefused,
    NoPlayableEntry,
    ConnectionLost,
};
QString failureText(PlayFailure failure);

// Owns one engine handle. Destroying the engine can take a moment (it
// closes its connections), so it happens off the UI thread; every pending
// destruction is finished before the process exits.
class EngineHandle {
public:
    EngineHandle() = default;
    explicit EngineHandle(mpv_handle* handle) : handle_(handle) {}
    EngineHandle(const EngineHandle&) = delete;
    EngineHandle& operator=(const EngineHandle&) = delete;
    ~EngineHandle();
    mpv_handle* get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    mpv_handle* handle_ = nullptr;
};

// The real player: libmpv behind the Player contract. Cheap until the first
// address: no engine handle, no OpenGL, just the black view.
class MpvPlayer : public Player {
    Q_OBJECT
public:
    explicit MpvPlayer(QWidget* parent);
    ~MpvPlayer() override;

    QWidget* widget() override;
    void setUrl(const QString& address) override;
    void setUrl(const QString& address, const StreamOptions& options) override;
    void close() override;

    // Transport, as the bar, the context menu and the keyboard drive it.
    void togglePause();
    void stop();
    void setMuted(bool muted);
    void setVolume(int volume);
    void seekTo(double seconds);
    void setFullScreen(bool on);
    bool isFullScreen() const;

    int openState() const { return openState_; }
    int playState() const { return playState_; }
    PlayFailure failure() const { return failure_; }
    QString statusText() const { return statusText_; }
    // The address the engine is playing or opening (after playlists and
    // protocol rollover), empty when none.
    QUrl engineAddress() const { return engineUrl_; }
    bool hasEngine() const { return static_cast<bool>(engine_); }
    bool firstFrameReached() const { return firstFrame_; }
    bool isLive() const { return live_; }

    // How long an address may show no progress before it is failed.
    void setNoProgressTimeout(int ms);
    // Reconnection of a dropped live stream: attempts, first delay (doubled
    // at each further attempt).
    void setReconnectPolicy(int attempts, int firstDelayMs);

    // 20 s, or MIRAVON_NO_PROGRESS_MS when set: the bound new players start with.
    static int defaultNoProgressTimeout();

signals:
    void firstFrame();
    void failed(miravon::PlayFailure failure);
    void statusTextChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // --- Keyboard and screen readers (playerkeys.cpp) ---
    // The player's keys while its view has the focus: Space play/pause,
    // M mute, F full screen, Up/Down volume, Left/Right seek where the
    // stream allows it, Esc leaves full screen. True when the key was used.
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);
    // Names of the view and the transport controls for screen readers.
    void nameControls();
    static constexpr int volumeStep = 5;       // per Up/Down
    static constexpr double seekStepSeconds = 10;


    struct Candidate {
        QList<QUrl> alternatives;
        int next = 0;
        int depth = 0;
        bool playlistRef = false;
        bool sniffed = false;  // fetched once already: hand it to the engine
    };

    void ensureEngine();
    void buildFace();
    void cancelPending();
    void resetAttempt();
    void advance();
    void startFetch(const QUrl& url, int depth, bool sniff);
    void fetchDone(QNetworkReply* reply, const QUrl& url, int depth, bool sniff);
    void startEngine(const QUrl& url);
    void loadIntoEngine();
    void drainEvents();
    void handleEvent(const mpv_event& event);
    void handleEndFile(int reason, int error);
    void alternativeFailed(PlayFailure reason);
    void liveStreamDropped();
    void probeServer(const QUrl& url);
    void fail(PlayFailure reason);
    PlayFailure finalFailure() const;
    void reconnect();
    void stopEngine();
    void progress();
    void onWatchdog();
    void onFrameRendered();
    void maybeFirstFrame();
    void updateLive();
    void readManifest(const QUrl& url, int hops);
    void setOpenState(int state);
    void setPlayState(int state);
    void setStatus(const QString& text);
    void updateBar();
    void showContextMenu(const QPoint& globalPos);
    static QList<QUrl> expand(const QUrl& url);

    QPointer<QWidget> view_;
    // Children of the view; the view may be deleted by its window first.
    QPointer<QWidget> videoHost_;
    QPointer<VideoSurface> surface_;
    QPointer<QWidget> bar_;
    QToolButton* playButton_ = nullptr;
    QToolButton* stopButton_ = nullptr;
    QToolButton* muteButton_ = nullptr;
    QToolButton* fullButton_ = nullptr;
    QSlider* seekSlider_ = nullptr;
    QSlider* volumeSlider_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QPointer<QWidget> homeParent_;
    QRect homeGeometry_;

    std::unique_ptr<EngineHandle> engine_;
    bool renderMode_ = false;
    QNetworkAccessManager* network_ = nullptr;
    QPointer<QNetworkReply> fetch_;

    int openState_ = 0;
    int playState_ = 0;
    PlayFailure failure_ = PlayFailure::None;
    QString statusText_;
    QString lastUrl_;
    // Sent with every request for the current address (streamoptions.h).
    StreamOptions options_;

    // The current address's resolution.
    quint64 generation_ = 0;
    bool active_ = false;
    QList<Candidate> queue_;
    QList<QUrl> visited_;
    bool viaPlaylist_ = false;
    int refused_ = 0;
    int engineTries_ = 0;
    PlayFailure lastFailure_ = PlayFailure::None;

    // The engine's side of the current address.
    QUrl engineUrl_;
    bool loadWaitingForSurface_ = false;
    qint64 expectedEntry_ = -1;
    qint64 startedEntry_ = -1;
    quint64 loadSerial_ = 0;
    bool loaded_ = false;
    bool restarted_ = false;
    bool paused_ = false;
    bool buffering_ = false;
    bool firstFrame_ = false;
    bool live_ = true;
    bool seekable_ = false;
    bool sized_ = false;
    bool segmented_ = false;  // HLS or DASH
    bool segmentedLive_ = true;  // what its manifest says
    bool hasVideo_ = false;
    bool wasPlaying_ = false;
    double position_ = 0;
    double duration_ = 0;
    bool muted_ = false;
    int volume_ = 50;
    std::atomic_bool drainQueued_{false};

    QTimer watchdog_;
    QTimer reconnectTimer_;
    QTimer surfaceWait_;
    int noProgressMs_;
    int reconnectAttempts_ = 3;
    int reconnectDelayMs_ = 1000;
    int reconnects_ = 0;
};

} // namespace miravon
