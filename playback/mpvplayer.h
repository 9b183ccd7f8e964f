#pragma once

#include "engineslot.h"
#include "failure.h"
#include "manifest.h"
#include "player.h"
#include "playerstate.h"
#include "playerview.h"
#include "probe.h"
#include "resolver.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <array>
#include <deque>
#include <memory>

namespace miravon {

// The real player: the engine behind the Player contract. Its state is one
// value (PlayerState, playerstate.h); every report of the engine, the
// resolver, the look, the manifest reader and the player's timers becomes
// an event, goes through transition(), and the actions that come out are
// carried out here. The parts it wires: the engine slot (the engine's life,
// its idle release, the video surface), the address resolver (playlists,
// alternatives), the look that finds out why the engine could not play a
// candidate (the same the address check takes, so both give the same
// reason), and the manifest reader.
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

    int openState() const { return state_.openCode; }
    int playState() const { return state_.playCode; }
    PlayFailure failure() const { return state_.attempt.failure; }
    QString statusText() const;
    // The address the engine is playing or opening (after playlists and
    // protocol rollover), empty when none.
    QUrl engineAddress() const { return state_.attempt.candidate.url; }
    bool hasEngine() const { return slot_->hasEngine(); }
    // Frames the engine dropped (decoder and output), since its file
    // started; -1 without an engine. Asks the engine and waits for its
    // answer: for diagnostics and benchmarks, never on a user's path.
    qint64 droppedFrames() const;
    bool isLive() const { return state_.isLive(); }
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

    // noProgressBoundMs, or MIRAVON_NO_PROGRESS_MS when set: the bound new
    // players start with.
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
    // Every event goes through here: one at a time, in the order they
    // come (an event raised while actions run waits for them to finish).
    void dispatch(PlayerEvent event);
    void perform(const PlayerAction& action);
    void ensureEngine();
    void onProperty(quint64 id, const QVariant& value);
    void showTransport();
    void showTimes();
    // The engine draws the picture at its own size, or fitted to the
    // screen in full screen.
    void fitPicture();

    QPointer<PlayerView> view_;
    std::unique_ptr<EngineSlot> slot_;
    AddressResolver resolver_;
    CandidateLook look_;
    ManifestReader manifest_;
    std::array<QTimer, 5> timers_; // by PlayerTimer

    PlayerState state_;
    std::deque<PlayerEvent> events_; // the one being handled first

    // The user's sound settings, given to every engine.
    struct Mixer {
        bool muted = false;
        int volume = 50;
    } mixer_;
};

} // namespace miravon
