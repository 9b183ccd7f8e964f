#pragma once

#include <QBasicTimer>
#include <QLabel>

namespace miravon {

// A short text that tells how something goes (the player's status, the
// number of results found, an address's check): screen readers see it as a
// status bar named by what it says now. An announced one also tells them
// each change unasked (announcer.h), once the text has stayed the same for
// a moment, so that a count that changes as the user types is heard where
// it settles.
class StatusText : public QLabel {
    Q_OBJECT
public:
    explicit StatusText(QWidget* parent = nullptr);
    // Sets the text and tells screen readers when it changed.
    void say(const QString& text);

    // Whether say() announces, and how long a text must stay before it
    // is (0: at once).
    void setAnnounced(bool on, int settleMs = 0);
    bool announced() const { return announced_; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    bool announced_ = false;
    int settleMs_ = 0;
    QBasicTimer settle_;
};

} // namespace miravon
