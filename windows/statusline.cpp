#include "statusline.h"

#include "announcer.h"
#include "labeluni.h"
#include "player.h"
#include "playerstates.h"
#include "playerview.h"

#include <QWidget>

namespace miravon {

void bindStatusLine(Player& player, LabelUni& status)
{
    const QString atStart = status.caption();
    QObject::connect(&player, &Player::openStateChange, &status,
                     [&status](int) { status.setCaption(QString::fromLatin1(connectingMessage)); });
    QObject::connect(&player, &Player::playStateChange, &status, [&status, atStart](int state) {
        status.setCaption(state == PlayState::Ready ? atStart : QString::fromLatin1(loadingMessage));
    });
}

PlayerOutcomes::PlayerOutcomes(Player& player, QWidget& window)
    : QObject(&player)
    , window_(&window)
{
    connect(&player, &Player::streamPlaying, this, [this](int index) {
        playing_ = true;
        paused_ = false;
        say(playingText(caption_, index, streams_));
    });
    connect(&player, &Player::playFailed, this, [this](PlayFailure reason) {
        playing_ = false;
        paused_ = false;
        say(reason == PlayFailure::NoAddressYet ? noAddressText(caption_, film_)
                                                : failedText(caption_, film_, reason));
    });
    connect(&player, &Player::playStateChange, this, &PlayerOutcomes::onPlayState);
    connect(&player, &Player::mutedChanged, this,
            [this](bool muted) { say(muted ? QStringLiteral("Đã tắt tiếng") : QStringLiteral("Đã bật tiếng")); });
    connect(&player, &Player::volumeChanged, this,
            [this](int volume) { say(QStringLiteral("Âm lượng %1%").arg(volume)); });
    connect(&player, &Player::fullScreenChanged, this, [this](bool on) {
        say(on ? QStringLiteral("Toàn màn hình; phím F hoặc Esc để thoát") : QStringLiteral("Đã thoát toàn màn hình"));
    });
}

void PlayerOutcomes::opening(const QString& caption, bool film, int playable)
{
    caption_ = caption;
    film_ = film;
    streams_ = playable;
    playing_ = false;
    paused_ = false;
    // Without an address the player fails at once and says why
    // (playFailed): no "opening" before it.
    if (playable > 0)
        say(openingText(caption));
}

void PlayerOutcomes::onPlayState(int state)
{
    // What the user does to a stream that plays; the opening, the playing
    // and the failure have their own signals.
    if (!playing_)
        return;
    switch (state) {
    case PlayState::Paused:
        paused_ = true;
        say(QStringLiteral("Tạm dừng"));
        break;
    case PlayState::Playing:
        if (paused_)
            say(QStringLiteral("Phát tiếp"));
        paused_ = false;
        break;
    case PlayState::Stopped:
        playing_ = false;
        say(QStringLiteral("Đã dừng"));
        break;
    case PlayState::MediaEnded:
        playing_ = false;
        say(QStringLiteral("Đã phát xong"));
        break;
    default:
        break;
    }
}

void PlayerOutcomes::say(const QString& text)
{
    // A hidden window's player is closed by the commands that leave it:
    // nothing the user needs to hear.
    if (window_ && window_->isVisible())
        announce(window_, text);
}

QString PlayerOutcomes::openingText(const QString& caption) { return QStringLiteral("Đang mở %1…").arg(caption); }

QString PlayerOutcomes::playingText(const QString& caption, int stream, int streams)
{
    if (caption.isEmpty())
        return QStringLiteral("Đang phát");
    return streams > 1 && stream > 0 ? QStringLiteral("Đang phát %1 (nguồn %2 trên %3)").arg(caption).arg(stream + 1).arg(streams)
                                     : QStringLiteral("Đang phát %1").arg(caption);
}

QString PlayerOutcomes::failedText(const QString& caption, bool film, PlayFailure reason)
{
    const QString what = caption.isEmpty() ? (film ? QStringLiteral("phim này") : QStringLiteral("kênh này")) : caption;
    return QStringLiteral("Không phát được %1: %2").arg(what, failureText(reason).toLower());
}

QString PlayerOutcomes::noAddressText(const QString& caption, bool film)
{
    if (film)
        return QStringLiteral("Phim %1 chưa có địa chỉ xem được. Để xem, đặt địa chỉ cho phim: "
                              "phím menu trên tên phim, rồi “Đặt địa chỉ…”.")
            .arg(caption);
    return QStringLiteral("Kênh %1 chưa có địa chỉ xem được. Để có địa chỉ: Thực đơn, Nguồn kênh; "
                          "hoặc phím menu trên kênh, rồi “Đặt địa chỉ…”.")
        .arg(caption);
}

} // namespace miravon
