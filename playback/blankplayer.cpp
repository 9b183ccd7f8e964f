#include "blankplayer.h"

#include <QPalette>

namespace miravon {

BlankPlayer::BlankPlayer(QWidget* parent)
    : view_(new QWidget(parent))
{
    view_->setObjectName(QStringLiteral("manhinh"));
    view_->setAutoFillBackground(true);
    QPalette pal = view_->palette();
    pal.setColor(QPalette::Window, Qt::black);
    view_->setPalette(pal);
}

BlankPlayer::~BlankPlayer()
{
    delete view_.data();
}

QWidget* BlankPlayer::widget() { return view_; }
void BlankPlayer::setUrl(const QString&) {}
void BlankPlayer::close() {}

} // namespace miravon
