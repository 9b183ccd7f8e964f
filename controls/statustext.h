#pragma once

#include <QLabel>

namespace miravon {

// A short text that tells how something goes (the player's status, the
// number of results found): screen readers see it as a status bar named by
// what it says now, and hear each change of it.
class StatusText : public QLabel {
    Q_OBJECT
public:
    explicit StatusText(QWidget* parent = nullptr);
    // Sets the text and tells screen readers when it changed.
    void say(const QString& text);
};

} // namespace miravon
