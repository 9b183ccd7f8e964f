#pragma once

#include "failure.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

class QLabel;
class QPushButton;

namespace miravon {

class TransportBar;
class VideoSurface;

// The text a player reads to the user for each reason, and what the user
// can do about it.
QString failureText(PlayFailure failure);
QString failureAdvice(PlayFailure failure);

// The player's face, the `manhinh` widget of a window: the picture area
// (the video surface the engine's pictures show in, or a plain black area when
// the engine draws elsewhere), the transport bar, the keys (space pauses,
// Escape leaves full screen), double-click for full screen and the context
// menu. A pure view: setters in, signals out; the player's texts live here.
class PlayerView : public QWidget {
    Q_OBJECT
public:
    // What the player is doing, as the status text says it.
    enum class Activity { Idle, Connecting, Buffering, Playing, Paused, Reconnecting, Finished, Stopped, Failed };

    // `withSurface`: the picture area is a video surface, made now and kept
    // for the player's life.
    PlayerView(QWidget* parent, bool withSurface);

    VideoSurface* surface() const { return surface_; }
    TransportBar* bar() const { return bar_; }

    // Status: an activity, with a buffering percentage where known.
    void setActivity(Activity activity, int percent = -1);
    // A failure: the status shows its text, the picture area is cleared and
    // the reason and advice show in its middle. None takes the message away.
    void setFailure(PlayFailure reason);
    QString statusText() const;
    // A one-time notice in the status, such as that there is no sound.
    void setNotice(const QString& text);
    static QString noSoundText();

    // A message over the middle of the picture area; empty hides it.
    void setPictureMessage(const QString& text);
    QString pictureMessage() const;

    // What the transport bar and the context menu offer.
    void setTransport(bool loaded, bool paused, bool active);
    void setTimes(double position, double duration, bool seekable);
    void setMuted(bool muted);
    void setVolume(int volume);

    // Shows black instead of the last picture (after a stop, a close or a
    // failure) until clearBlank().
    void blankPicture();
    void clearBlank();

    void setFullScreen(bool on);
    bool isFullScreen() const;

signals:
    void fullScreenChanged(bool on);
    void togglePauseRequested();
    void stopRequested();
    void seekRequested(double seconds);
    void mutedChanged(bool muted);
    void volumeChanged(int volume);
    // The user asked for the channel sources (the button under the message
    // of a channel with no address yet).
    void sourcesRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The player's keys while it has the focus: Space play/pause, M mute,
    // F full screen, Up/Down volume, Left/Right seek where the stream can,
    // Esc leaves full screen. True when the key was used.
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);
    static constexpr int volumeStep = 5;
    static constexpr double seekStepSeconds = 10;

    void showContextMenu(const QPoint& globalPos);
    void placeMessage();

    QWidget* picture_ = nullptr;
    VideoSurface* surface_ = nullptr;
    TransportBar* bar_ = nullptr;
    QLabel* message_ = nullptr;
    QPushButton* sources_ = nullptr;
    QPointer<QWidget> homeParent_;
    QRect homeGeometry_;
    bool loaded_ = false;
    bool paused_ = false;
    bool active_ = false;
    bool muted_ = false;
    int volume_ = 50;
    double position_ = 0;
    double duration_ = 0;
    bool seekable_ = false;
};

} // namespace miravon
