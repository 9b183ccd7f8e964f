#pragma once

#include "engineoptions.h"
#include "failure.h"
#include "manifest.h"
#include "player.h"
#include "playerview.h"
#include "probe.h"
#include "resolver.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace miravon {

class Engine;
struct FileEnd;

// The real player: the engine behind the Player contract. It owns the
// engine, the address resolver and the failure probe; it keeps the
// no-progress bound, tells live streams from files, reconnects dropped live
// streams, raises the state codes and drives its view.
//
// Cheap until the first address: no engine, just the view. The engine is
// made off the UI thread on the first setUrl(), and given back (off the UI
// thread too) once the player has been idle for a short while.
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
    QString statusText() const;
    // The address the engine is playing or opening (after playlists and
    // protocol rollover), empty when none.
    QUrl engineAddress() const { return engineUrl_; }
    bool hasEngine() const { return static_cast<bool>(engine_); }
    bool firstFrameReached() const { return firstFrame_; }
    bool isLive() const { return live_; }
    PlayerView* view() const { return view_; }

    // How long an alternative may show no progress before the next one is
    // tried (and the address fails when none is left).
    void setNoProgressTimeout(int ms);
    // Reconnection of a dropped live stream: attempts per outage, first
    // delay (doubled at each further attempt).
    void setReconnectPolicy(int attempts, int firstDelayMs);
    // How long a stopped, failed or finished player keeps its engine, so
    // that a quick new click does not pay the start-up again.
    void setIdleRelease(int ms);

    // 20 s, or MIRAVON_NO_PROGRESS_MS when set: the bound new players start with.
    static int defaultNoProgressTimeout();
    // The engine's own network timeout under a no-progress bound: a
    // backstop a few seconds past it, so that the bound fires first.
    static int engineNetworkTimeout(int noProgressMs);

signals:
    void firstFrame();
    void failed(miravon::PlayFailure failure);
    // The engine could not open an audio output: pictures only. Once per player.
    void noSound();

private:
    enum class Phase {
        Changing,
        PlaylistConnecting,
        PlaylistLoading,
        PlaylistChanged,
        EngineLoading,
        EngineOpening,
        FileOpen,
        Buffering,
        Playing,
        Paused,
        EntryEnded,
        Finished,
        Reconnecting,
        Failed,
        Stopped,
    };
    void enter(Phase phase);

    void ensureEngine();
    void engineReady();
    void releaseEngine();
    void scheduleRelease();
    void resetAttempt();
    void startEngine(const QUrl& url);
    // `surfaceWaited`: go on without a render context if none is ready.
    void loadIntoEngine(bool surfaceWaited = false);
    void stopEngine();
    bool isCurrent() const { return expectedEntry_ >= 0 && startedEntry_ == expectedEntry_; }

    void onCommandReplied(quint64 tag, bool ok, qint64 entry);
    void onFileStarted(qint64 entry);
    void onFileLoaded();
    void onPlaybackRestarted();
    void onFileEnded(const FileEnd& end);
    void onProperty(quint64 id, const QVariant& value);
    void engineFailed();
    void becamePlaying();
    void liveStreamDropped();
    void reconnect();
    void finish();
    void fail(PlayFailure reason);
    void progress();
    void onWatchdog();
    void onFrameRendered();
    void maybeFirstFrame();
    void checkSound();
    void tellNoSound();
    void updateLive();
    void setOpenState(int state);
    void setPlayState(int state);
    void updateTransport();

    QPointer<PlayerView> view_;
    bool renderMode_ = false;
    std::unique_ptr<Engine> engine_;
    AddressResolver resolver_;
    FailureProbe probe_;
    ManifestReader manifest_;

    int openState_ = 0;
    int playState_ = 0;
    PlayFailure failure_ = PlayFailure::None;
    QString lastUrl_;
    StreamOptions lastOptions_;
    bool active_ = false;

    // The engine's side of the current candidate.
    QUrl engineUrl_;
    bool loadPending_ = false;  // waiting for the engine or the surface
    qint64 expectedEntry_ = -1;
    qint64 startedEntry_ = -1;
    quint64 loadSerial_ = 0;
    quint64 loads_ = 0;
    bool loaded_ = false;
    bool restarted_ = false;
    bool paused_ = false;
    bool buffering_ = false;
    bool firstFrame_ = false;
    bool live_ = true;
    bool seekable_ = false;
    bool sized_ = false;
    bool segmented_ = false;     // HLS or DASH: live or not, its manifest says
    bool segmentedLive_ = true;  // what the manifest said (live until read)
    bool hasVideo_ = false;
    bool hasAudio_ = false;
    bool audioOut_ = false;
    bool soundTold_ = false;
    double position_ = 0;
    double duration_ = 0;
    double firstDuration_ = 0;
    double durationSeenAt_ = 0;  // position when a length was first reported
    bool durationGrew_ = false;
    // Live reconnection: the stream has played; an outage is under way.
    bool played_ = false;
    bool outage_ = false;
    int reconnects_ = 0;
    bool muted_ = false;
    int volume_ = 50;

    QTimer watchdog_;
    QTimer reconnectTimer_;
    QTimer surfaceWait_;
    QTimer steady_;
    QTimer idleRelease_;
    QTimer soundCheck_;
    int noProgressMs_;
    int reconnectAttempts_ = 3;
    int reconnectDelayMs_ = 1000;
};

} // namespace miravon
