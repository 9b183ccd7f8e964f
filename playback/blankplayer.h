#pragma once

#include "player.h"

#include <QPointer>
#include <QWidget>

namespace miravon {

// A player that shows a black area and plays nothing. It raises no events:
// it stands in where no engine is wanted.
class BlankPlayer : public Player {
    Q_OBJECT
public:
    explicit BlankPlayer(QWidget* parent);
    ~BlankPlayer() override;
    QWidget* widget() override;
    void setUrl(const QString& address) override;
    void close() override;

private:
    QPointer<QWidget> view_;
};

} // namespace miravon
