#include "playerview.h"

#include "transportbar.h"
#include "videosurface.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QMenu>
#include <QVBoxLayout>

#include <algorithm>

namespace miravon {

QString failureText(PlayFailure failure)
{
    switch (failure) {
    case PlayFailure::None:
        return {};
    case PlayFailure::UnsupportedAddress:
        return QStringLiteral("Địa chỉ không mở được");
    case PlayFailure::NoAddressYet:
        return QStringLiteral("Kênh này chưa có địa chỉ xem được");
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

QString failureAdvice(PlayFailure failure)
{
    switch (failure) {
    case PlayFailure::None:
        return {};
    case PlayFailure::UnsupportedAddress:
    case PlayFailure::NotMedia:
    case PlayFailure::PlaylistRefused:
        return QStringLiteral("Kênh này không xem được. Xin chọn kênh khác.");
    case PlayFailure::NoAddressYet:
        return QStringLiteral("Để có địa chỉ cho kênh: mở Nguồn kênh (nút dưới đây, hoặc Thực đơn › Nguồn kênh) "
                              "để tải các danh sách kênh công khai hoặc thêm danh sách của bạn, "
                              "hoặc kéo thả một tệp .m3u vào cửa sổ.");
    case PlayFailure::HostNotFound:
        return QStringLiteral("Xin kiểm tra kết nối mạng rồi bấm lại vào kênh.");
    case PlayFailure::ConnectionRefused:
        return QStringLiteral("Máy chủ của kênh có thể đang tắt. Xin thử lại sau.");
    case PlayFailure::TimedOut:
        return QStringLiteral("Mạng chậm hoặc máy chủ không trả lời. Xin thử lại sau.");
    case PlayFailure::NotFound:
        return QStringLiteral("Kênh có thể đã đổi địa chỉ hoặc ngừng phát. Xin chọn kênh khác.");
    case PlayFailure::NoPlayableEntry:
        return QStringLiteral("Không mục nào trong danh sách của kênh phát được. Xin thử lại sau.");
    case PlayFailure::ConnectionLost:
        return QStringLiteral("Xin bấm lại vào kênh để kết nối lại.");
    }
    return {};
}

PlayerView::PlayerView(QWidget* parent, bool withSurface)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("manhinh"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setFocusPolicy(Qt::StrongFocus);
    installEventFilter(this);
    setAccessibleName(QStringLiteral("Trình phát"));
    setAccessibleDescription(
        QStringLiteral("Phím cách: phát / tạm dừng; M: tắt tiếng; F: toàn màn hình; "
                       "mũi tên lên / xuống: âm lượng; mũi tên trái / phải: tua"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The picture area is the first child: the video surface, or a black
    // area when the engine draws elsewhere.
    if (withSurface) {
        surface_ = new VideoSurface(this);
        picture_ = surface_;
    } else {
        picture_ = new QWidget(this);
    }
    picture_->setObjectName(QStringLiteral("picture"));
    picture_->installEventFilter(this);
    picture_->setFocusProxy(this);
    picture_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(picture_, 1);

    bar_ = new TransportBar(this);
    layout->addWidget(bar_);
    connect(bar_, &TransportBar::playPauseClicked, this, &PlayerView::togglePauseRequested);
    connect(bar_, &TransportBar::stopClicked, this, &PlayerView::stopRequested);
    connect(bar_, &TransportBar::seekRequested, this, &PlayerView::seekRequested);
    connect(bar_, &TransportBar::mutedChanged, this, &PlayerView::mutedChanged);
    connect(bar_, &TransportBar::volumeChanged, this, &PlayerView::volumeChanged);
    connect(bar_, &TransportBar::fullScreenClicked, this, [this] { setFullScreen(!isFullScreen()); });

    // Over the picture, not inside it: the surface paints every pixel of
    // its own area.
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("pictureMessage"));
    message_->setAlignment(Qt::AlignCenter);
    QFont messageFont = message_->font();
    messageFont.setPointSizeF(messageFont.pointSizeF() * 1.3);
    messageFont.setBold(true);
    message_->setFont(messageFont);
    message_->setWordWrap(true);
    message_->setAttribute(Qt::WA_TransparentForMouseEvents);
    QPalette messagePal = message_->palette();
    messagePal.setColor(QPalette::WindowText, Qt::white);
    message_->setPalette(messagePal);
    message_->hide();
    // Where a channel has no address yet: the way to give it one.
    sources_ = new QPushButton(QStringLiteral("Mở Nguồn kênh…"), this);
    sources_->setObjectName(QStringLiteral("openSources"));
    sources_->hide();
    connect(sources_, &QPushButton::clicked, this, &PlayerView::sourcesRequested);
}

void PlayerView::setActivity(Activity activity, int percent)
{
    QString text;
    switch (activity) {
    case Activity::Idle:
        break;
    case Activity::Connecting:
        text = QStringLiteral("Đang kết nối…");
        break;
    case Activity::Buffering:
        text = percent >= 0 ? QStringLiteral("Đang đệm… %1%").arg(percent) : QStringLiteral("Đang đệm…");
        break;
    case Activity::Playing:
        text = QStringLiteral("Đang phát");
        break;
    case Activity::Paused:
        text = QStringLiteral("Tạm dừng");
        break;
    case Activity::Reconnecting:
        text = QStringLiteral("Mất tín hiệu, đang kết nối lại…");
        break;
    case Activity::Finished:
        text = QStringLiteral("Đã phát xong");
        break;
    case Activity::Stopped:
        text = QStringLiteral("Đã dừng");
        break;
    case Activity::Failed:
        return;  // setFailure() says why
    }
    bar_->setStatusText(text);
}

void PlayerView::setFailure(PlayFailure reason)
{
    bar_->setStatusText(failureText(reason));
    blankPicture();
    setPictureMessage(reason == PlayFailure::None ? QString() : failureText(reason) + QLatin1Char('\n') + failureAdvice(reason));
    sources_->setVisible(reason == PlayFailure::NoAddressYet);
    if (sources_->isVisible()) {
        placeMessage();
        sources_->raise();
    }
}

QString PlayerView::statusText() const { return bar_->statusText(); }

QString PlayerView::noSoundText() { return QStringLiteral("Không có âm thanh: máy không phát được tiếng"); }

void PlayerView::setNotice(const QString& text)
{
    bar_->setStatusText(text);
    bar_->setToolTip(text);
}

void PlayerView::setPictureMessage(const QString& text)
{
    message_->setText(text);
    message_->setVisible(!text.isEmpty());
    if (!text.isEmpty()) {
        placeMessage();
        message_->raise();
    }
}

QString PlayerView::pictureMessage() const { return message_->isHidden() ? QString() : message_->text(); }

void PlayerView::placeMessage()
{
    const QRect area = picture_->geometry().adjusted(8, 8, -8, -8);
    if (!sources_ || sources_->isHidden()) {
        message_->setGeometry(area);
        return;
    }
    // The button under the message, both in the picture, the button whole
    // however small the picture: its shorter caption where the longer one
    // would be cut, never wider or lower than the picture.
    sources_->setText(QStringLiteral("Mở Nguồn kênh…"));
    if (sources_->sizeHint().width() > area.width())
        sources_->setText(QStringLiteral("Nguồn kênh…"));
    QSize button = sources_->sizeHint();
    button.setWidth(std::min(button.width(), area.width()));
    button.setHeight(std::min(button.height(), area.height()));
    message_->setGeometry(area.adjusted(0, 0, 0, -button.height() - 8));
    sources_->setGeometry(
        QRect(QPoint(area.center().x() - button.width() / 2, area.bottom() + 1 - button.height()), button));
}

void PlayerView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeMessage();
}

void PlayerView::setTransport(bool loaded, bool paused, bool active)
{
    loaded_ = loaded;
    paused_ = paused;
    active_ = active;
    bar_->setPlaying(loaded && !paused);
    bar_->setStopEnabled(active);
}

void PlayerView::setTimes(double position, double duration, bool seekable)
{
    position_ = position;
    duration_ = duration;
    seekable_ = seekable;
    bar_->setTimes(position, duration, seekable, loaded_);
}

void PlayerView::setMuted(bool muted)
{
    muted_ = muted;
    bar_->setMuted(muted);
}

void PlayerView::setVolume(int volume)
{
    volume_ = volume;
    bar_->setVolume(volume);
}

void PlayerView::blankPicture()
{
    if (surface_)
        surface_->setBlank(true);
}

void PlayerView::clearBlank()
{
    if (surface_)
        surface_->setBlank(false);
}

bool PlayerView::isFullScreen() const { return isWindow() && QWidget::isFullScreen(); }

void PlayerView::setFullScreen(bool on)
{
    if (on == isFullScreen())
        return;
    if (on) {
        homeParent_ = parentWidget();
        homeGeometry_ = geometry();
        homeFocus_ = QApplication::focusWidget();
        setParent(nullptr, Qt::Window);
        showFullScreen();
        activateWindow();
        setFocus();
    } else {
        showNormal();
        setParent(homeParent_, Qt::Widget);
        setGeometry(homeGeometry_);
        show();
        // The window it came back to takes the keyboard again, and in it
        // the control that had the focus (the player itself when the key
        // that went full screen was the player's).
        QWidget* focus = homeFocus_ && homeFocus_->isVisible() ? homeFocus_.data() : this;
        focus->window()->activateWindow();
        focus->setFocus(Qt::OtherFocusReason);
    }
    emit fullScreenChanged(on);
}

void PlayerView::showContextMenu(const QPoint& globalPos)
{
    QMenu menu(this);
    QAction* play = menu.addAction(paused_ || !loaded_ ? QStringLiteral("Phát") : QStringLiteral("Tạm dừng"));
    connect(play, &QAction::triggered, this, &PlayerView::togglePauseRequested);
    QAction* stopAction = menu.addAction(QStringLiteral("Dừng"));
    stopAction->setEnabled(active_);
    connect(stopAction, &QAction::triggered, this, &PlayerView::stopRequested);
    menu.addSeparator();
    QAction* mute = menu.addAction(QStringLiteral("Tắt tiếng"));
    mute->setCheckable(true);
    mute->setChecked(muted_);
    connect(mute, &QAction::toggled, this, [this](bool on) {
        setMuted(on);
        emit mutedChanged(on);
    });
    QAction* full = menu.addAction(QStringLiteral("Toàn màn hình"));
    full->setCheckable(true);
    full->setChecked(isFullScreen());
    connect(full, &QAction::toggled, this, &PlayerView::setFullScreen);
    menu.exec(globalPos);
}

bool PlayerView::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & ~Qt::KeypadModifier)
        return false;
    switch (key) {
    case Qt::Key_Space:
        emit togglePauseRequested();
        return true;
    case Qt::Key_M:
        emit mutedChanged(!muted_);
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
    case Qt::Key_Down:
        emit volumeChanged(std::clamp(volume_ + (key == Qt::Key_Up ? volumeStep : -volumeStep), 0, 100));
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        // Only a loaded stream that can seek; the key is used either way.
        if (loaded_ && seekable_) {
            const double to = position_ + (key == Qt::Key_Right ? seekStepSeconds : -seekStepSeconds);
            emit seekRequested(std::clamp(to, 0.0, duration_ > 0 ? duration_ : to));
        }
        return true;
    default:
        return false;
    }
}

bool PlayerView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this || watched == picture_) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (handleKey(key->key(), key->modifiers()))
                return true;
            break;
        }
        case QEvent::Resize:
            // The message and the button follow the picture, which the
            // layout sizes after the view's own resize.
            if (watched == picture_)
                placeMessage();
            break;
        case QEvent::MouseButtonDblClick:
            if (watched == picture_) {
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
    return QWidget::eventFilter(watched, event);
}

} // namespace miravon
