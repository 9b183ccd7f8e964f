#pragma once

#include "player.h"

#include <QStringList>
#include <QWidget>

// A player that plays nothing and records what it is asked to do.
class FakePlayer : public miravon::Player {
public:
    explicit FakePlayer(QWidget* parent)
        : view_(new QWidget(parent))
    {
        // Reached by Tab, as the real player's face is.
        view_->setFocusPolicy(Qt::StrongFocus);
    }
    QWidget* widget() override { return view_; }
    void setUrl(const QString& address) override { calls.append(QStringLiteral("url ") + address); }
    void close() override { calls.append(QStringLiteral("close")); }

    QStringList calls;

private:
    QWidget* view_;
};

inline void useFakePlayers()
{
    miravon::playerFactory() = [](QWidget* parent) -> std::unique_ptr<miravon::Player> {
        return std::make_unique<FakePlayer>(parent);
    };
}
