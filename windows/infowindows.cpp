#include "infowindows.h"

#include "navigation.h"
#include "program.h"
#include "steps.h"

#include "artwork.h"
#include "labeluni.h"
#include "look.h"
#include "units.h"

#include <QLabel>
#include <QShortcut>
#include <vector>

namespace miravon {
namespace {

constexpr qint64 white = 16777215;

struct Text {
    const char* name;
    int left, top, width, height;
    bool bold;
    bool underline;
    qint64 fore;
    const char* text;    // stored, VNI notation
    const char* value;   // appended to the text, or nullptr
};

struct Layout {
    WindowId id;
    const char* title;   // as stored, without tones
    const char* spoken;  // the same with its tones, for screen readers
    int clientWidth, clientHeight;
    qint64 back;
    QRect background; // Image1, twips
    QRect banner;     // Image16, twips
    std::vector<Text> texts;
};

const std::vector<Layout>& layouts()
{
    static const std::vector<Layout> table = {
        {WindowId::frmsoft, "Chuong Trinh", "Chương trình", 6870, 3810, sysButtonText, {0, 0, 6900, 3780}, {240, 240, 5520, 765},
         {
             {"LabelUni8", 3840, 960, 2655, 375, true, false, sysHighlightText, "Phie6n ba3n thu73 nghie65m 1.0", nullptr},
             {"LabelUni2", 240, 1320, 6375, 375, false, false, white,
              "D9a6y la2 mo65t tie65n i1ch tie61ng Vie65t, giu1p ba5n xem d9u7o75c nhie62u ke6nh truye62n hi2nh", nullptr},
             {"LabelUni3", 240, 1680, 6375, 375, false, false, white, "cu3a nhie62u quo61c gia tre6n the61 gio71i.", nullptr},
             {"LabelUni5", 240, 2040, 6375, 375, false, false, white,
              "Ngoa2i ra, ba5n co2n co1 the63 xem d9u7o75c nhie62u bo65 phim le4 d9u7o75c su7u ta62m va2 ti1ch", nullptr},
             {"LabelUni6", 240, 2400, 6375, 375, false, false, white, "ho71p sa84n trong chu7o7ng tri2nh na2y", nullptr},
             {"LabelUni4", 240, 2760, 6375, 375, false, false, white,
              "Chu7o7ng  tri2nh d9u7o75c  chia  se4  mie64n phi1 cu2ng  ta61t ca3 ca1c ba5n  co1  nhu  ca62u", nullptr},
             {"LabelUni7", 240, 3120, 6255, 375, true, true, white, "Download mie64n phi1 ta5i ", contact::download},
         }},
        {WindowId::frmtacgia, "Tac Gia", "Tác giả", 6255, 3465, sysButtonText, {0, 0, 6225, 3465}, {240, 360, 5520, 765},
         {
             {"LabelUni6", 3120, 1080, 2655, 375, true, false, sysHighlightText, "Phie6n ba3n thu73 nghie65m 1.0", nullptr},
             {"LabelUni1", 360, 1440, 2175, 375, true, false, sysHighlightText, "Ta1c gia3 : Kestrin", nullptr},
             {"LabelUni2", 360, 1800, 3255, 375, true, false, sysHighlightText, "Email: ", contact::email},
             {"LabelUni3", 360, 2160, 3255, 375, true, false, sysHighlightText, "Y!M  : ", contact::messenger},
             {"LabelUni5", 360, 2520, 3735, 375, true, false, sysHighlightText, "Website: ", contact::website},
             {"LabelUni4", 360, 2880, 3255, 375, true, false, sysHighlightText, "D9ie65n thoa5i : ", contact::telephone},
         }},
        {WindowId::cauhinh, "Cau Hinh Yeu Cau", "Cấu hình yêu cầu", 6225, 3510, sysMenuText, {0, 0, 6225, 3465}, {360, 360, 5520, 765},
         {
             {"LabelUni1", 480, 1080, 2655, 375, true, false, sysHighlightText, "Phie6n ba3n thu73 nghie65m 1.0", nullptr},
             {"LabelUni2", 480, 1440, 4815, 375, false, false, sysHighlightText,
              "* Chu7o7ng tri2nh tu7o7ng thi1ch vo71i mo5i phie6n ba3n Windows", nullptr},
             {"LabelUni3", 480, 1920, 4695, 375, false, false, sysHighlightText,
              "* Co1 d9u7o72ng truye62n Internet to61c d9o65 cao ( ADSL,..)", nullptr},
             {"LabelUni4", 480, 2400, 4575, 375, false, false, sysHighlightText,
              "* Ma1y ti1nh d9ang su73 du5ng pha3i co1 ca2i Windows Media", nullptr},
             {"LabelUni5", 480, 2880, 3735, 375, false, false, sysHighlightText,
              "* Ca1c Plug-ins ho64 tro75 cho WMP ( Ne61u co1 )", nullptr},
         }},
    };
    return table;
}

const Layout& layoutFor(WindowId id)
{
    for (const Layout& l : layouts())
        if (l.id == id)
            return l;
    Q_UNREACHABLE();
}

QRect tw(const QRect& r) { return twRect(r.x(), r.y(), r.width(), r.height()); }

} // namespace

InfoWindow::InfoWindow(Program& program, WindowId id)
    : ProgramWindow(program, id)
{
    const Layout& l = layoutFor(id);
    setWindowTitle(QLatin1String(l.title));
    // The title shows as stored; a voice reads it with its tones.
    setAccessibleName(QString::fromUtf8(l.spoken));
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(twSize(l.clientWidth, l.clientHeight));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, oleColor(l.back));
    pal.setColor(QPalette::WindowText, oleColor(sysHighlightText));
    setPalette(pal);

    auto picture = [this](const char* name, const QString& file, const QRect& r) {
        auto* pic = new QLabel(this);
        pic->setObjectName(QLatin1String(name));
        const QRect at = tw(r);
        pic->setPixmap(artwork(file, at.size(), pic->devicePixelRatioF()));
        pic->setGeometry(at);
    };
    picture("Image1", QStringLiteral("background.svg"), l.background);
    picture("Image16", QStringLiteral("banner.svg"), l.banner);

    for (const Text& t : l.texts) {
        auto* label = new LabelUni(this);
        label->setObjectName(QLatin1String(t.name));
        label->setSetkieugotv(true);
        label->setWordWrap(false);
        label->setFont(designFont(QStringLiteral("Tahoma"), 9.75, t.bold, t.underline));
        label->setForecolor(t.fore);
        QString text = QLatin1String(t.text);
        if (t.value)
            text += QLatin1String(t.value);
        label->setCaption(text);
        label->setGeometry(twRect(t.left, t.top, t.width, t.height));
    }

    // Esc closes the window as its title bar's close button does.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void InfoWindow::load()
{
    runLoadSteps(program(), id());
}

void InfoWindow::unloaded()
{
    runCloseSteps(program(), id());
}

} // namespace miravon
