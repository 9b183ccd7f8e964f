#include "chooserwindow.h"

#include "program.h"
#include "navigation.h"
#include "steps.h"

#include "artwork.h"
#include "buttonuni.h"
#include "frameuni.h"
#include "labeluni.h"
#include "look.h"
#include "units.h"

#include <QLabel>
#include <QShortcut>

#include <iterator>

namespace miravon {
namespace {

enum class Kind {
    Country, // LabelUni in VNI notation: one country and its channel count
    Plain,   // plain label listing several countries, word-wrapped, shown as stored
    Count,   // LabelUni "( 25 Ke6nh )" under a multi-country caption
    PageButton,
};

struct Control {
    int page; // 1 to 3
    Kind kind;
    const char* name;
    const char* caption; // UTF-8, stored text
    int left, top, width, height; // twips, inside the page
};

// Top to bottom, page by page. A plain caption keeps its runs of blanks and
// the Puerto Rico line its trailing blank. The counts under the first Brunei
// line and the Puerto Rico line stand one pixel (15 twips) lower than
// designed, so that the two lines of their caption end above them.
constexpr Control controls[] = {
    {1, Kind::Country, "LabelUni1", "USA - My4 ( 143 Ke6nh )", 435, 360, 1935, 375},
    {1, Kind::Country, "LabelUni2", "Anh Quo61c ( 41 Ke6nh )", 435, 720, 1935, 375},
    {1, Kind::Plain, "Label1", "Brunei Daris    Burkina   Fasco    Bulgaria    Canada", 435, 1125, 2295, 750},
    {1, Kind::Count, "LabelUni3", "( 25 Ke6nh )", 1095, 1575, 1020, 330},
    {1, Kind::Plain, "Label5", "Armenia  Australia  Austria  Azerbajjan  Belarus  Belgium  Belize  Benin  Bolivia", 450, 1860, 2295, 750},
    {1, Kind::Count, "LabelUni4", "( 22 Ke6nh )", 420, 2565, 1020, 330},
    {1, Kind::Country, "LabelUni5", "Brazil ( 35 K\xc3\xaanh)", 480, 2895, 1935, 375},
    {1, Kind::Plain, "Label8", "Brunei Daris    Burkina   Fasco    Bulgaria    Canada", 480, 3240, 2295, 750},
    {1, Kind::Count, "LabelUni6", "( 21 Ke6nh )", 1155, 3720, 1020, 330},
    {1, Kind::Country, "LabelUni7", "Chile  Trung Quo61c(36 K\xc3\xaanh)", 510, 3990, 2415, 375},
    {1, Kind::Plain, "Label11", "Colombia   CostaRica  CoteD'ivoire  Croatia  Cuba  CzechRep  Cyprus  Denmark", 495, 4335, 2295, 750},
    {1, Kind::Count, "LabelUni8", "( 20 Ke6nh )", 435, 5040, 1020, 330},
    {1, Kind::Plain, "Label25", "DOM.REP  Ecuador  Egypt  Estonia  ELSalvador  Finland", 510, 5400, 2295, 750},
    {1, Kind::Count, "LabelUni11", "( 19 ke6nh )", 1230, 5865, 1020, 330},
    {1, Kind::PageButton, "cont", "Xem tie61p", 1800, 6360, 1455, 255},

    {2, Kind::Country, "LabelUni12", "Pha1p ( 20 Ke6nh )", 480, 240, 2220, 330},
    {2, Kind::Country, "LabelUni13", "Georgia  Greece  Honduras", 480, 495, 2415, 375},
    {2, Kind::Count, "LabelUni9", "( 14 ke6nh )", 480, 780, 1020, 330},
    {2, Kind::Country, "LabelUni10", "Germany ( D9u71c ) ( 66 Ke6nh )", 465, 1005, 2460, 330},
    {2, Kind::Country, "LabelUni17", "Hungary ( 22 Ke6nh )", 480, 1260, 2460, 330},
    {2, Kind::Plain, "Label20", "IceLand  India  Indonesia  Iran", 480, 1560, 2295, 495},
    {2, Kind::Count, "LabelUni14", "( 35 Ke6nh )", 870, 1785, 1020, 330},
    {2, Kind::Plain, "Label17", "IRAQ  Israel  Jamaica  Japan", 480, 2055, 2295, 495},
    {2, Kind::Count, "LabelUni18", "( 27 Ke6nh )", 960, 2280, 1020, 330},
    {2, Kind::Country, "LabelUni15", "Y1 - Italia (57 K\xc3\xaanh)", 480, 2535, 2415, 375},
    {2, Kind::Plain, "Label23", "Jordan  Kurdistan  Kuwait  Latvia  Lebanon  Libya  Luxemburg  Macedonia  Malaysia", 480, 2925, 2295, 750},
    {2, Kind::Count, "LabelUni16", "( 21 Ke6nh )", 435, 3660, 1020, 330},
    {2, Kind::Plain, "Label26", "Malta  Mauritius  Mexico  Mozambique  Net.Antilles", 480, 4020, 2295, 510},
    {2, Kind::Count, "LabelUni19", "( 29 Ke6nh )", 465, 4500, 1020, 330},
    {2, Kind::Country, "LabelUni20", "NetherLands (35 K\xc3\xaanh)", 480, 4800, 2415, 375},
    {2, Kind::Plain, "Label30", "NewZealand  Nigeria  Oman  Palestinia  Panama  Peru  Philippines  Poland  Portugal", 555, 5160, 2295, 975},
    {2, Kind::Count, "LabelUni21", "( 27 Ke6nh )", 1320, 5880, 1020, 330},
    {2, Kind::PageButton, "ButtonUni2", "Tie61p tu5c", 1800, 6360, 1455, 255},

    {3, Kind::Plain, "Label33", "PuertoRico  Oatar  Romania  RussianFed  SaudiArabia ", 435, 285, 2295, 750},
    {3, Kind::Count, "LabelUni24", "( 32 Ke6nh )", 1560, 735, 1020, 330},
    {3, Kind::Plain, "Label32", "Senegal  Serbia&Mont  Slovakia  Slovenia  SouthAfrica  SouthKorea", 420, 1110, 2295, 750},
    {3, Kind::Count, "LabelUni22", "( 34 Ke6nh )", 360, 1800, 1020, 330},
    {3, Kind::Country, "LabelUni23", "Spain ( 45 Ke6nh )", 360, 2040, 1740, 330},
    {3, Kind::Plain, "Label35", "Srilanka  Suriname  Sweden  Switzerland  Taiwan  Ukaraine", 420, 2310, 2295, 750},
    {3, Kind::Count, "LabelUni25", "( 32 Ke6nh )", 360, 3000, 1020, 330},
    {3, Kind::Plain, "Label39", "Thailand  Uruguay  Uzbekistan  VaticanCity  Zimbabwe", 420, 3270, 2295, 750},
    {3, Kind::Count, "LabelUni26", "( 25 Ke6nh )", 1320, 3720, 1020, 330},
    {3, Kind::Country, "LabelUni27", "Turkey ( 29 Ke6nh )", 360, 3960, 1740, 330},
    {3, Kind::Country, "LabelUni28", "Venezuela (11 ke6nh)", 360, 4260, 1860, 330},
    {3, Kind::PageButton, "ButtonUni3", "Tro73 la5i", 1800, 6360, 1455, 255},
};

// Bullet marks stand at the top of each country caption, at the page's left edge.
constexpr int bulletTops1[] = {375, 735, 1110, 1845, 2910, 3255, 4005, 4320, 5415};
constexpr int bulletTops2[] = {240, 510, 990, 1320, 1620, 2070, 2580, 2925, 4035, 4800, 5175};
constexpr int bulletTops3[] = {255, 1080, 2040, 2280, 3240, 3960, 4260};
constexpr int bulletLeft = 120;
// The bullet is the "[" of the Wingdings face, the yin-yang sign; drawn from
// a common font that has it.
constexpr char16_t bulletMark = u'\u262F';
constexpr int bulletPixels = 13;

struct Picture {
    const char* file;
    int left, top, width, height;
};
constexpr Picture pictures[] = {
    {"background.svg", 0, 0, 4035, 7305},
    {"vbar.svg", 120, 120, 240, 6780},
    {"vbar.svg", 3480, 120, 240, 6780},
    {"hbar.svg", 240, 120, 3690, 240},
    {"hbar.svg", 240, 6720, 3690, 240},
};

// The count label that follows a plain caption on its page and lies over the
// caption's rectangle, if any.
const Control* countUnder(const Control& caption)
{
    const Control* next = &caption + 1;
    if (next == std::end(controls) || next->page != caption.page || next->kind != Kind::Count)
        return nullptr;
    const QRect a = twRect(caption.left, caption.top, caption.width, caption.height);
    const QRect b = twRect(next->left, next->top, next->width, next->height);
    return a.intersects(b) ? next : nullptr;
}

constexpr int clientWidth = 4005;
constexpr int clientHeight = 7305;
const QRect pageRect = twRect(360, 120, 3255, 6615);

} // namespace

ChooserWindow::ChooserWindow(Program& program)
    : ProgramWindow(program, WindowId::chonkenh)
{
    setWindowTitle(QStringLiteral("Danh Sach Quoc Gia"));
    setAccessibleName(QStringLiteral("Danh sách quốc gia")); // read with its tones
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(twSize(clientWidth, clientHeight));
    setFont(designFont(QStringLiteral("Arial"), 8.25));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, oleColor(sysButtonText));
    pal.setColor(QPalette::WindowText, oleColor(sysHighlightText));
    setPalette(pal);

    int n = 0;
    for (const Picture& p : pictures) {
        auto* pic = new QLabel(this);
        pic->setObjectName(QStringLiteral("Image%1").arg(++n));
        pic->setAttribute(Qt::WA_TransparentForMouseEvents);
        const QRect at = twRect(p.left, p.top, p.width, p.height);
        pic->setPixmap(artwork(QString::fromLatin1(p.file), at.size(), pic->devicePixelRatioF()));
        pic->setGeometry(at);
    }

    for (int i = 1; i <= 3; ++i) {
        auto* page = new FrameUni(this);
        const QString name = QStringLiteral("qg%1").arg(i);
        page->setObjectName(name);
        page->setSetkieugotv(true);
        page->setCaption(QStringLiteral("Danh sa1ch ca1c Quo61c Gia"));
        page->setFont(designFont(QStringLiteral("Tahoma"), 9.75, true, true));
        page->setForecolor(16777215);
        page->setGeometry(pageRect);
        page->hide();
        pages_.insert(name, page);
    }

    auto addBullets = [this](const QString& page, const auto& tops) {
        for (int top : tops) {
            auto* mark = new QLabel(QString(QChar(bulletMark)), pages_.value(page));
            mark->setObjectName(QStringLiteral("bullet"));
            // Plain, whatever the page title's style, and small enough that
            // the whole sign stands in its square.
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPixelSize(bulletPixels);
            f.setBold(false);
            f.setUnderline(false);
            mark->setFont(f);
            mark->setAlignment(Qt::AlignCenter);
            mark->setGeometry(twRect(bulletLeft, top, 255, 255));
        }
    };
    addBullets(QStringLiteral("qg1"), bulletTops1);
    addBullets(QStringLiteral("qg2"), bulletTops2);
    addBullets(QStringLiteral("qg3"), bulletTops3);

    for (const Control& c : controls) {
        QWidget* page = pages_.value(QStringLiteral("qg%1").arg(c.page));
        const QString name = QLatin1String(c.name);
        const QString caption = QString::fromUtf8(c.caption);
        QWidget* w = nullptr;
        if (c.kind == Kind::PageButton) {
            auto* b = new ButtonUni(page);
            b->setSetkieugotv(true);
            b->setTx(caption);
            b->setAccessibleDescription(pageButtonDestination(WindowId::chonkenh, name));
            connect(b, &ButtonUni::clicked, this, [this, name] { runChooserControl(this->program(), name); });
            w = b;
        } else {
            auto* l = new LabelUni(page);
            l->setWordWrap(c.kind == Kind::Plain);
            l->setSetkieugotv(c.kind != Kind::Plain);
            l->setCaption(caption);
            if (c.kind == Kind::Plain) {
                l->setAutoFillBackground(true);
                QPalette lp = l->palette();
                lp.setColor(QPalette::Window, oleColor(sysButtonText));
                l->setPalette(lp);
                // The count label standing under the caption's lower part
                // leaves the caption the lines above it.
                if (const Control* count = countUnder(c))
                    l->setTextHeightLimit(px(count->top) - px(c.top));
            }
            connect(l, &LabelUni::clicked, this, [this, name] { runChooserControl(this->program(), name); });
            // Lines with a country action are entries; counts and the
            // Venezuela line are text. A count that acts under a caption
            // that acts is part of that line: a click on it works, but the
            // keys and screen readers meet the line once, by its caption.
            const bool acts = findSteps(StepTable::Chooser, WindowId::chonkenh, name) != nullptr;
            const bool partOfLine = c.kind == Kind::Count && &c != std::begin(controls) && countUnder(*(&c - 1)) == &c
                && findSteps(StepTable::Chooser, WindowId::chonkenh, QLatin1String((&c - 1)->name));
            l->setUse(acts && !partOfLine ? LabelUni::Use::Entry : LabelUni::Use::Text);
            l->setInvitesClick(acts);
            w = l;
        }
        w->setObjectName(name);
        w->setGeometry(twRect(c.left, c.top, c.width, c.height));
    }
    // A caption with a count under it is read with its count: two lines of
    // the same countries are told apart, and a count is never read alone.
    for (const Control& c : controls) {
        const Control* count = c.kind == Kind::PageButton ? nullptr : countUnder(c);
        auto* caption = count ? findChild<LabelUni*>(QLatin1String(c.name)) : nullptr;
        auto* number = count ? findChild<LabelUni*>(QLatin1String(count->name)) : nullptr;
        if (caption && number)
            caption->setAccessibleName(caption->text().simplified() + u' ' + number->text().simplified());
    }

    auto* close = new ButtonUni(this);
    close->setObjectName(QStringLiteral("ButtonUni1"));
    close->setSetkieugotv(true);
    close->setTx(QStringLiteral("D9o1ng"));
    close->setGeometry(twRect(1080, 6960, 1815, 255));
    connect(close, &ButtonUni::clicked, this,
            [this] { runChooserControl(this->program(), QStringLiteral("ButtonUni1")); });

    // Esc does what the window's own close button does.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, close, &ButtonUni::click);
}

int chooserPageOf(const QString& control)
{
    for (const Control& c : controls)
        if (control == QLatin1String(c.name))
            return c.page;
    return 0;
}

void ChooserWindow::load()
{
    // Against the right edge of the window it is opened over (frmmain when
    // nothing says), as that window stands now.
    const QRect over = program().outerGeometry(program().chooserOpener());
    placeOuter(QPoint(over.x() + over.width(), over.y()));
    runLoadSteps(program(), id());
}

void ChooserWindow::standBeside(WindowId window)
{
    // The viewer windows share frmmain's corner but not its width: one a
    // few pixels wider would cover the chooser's left edge. Only that is
    // mended; a chooser the user put elsewhere, or a window moved since,
    // keeps its place.
    const QRect over = program().outerGeometry(window);
    const QRect here = outerGeometry();
    const int covered = over.x() + over.width() - here.x();
    if (covered > 0 && covered <= 16 && here.intersects(over))
        placeOuter(QPoint(over.x() + over.width(), here.y()));
}

} // namespace miravon
