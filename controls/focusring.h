#pragma once

#include <QPointer>
#include <QWidget>

namespace miravon {

// The keyboard focus indicator of every window: a gold ring with a dark
// edge drawn just outside the widget that has the focus, clearly visible on
// the dark backgrounds, the white page buttons and the player alike. One
// ring follows the focus through the whole application; the controls
// themselves paint nothing for it.
class FocusRing : public QWidget {
    Q_OBJECT
public:
    // Starts following the application's focus. Idempotent.
    static void install();
    // The widget the ring stands around now, or nullptr.
    static QWidget* target();
    static FocusRing* instance();
    ~FocusRing() override;

    static constexpr int width = 3; // pixels outside the widget's edge

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FocusRing();
    void follow(QWidget* now);
    void place();

    QPointer<QWidget> target_;
};

} // namespace miravon
