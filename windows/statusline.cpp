#include "statusline.h"

#include "player.h"
#include "playerstates.h"
#include "labeluni.h"

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

} // namespace miravon
