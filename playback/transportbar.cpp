#include "transportbar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

#include <cmath>

namespace miravon {

namespace {

QString formatTime(double seconds)
{
    const int s = std::isfinite(seconds) && seconds > 0 ? static_cast<int>(seconds) : 0;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

TransportBar::TransportBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("transportBar"));
    setAutoFillBackground(true);
    setPalette(QApplication::palette());
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 1, 2, 1);
    row->setSpacing(2);
    playIcon_ = style()->standardIcon(QStyle::SP_MediaPlay);
    pauseIcon_ = style()->standardIcon(QStyle::SP_MediaPause);
    volumeIcon_ = style()->standardIcon(QStyle::SP_MediaVolume);
    mutedIcon_ = style()->standardIcon(QStyle::SP_MediaVolumeMuted);
    auto makeButton = [this, row](const char* name, const QIcon& icon, const QString& tip) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setIcon(icon);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        row->addWidget(b);
        return b;
    };
    playButton_ = makeButton("playPause", playIcon_, QStringLiteral("Phát / Tạm dừng"));
    stopButton_ = makeButton("stop", style()->standardIcon(QStyle::SP_MediaStop), QStringLiteral("Dừng"));
    stopButton_->setEnabled(false);
    seekSlider_ = new QSlider(Qt::Horizontal, this);
    seekSlider_->setObjectName(QStringLiteral("seek"));
    seekSlider_->setFocusPolicy(Qt::NoFocus);
    seekSlider_->setEnabled(false);
    row->addWidget(seekSlider_, 1);
    timeLabel_ = new QLabel(QStringLiteral("00:00 / 00:00"), this);
    timeLabel_->setObjectName(QStringLiteral("time"));
    row->addWidget(timeLabel_);
    muteButton_ = makeButton("mute", volumeIcon_, QStringLiteral("Tắt tiếng"));
    muteButton_->setCheckable(true);
    volumeSlider_ = new QSlider(Qt::Horizontal, this);
    volumeSlider_->setObjectName(QStringLiteral("volume"));
    volumeSlider_->setFocusPolicy(Qt::NoFocus);
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setValue(50);
    volumeSlider_->setMaximumWidth(80);
    row->addWidget(volumeSlider_);
    fullButton_ = makeButton("fullScreen", style()->standardIcon(QStyle::SP_TitleBarMaxButton), QStringLiteral("Toàn màn hình"));
    // A status bar to screen readers: a reader hears "Đã phát xong" or why
    // a channel failed, as it changes.
    statusLabel_ = new StatusText(this);
    statusLabel_->setObjectName(QStringLiteral("playerStatus"));
    statusLabel_->setMinimumWidth(60);
    row->addWidget(statusLabel_);

    // Screen readers name each control as its tooltip does.
    for (QWidget* w : {static_cast<QWidget*>(playButton_), static_cast<QWidget*>(stopButton_),
                       static_cast<QWidget*>(muteButton_), static_cast<QWidget*>(fullButton_)})
        w->setAccessibleName(w->toolTip());
    seekSlider_->setAccessibleName(QStringLiteral("Vị trí"));
    volumeSlider_->setAccessibleName(QStringLiteral("Âm lượng"));
    // The time and the status are read by what they say: no fixed name,
    // which would hide their text; what they are is their description.
    timeLabel_->setAccessibleDescription(QStringLiteral("Thời gian"));
    statusLabel_->setAccessibleDescription(QStringLiteral("Trạng thái"));

    connect(playButton_, &QToolButton::clicked, this, &TransportBar::playPauseClicked);
    connect(stopButton_, &QToolButton::clicked, this, &TransportBar::stopClicked);
    connect(muteButton_, &QToolButton::toggled, this, &TransportBar::mutedChanged);
    connect(volumeSlider_, &QSlider::valueChanged, this, &TransportBar::volumeChanged);
    connect(seekSlider_, &QSlider::sliderReleased, this, [this] { emit seekRequested(seekSlider_->value()); });
    connect(fullButton_, &QToolButton::clicked, this, &TransportBar::fullScreenClicked);
}

void TransportBar::setPlaying(bool playing)
{
    const QIcon& icon = playing ? pauseIcon_ : playIcon_;
    if (playButton_->icon().cacheKey() != icon.cacheKey())
        playButton_->setIcon(icon);
}

void TransportBar::setStopEnabled(bool enabled) { stopButton_->setEnabled(enabled); }

void TransportBar::setTimes(double position, double duration, bool seekable, bool loaded)
{
    const bool canSeek = loaded && seekable && duration > 0;
    seekSlider_->setEnabled(canSeek);
    if (canSeek) {
        seekSlider_->setRange(0, static_cast<int>(duration));
        if (!seekSlider_->isSliderDown())
            seekSlider_->setValue(static_cast<int>(position));
        timeLabel_->setText(formatTime(position) + QStringLiteral(" / ") + formatTime(duration));
    } else {
        seekSlider_->setRange(0, 0);
        timeLabel_->setText(loaded ? formatTime(position) : QStringLiteral("00:00"));
    }
}

void TransportBar::setMuted(bool muted)
{
    const QSignalBlocker block(muteButton_);
    muteButton_->setChecked(muted);
    const QIcon& icon = muted ? mutedIcon_ : volumeIcon_;
    if (muteButton_->icon().cacheKey() != icon.cacheKey())
        muteButton_->setIcon(icon);
}

void TransportBar::setVolume(int volume)
{
    if (volumeSlider_->value() == volume)
        return;
    const QSignalBlocker block(volumeSlider_);
    volumeSlider_->setValue(volume);
}

void TransportBar::setStatusText(const QString& text)
{
    // Each change is announced to screen readers: the same text again is none.
    statusLabel_->say(text);
}

QString TransportBar::statusText() const { return statusLabel_->text(); }

} // namespace miravon
