#include "statusline.h"

#include "player.h"
#include "labeluni.h"

namespace miravon {

void bindStatusLine(Player& player, LabelUni& status)
{
    QObject::connect(&player, &Player::openStateChange, &status,
                     [&status](int) { status.setCaption(QString::fromLatin1(connectingMessage)); });
    QObject::connect(&player, &Player::playStateChange, &status,
                     [&status](int) { status.setCaption(QString::fromLatin1(loadingMessage)); });
}

} // namespace miravon
