// The player's keyboard and its names for screen readers, apart from the
// engine code so that both can move with the player's face.
#include "mpvplayer.h"

#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <algorithm>

namespace miravon {

bool MpvPlayer::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & ~Qt::KeypadModifier)
        return false;
    switch (key) {
    case Qt::Key_Space:
        togglePause();
        return true;
    case Qt::Key_M:
        setMuted(!muted_);
        return true;
    case Qt::Key_F:
        setFullScreen(!isFullScreen());
        return true;
    case Qt::Key_Escape:
        if (!isFullScreen())
            return false;
        setFullScreen(false);
        return true;
    case Qt::Key_Up:
        setVolume(volume_ + volumeStep);
        return true;
    case Qt::Key_Down:
        setVolume(volume_ - volumeStep);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        // seekTo() ignores a stream that cannot seek.
        if (loaded_ && seekable_) {
            const double to = position_ + (key == Qt::Key_Right ? seekStepSeconds : -seekStepSeconds);
            seekTo(std::clamp(to, 0.0, duration_ > 0 ? duration_ : to));
        }
        return true;
    default:
        return false;
    }
}

void MpvPlayer::nameControls()
{
    view_->setAccessibleName(QStringLiteral("Trình phát"));
    view_->setAccessibleDescription(
        QStringLiteral("Phím cách: phát / tạm dừng; M: tắt tiếng; F: toàn màn hình; "
                       "mũi tên lên / xuống: âm lượng; mũi tên trái / phải: tua"));
    if (!bar_)
        return; // the transport bar comes with the engine
    playButton_->setAccessibleName(QStringLiteral("Phát / Tạm dừng"));
    stopButton_->setAccessibleName(QStringLiteral("Dừng"));
    seekSlider_->setAccessibleName(QStringLiteral("Vị trí"));
    timeLabel_->setAccessibleName(QStringLiteral("Thời gian"));
    muteButton_->setAccessibleName(QStringLiteral("Tắt tiếng"));
    volumeSlider_->setAccessibleName(QStringLiteral("Âm lượng"));
    fullButton_->setAccessibleName(QStringLiteral("Toàn màn hình"));
    statusLabel_->setAccessibleName(QStringLiteral("Trạng thái"));
}

} // namespace miravon
