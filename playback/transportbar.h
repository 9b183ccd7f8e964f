#pragma once

#include <QIcon>
#include "statustext.h"

#include <QLabel>
#include <QWidget>

class QSlider;
class QToolButton;

namespace miravon {

// The player's own transport bar: play/pause, stop, seek, time, mute,
// volume, full screen and a short status text. A pure view: it shows what
// it is given and reports what the user does.
class TransportBar : public QWidget {
    Q_OBJECT
public:
    explicit TransportBar(QWidget* parent);

    void setPlaying(bool playing);
    void setStopEnabled(bool enabled);
    // Position and length in seconds; the seek slider works only for a
    // seekable stream of known length.
    void setTimes(double position, double duration, bool seekable, bool loaded);
    void setMuted(bool muted);
    void setVolume(int volume);
    void setStatusText(const QString& text);
    QString statusText() const;

signals:
    void playPauseClicked();
    void stopClicked();
    void seekRequested(double seconds);
    void mutedChanged(bool muted);
    void volumeChanged(int volume);
    void fullScreenClicked();

private:
    // Made once: every icon the style makes is a new one, and the pixmaps
    // drawn of it stay in the application's pixmap cache, so an icon made
    // per state change fills that cache as channels are switched.
    QIcon playIcon_, pauseIcon_, volumeIcon_, mutedIcon_;
    QToolButton* playButton_;
    QToolButton* stopButton_;
    QSlider* seekSlider_;
    QLabel* timeLabel_;
    QToolButton* muteButton_;
    QSlider* volumeSlider_;
    QToolButton* fullButton_;
    StatusText* statusLabel_;
};

} // namespace miravon
