#include "startwindow.h"

#include "logging.h"
#include "program.h"

#include "artwork.h"
#include "labeluni.h"
#include "look.h"
#include "units.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace miravon {
namespace {

constexpr char authorEmail[] = "kestrin@example.org";

struct Picture {
    const char* name;
    const char* file;
    int left, top, width, height;
};

// Bottom to top: the background, the title frame over it, then the rest.
constexpr Picture pictures[] = {
    {"Image2", "background.svg", 0, 0, 8175, 7215},
    {"Image1", "title.svg", 0, 0, 8175, 7110},
    {"Image3", "banner.svg", 1320, 1680, 5520, 765},
    {"Image8", "tv.svg", 2280, 2520, 585, 915},
    {"Image9", "tv.svg", 5640, 2520, 585, 915},
    {"Image4", "knob.svg", 2070, 4440, 720, 720},
    {"Image5", "knob.svg", 5670, 4440, 720, 720},
    {"Image6", "hbar.svg", 2340, 4635, 3690, 240},
    {"Image7", "hbar.svg", 2400, 4890, 3690, 240},
};

struct Text {
    const char* name;
    int left, top, width, height;
    bool bold;
    const char* caption;
};

constexpr Text texts[] = {
    {"LabelUni4", 3000, 2760, 2655, 375, true, "Phie6n ba3n thu73 nghie65m 1.0"},
    {"LabelUni1", 720, 3480, 6735, 495, false,
     "D9a6y la2 mo65t tie65n i1ch tie61ng Vie65t giu1p ba5n co1 the63 xem d9u7o75c ca1c ke6nh truye62n hi2nh"},
    {"LabelUni2", 840, 3840, 6615, 495, false,
     "trong nu7o71c va2 quo61c te61 vo71i d9u7o72ng truye62n INTERNET TO61C D9O65 CAO ( ADSL ,..)"},
    {"LabelUni5", 3000, 5520, 2055, 375, false, "Ta1c gia3: Kestrin"},
    {"LabelUni6", 2520, 5880, 3015, 375, false, nullptr}, // the contact line
};

constexpr int progressLeft = 2670;
constexpr int progressTop = 4680;
constexpr int progressHeight = 255;
constexpr int progressStep = 17;
constexpr int progressFull = 6700;

} // namespace

OpacityCapability& windowOpacitySupported()
{
    static OpacityCapability supported = [] {
        return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    };
    return supported;
}

StartWindow::StartWindow(Program& program)
    : ProgramWindow(program, WindowId::Form1)
    , fades_(windowOpacitySupported()())
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("Miravon"));
    setWindowIcon(programIcon());
    setFixedSize(twSize(8205, 7215));
    setFont(designFont(QStringLiteral("Tahoma"), 9.75));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, oleColor(sysMenuText));
    pal.setColor(QPalette::WindowText, oleColor(sysHighlightText));
    setPalette(pal);

    for (const Picture& p : pictures) {
        auto* pic = new QLabel(this);
        pic->setObjectName(QLatin1String(p.name));
        const QRect at = twRect(p.left, p.top, p.width, p.height);
        pic->setPixmap(artwork(QLatin1String(p.file), at.size(), pic->devicePixelRatioF()));
        pic->setGeometry(at);
    }
    for (const Text& t : texts) {
        auto* label = new LabelUni(this);
        label->setObjectName(QLatin1String(t.name));
        label->setSetkieugotv(true);
        label->setFont(designFont(QStringLiteral("Tahoma"), 9.75, t.bold));
        label->setForecolor(sysHighlightText);
        label->setCaption(t.caption ? QString::fromLatin1(t.caption)
                                    : QStringLiteral("Email: ") + QLatin1String(authorEmail));
        label->setGeometry(twRect(t.left, t.top, t.width, t.height));
    }

    congluc_ = new QWidget(this);
    congluc_->setObjectName(QStringLiteral("congluc"));
    congluc_->setAutoFillBackground(true);
    QPalette bar = congluc_->palette();
    bar.setColor(QPalette::Window, Qt::white);
    congluc_->setPalette(bar);
    congluc_->setGeometry(twRect(progressLeft, progressTop, progressWidth_, progressHeight));

    // Stored timer settings; load() finishes the fade timers.
    timer1_.setInterval(0);
    timer2_.setInterval(0);
    timer3_.setInterval(2000);
    timer4_.setInterval(1);
    // Precise: a coarse timer may tick up to 5 % early, and the hand-over
    // must not come before its 6 seconds.
    for (QTimer* t : {&timer1_, &timer2_, &timer3_, &timer4_})
        t->setTimerType(Qt::PreciseTimer);
    connect(&timer1_, &QTimer::timeout, this, &StartWindow::tickFadeIn);
    connect(&timer2_, &QTimer::timeout, this, &StartWindow::tickFadeOut);
    connect(&timer3_, &QTimer::timeout, this, &StartWindow::tickHandOver);
    connect(&timer4_, &QTimer::timeout, this, &StartWindow::tickProgress);
}

void StartWindow::load()
{
    applyAlpha(0);
    timer1_.setInterval(100);
    timer2_.setInterval(100);
    timer2_.stop();
    timer1_.start();

    // A quarter of the way into the screen in each direction, not centred.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect s = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const int topTwips = twips(s.height()) / 4;
    const int leftTwips = twips(s.width()) / 4;
    move(s.left() + px(leftTwips), s.top() + px(topTwips));

    timer3_.start();
    timer4_.start();
}

void StartWindow::applyAlpha(int alpha)
{
    appliedAlpha_ = alpha;
    // A platform without window opacity warns on every call: the window then
    // simply stays opaque.
    if (fades_)
        setWindowOpacity(alpha / 255.0);
    qCDebug(lcStart) << "opacity" << alpha;
}

void StartWindow::tickFadeIn()
{
    opacity_ += 15;
    if (opacity_ > 255) {
        opacity_ = 255;
        timer1_.stop();
        return;
    }
    applyAlpha(opacity_);
}

void StartWindow::tickFadeOut()
{
    opacity_ -= 15;
    if (opacity_ < 0) {
        opacity_ = 0;
        qCDebug(lcStart) << "faded out";
        unloadByProgram();
        return;
    }
    applyAlpha(opacity_);
}

void StartWindow::tickHandOver()
{
    counter_ = qint16(counter_ + 1);
    qCDebug(lcStart) << "hand-over tick" << counter_;
    if (counter_ == 5) {
        handingOver_ = true;
        Program& p = program();
        unloadByProgram();
        p.show(WindowId::frmmain);
        return;
    }
    counter_ = qint16(counter_ + 1);
}

void StartWindow::tickProgress()
{
    progressWidth_ += progressStep;
    congluc_->setGeometry(twRect(progressLeft, progressTop, progressWidth_, progressHeight));
    if (progressWidth_ >= progressFull)
        timer4_.stop();
}

bool StartWindow::queryUnload()
{
    // Any close but the program's own starts the fade-out; the fade-in goes on.
    qCDebug(lcStart) << "close request: fading out";
    if (!timer2_.isActive())
        timer2_.start();
    return false;
}

void StartWindow::unloaded()
{
    timer1_.stop();
    timer2_.stop();
    timer3_.stop();
    timer4_.stop();
    hide();
    // Gone without a hand-over: no window is left, so the program ends.
    if (!handingOver_)
        program().endProgram();
}

} // namespace miravon
