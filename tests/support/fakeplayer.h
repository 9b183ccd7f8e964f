#pragma once

// The one test double of the player for window, navigation and activation
// tests: it plays nothing, records every put and call, and raises the two
// state events on demand.

#include "player.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class FakePlayer : public miravon::Player {
public:
    explicit FakePlayer(QWidget* parent)
        : view_(new QWidget(parent))
        , window_(parent ? parent->window()->objectName() : QString())
    {
        // Reached by Tab, as the real player's face is.
        view_->setFocusPolicy(Qt::StrongFocus);
    }
    QWidget* widget() override { return view_; }
    void play(const QList<miravon::StreamAddress>& given) override
    {
        if (given.isEmpty())
            return;
        setUrl(given.first().url, given.first().options);
        streams = given;
    }
    void setUrl(const QString& address, const miravon::StreamOptions& with) override
    {
        setUrl(address);
        options = with;
    }
    void setUrl(const QString& address) override
    {
        options = {};
        streams = {{address, {}}};
        url = address;
        urls.append(address);
        calls.append(QStringLiteral("url ") + address);
        if (observer())
            observer()(QStringLiteral("url"), *this);
    }
    void close() override
    {
        url.clear();
        ++closes;
        calls.append(QStringLiteral("close"));
        if (observer())
            observer()(QStringLiteral("close"), *this);
    }

    void raiseOpenState(int state) { emit openStateChange(state); }
    void raiseStreamPlaying(int index) { emit streamPlaying(index); }
    void raisePlayState(int state) { emit playStateChange(state); }

    // What is playing: the last address put, until a close.
    bool playing() const { return !url.isEmpty(); }
    // The name of the window that made this player.
    QString windowName() const { return window_; }

    QString url;
    miravon::StreamOptions options; // what came with the last address
    QList<miravon::StreamAddress> streams; // the streams given last, in order
    QStringList urls;   // every address put, in order
    int closes = 0;
    QStringList calls;  // "url <address>" and "close", in order

    // Told of every put ("url") and call ("close") of every fake player:
    // harnesses keep one trace over all windows with it.
    static std::function<void(const QString& call, const FakePlayer& player)>& observer()
    {
        static std::function<void(const QString&, const FakePlayer&)> f;
        return f;
    }

private:
    QWidget* view_;
    QString window_;
};

inline void useFakePlayers()
{
    miravon::playerFactory() = [](QWidget* parent) -> std::unique_ptr<miravon::Player> {
        return std::make_unique<FakePlayer>(parent);
    };
}
