#include "mpvplayer.h"
#include "player.h"

namespace miravon {

PlayerFactory& playerFactory()
{
    static PlayerFactory factory = [](QWidget* parent) -> std::unique_ptr<Player> {
        return std::make_unique<MpvPlayer>(parent);
    };
    return factory;
}

} // namespace miravon
