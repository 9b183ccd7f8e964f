#pragma once

#include "engineoptions.h"
#include "engineslot.h"
#include "failure.h"
#include "livejudge.h"
#include "manifest.h"
#include "player.h"
#include "playerview.h"
#include "probe.h"
#include "reconnector.h"
#include "resolver.h"
#include "soundwatch.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace miravon {

struct FileEnd;

// The real player: the engine behind the Player contract. It keeps the
// state machine and its phase table, and wires the parts that do the rest:
// the engine slot (the engine's life, its idle release, the video surface),
// the address resolver (playlists, alternatives), the look that finds out
// why the engine could not play a candidate (the same the address check
// takes, so both give the same reason), the live-or-finished judgement,
// reconnection of dropped live streams, and the no-progress bound.
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
    void play(const QList<StreamAddress>& streams) override;
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
    bool hasEngine() const { return slot_->hasEngine(); }
    // Frames the engine dropped (decoder and output), since its file
    // started; -1 without an engine. Asks the engine and waits for its
    // answer: for diagnostics and benchmarks, never on a user's path.
    qint64 droppedFrames() const;
    bool isLive() const { return live_.isLive(); }
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
    // What happens to the player; each phase raises its state codes and
    // sets its view's activity from one table (mpvplayer.cpp).
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
    void startStream(int index);
    void resetAttempt();
    void startEngine(const QUrl& url);
    void loadIntoEngine(bool withVideo);
    void stopEngine();
    bool isCurrent() const { return expectedEntry_ >= 0 && startedEntry_ == expectedEntry_; }
    bool engineBusy() const { return !engineUrl_.isEmpty() || loadSerial_ != 0; }

    // What the engine reports about the current candidate.
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
    void maybeFirstFrame();
    void setOpenState(int state);
    void setPlayState(int state);
    void updateTransport();

    QPointer<PlayerView> view_;
    std::unique_ptr<EngineSlot> slot_;
    AddressResolver resolver_;
    CandidateLook look_;
    bool lookAfterSilence_ = false; // the look runs because the engine made no progress
    ManifestReader manifest_;
    LiveTracker live_;
    Reconnector reconnector_;
    SoundWatch sound_;
    QTimer watchdog_;
    int noProgressMs_;

    int openState_ = 0;
    int playState_ = 0;
    PlayFailure failure_ = PlayFailure::None;
    // The streams of the address, tried in turn; the one being tried; the
    // most informative reason the ones before it failed for.
    QList<StreamAddress> streams_;
    int streamIndex_ = 0;
    PlayFailure streamsFailed_ = PlayFailure::None;
    QString lastUrl_;
    StreamOptions lastOptions_;
    bool active_ = false;

    // The engine's side of the current candidate.
    QUrl engineUrl_;
    qint64 expectedEntry_ = -1;
    qint64 startedEntry_ = -1;
    quint64 loadSerial_ = 0;
    quint64 loads_ = 0;
    bool loaded_ = false;
    bool restarted_ = false;
    bool paused_ = false;
    bool buffering_ = false;
    bool firstFrame_ = false;
    bool hasVideo_ = false;
    bool played_ = false; // it has played: a drop now is a live stream's

    bool muted_ = false;
    int volume_ = 50;
};

} // namespace miravon
