#include "mpvplayer.h"
#include "player.h"

namespace miravon {

PlayerFactory& playerFactory()
{
    static PlayerFactory factory = [](QWidget* parent) -> std::unique_ptr<Player> {
        auto player = std::make_unique<MpvPlayer>(parent);
        MpvPlayer* p = player.get();
        // The contract's signals, from the player's own: the view's changes
        // reach the window after the player has applied them.
        QObject::connect(p, &MpvPlayer::failed, p, &Player::playFailed);
        QObject::connect(p->view(), &PlayerView::mutedChanged, p, &Player::mutedChanged);
        QObject::connect(p->view(), &PlayerView::volumeChanged, p, &Player::volumeChanged);
        QObject::connect(p->view(), &PlayerView::fullScreenChanged, p, &Player::fullScreenChanged);
        return player;
    };
    return factory;
}

} // namespace miravon
