#pragma once

#include <QPointer>
#include <QWidget>

namespace miravon {

// The keyboard focus indicator of every window: a gold ring with a dark
// edge drawn just outside the widget that has the focus, clearly visible on
// the dark backgrounds, the white page buttons and the player alike. One
// ring follows the focus through the whole application; the controls
// themselves paint nothing for it.
//
// The ring shows for focus that came from the keyboard (Tab, arrow keys,
// shortcuts; a window shown or coming back while the keyboard is in use);
// focus taken by a mouse click, or given to a window before any key was
// pressed (the player at start), shows no ring until the next key press,
// so the look under the mouse is unchanged.
class FocusRing : public QWidget {
    Q_OBJECT
public:
    // Starts following the application's focus. Idempotent.
    static void install();
    // The widget that has the focus and a ring for it, shown or not.
    static QWidget* target();
    static FocusRing* instance();
    ~FocusRing() override;

    static constexpr int width = 3; // pixels outside the widget's edge

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class FocusWatcher;
    FocusRing();
    void follow(QWidget* now, bool shown);
    void place();

    QPointer<QWidget> target_;
    bool shown_ = false;
};

} // namespace miravon
