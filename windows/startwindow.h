#pragma once

#include "programwindow.h"

#include <QTimer>
#include <functional>

namespace miravon {

class LabelUni;

// The start window `Form1`: fades in, grows its progress bar and, on the
// third tick of its 2-second timer, unloads itself and shows `frmmain`. A
// close request from outside makes it fade out instead; a fade-out that ends
// before the hand-over ends the program.
//
// The four tick handlers are public so that a test can drive the window
// deterministically without running the event loop.
// Whether the platform can set a window's opacity (Wayland cannot). Asked
// once per start window, at its creation; tests replace it.
using OpacityCapability = std::function<bool()>;
OpacityCapability& windowOpacitySupported();

class StartWindow : public ProgramWindow {
    Q_OBJECT
public:
    explicit StartWindow(Program& program);

    void load() override;

    void tickFadeIn();   // Timer1
    void tickFadeOut();  // Timer2
    void tickHandOver(); // Timer3
    void tickProgress(); // Timer4

    QTimer& timer1() { return timer1_; }
    QTimer& timer2() { return timer2_; }
    QTimer& timer3() { return timer3_; }
    QTimer& timer4() { return timer4_; }

    int opacityValue() const { return opacity_; }
    // The alpha last applied to the window (0 transparent, 255 opaque).
    // Where the platform cannot set opacity the window stays opaque and the
    // fade only runs its course: every step and timing is kept.
    int appliedAlpha() const { return appliedAlpha_; }
    bool fades() const { return fades_; }
    qint16 tickCounter() const { return counter_; }
    int progressWidth() const { return progressWidth_; } // twips

protected:
    bool queryUnload() override;
    void unloaded() override;

private:
    void applyAlpha(int alpha);

    QTimer timer1_;
    QTimer timer2_;
    QTimer timer3_;
    QTimer timer4_;
    QWidget* congluc_ = nullptr;
    int opacity_ = 0;
    int appliedAlpha_ = 255;
    qint16 counter_ = 0;
    int progressWidth_ = 15;
    bool handingOver_ = false;
    bool fades_ = true;
};

} // namespace miravon
