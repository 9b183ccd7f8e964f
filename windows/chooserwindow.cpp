#include "chooserwindow.h"

#include "channellist.h"
#include "program.h"
#include "navigation.h"
#include "steps.h"
#include "viewerwindow.h"

#include "artwork.h"
#include "buttonuni.h"
#include "frameuni.h"
#include "labeluni.h"
#include "look.h"
#include "statustext.h"
#include "units.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QSet>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

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

    buildOtherCountries();
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

namespace {

// Where "Quốc gia khác" stands: below the pages' last lines, left of their
// page buttons (which start 1800 twips into the page), at the buttons'
// height; nothing of the chooser's own lies there on any page.
constexpr int otherLeft = 360 + 120;
constexpr int otherTop = 120 + 6360;
constexpr int otherMaxWidth = 1560;
constexpr int otherHeight = 255;

} // namespace

void ChooserWindow::buildOtherCountries()
{
    otherButton_ = new PillButton(this);
    otherButton_->setObjectName(QStringLiteral("otherCountries"));
    otherButton_->setText(QStringLiteral("Quốc gia khác ›"));
    otherButton_->setAccessibleName(QStringLiteral("Quốc gia khác"));
    otherButton_->setAccessibleDescription(QStringLiteral("Các quốc gia khác có kênh trong danh sách của bạn"));
    const QRect room = twRect(otherLeft, otherTop, otherMaxWidth, otherHeight);
    const QSize size = otherButton_->sizeHint().boundedTo(room.size());
    otherButton_->setGeometry(QRect(room.left(), room.top() + (room.height() - size.height()) / 2, size.width(),
                                    size.height()));
    otherButton_->hide();
    connect(otherButton_, &QAbstractButton::clicked, this, &ChooserWindow::openOtherCountries);

    countries_ = new QFrame(this);
    countries_->setObjectName(QStringLiteral("otherCountriesList"));
    countries_->setAccessibleName(QStringLiteral("Quốc gia khác"));
    countries_->setFrameShape(QFrame::Box);
    countries_->setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, oleColor(sysButtonText));
    pal.setColor(QPalette::Text, oleColor(sysHighlightText));
    pal.setColor(QPalette::ButtonText, oleColor(sysHighlightText));
    pal.setColor(QPalette::Button, oleColor(sysButtonText));
    pal.setColor(QPalette::Highlight, QColor(0x1F, 0x4E, 0x8C));
    pal.setColor(QPalette::HighlightedText, oleColor(sysHighlightText));
    countries_->setPalette(pal);
    countries_->setGeometry(pageRect);
    auto* layout = new QVBoxLayout(countries_);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    auto* top = new QHBoxLayout;
    auto* back = new QToolButton(countries_);
    back->setObjectName(QStringLiteral("back"));
    back->setText(QStringLiteral("‹ Quay lại"));
    back->setAccessibleName(QStringLiteral("Quay lại"));
    back->setAutoRaise(true);
    back->setFocusPolicy(Qt::StrongFocus);
    connect(back, &QAbstractButton::clicked, this, &ChooserWindow::closeOtherCountries);
    top->addWidget(back);
    auto* title = new QLabel(QStringLiteral("Quốc gia khác"), countries_);
    title->setFont(designFont(QStringLiteral("Tahoma"), 9.75, true));
    title->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    top->addWidget(title, 1);
    layout->addLayout(top);
    countryCount_ = new StatusText(countries_);
    countryCount_->setObjectName(QStringLiteral("count"));
    countryCount_->setAccessibleDescription(QStringLiteral("Số quốc gia"));
    countryCount_->setAlignment(Qt::AlignRight);
    layout->addWidget(countryCount_);
    countryRows_ = new QListWidget(countries_);
    countryRows_->setObjectName(QStringLiteral("rows"));
    countryRows_->setAccessibleName(QStringLiteral("Quốc gia khác"));
    countryRows_->setFrameShape(QFrame::NoFrame);
    countryRows_->setFont(designFont(QStringLiteral("Tahoma"), 9));
    layout->addWidget(countryRows_, 1);
    auto choose = [this](QListWidgetItem* item) {
        if (item)
            openCountry(item->data(Qt::UserRole).toString());
    };
    connect(countryRows_, &QListWidget::itemClicked, this, choose);
    countryRows_->installEventFilter(this);
    back->installEventFilter(this);
    countries_->hide();

    connect(&program().catalogue(), &catalogue::RunningCatalogue::channelsChanged, this,
            &ChooserWindow::updateOtherCountries);
    updateOtherCountries();
}

QAbstractButton* ChooserWindow::otherCountriesButton() const { return otherButton_; }

bool ChooserWindow::otherCountriesOpen() const { return !countries_->isHidden(); }

void ChooserWindow::updateOtherCountries()
{
    const auto set = program().catalogue().listChannels();
    // Every country a panel or heading stands for has its channels there.
    QSet<QString> withPanel;
    for (const QStringList& codes : catalogue::panelCountries(program().catalogue().catalogue()))
        for (const QString& c : codes)
            withPanel.insert(c);
    struct Country {
        QString code;
        QString name;
        QString folded;
        qsizetype count;
    };
    QList<Country> found;
    for (const QString& code : set->countries())
        if (!withPanel.contains(code))
            found << Country{code, search::countryName(code), search::fold(search::countryName(code)),
                             set->otherCount(code)};
    std::sort(found.begin(), found.end(), [](const Country& a, const Country& b) {
        return a.folded != b.folded ? a.folded < b.folded : a.code < b.code;
    });
    const QString current = countryRows_->currentItem() ? countryRows_->currentItem()->data(Qt::UserRole).toString()
                                                        : QString();
    countryRows_->clear();
    countryCodes_.clear();
    for (const Country& c : std::as_const(found)) {
        auto* item = new QListWidgetItem(QStringLiteral("%1 — %2 kênh").arg(c.name).arg(c.count), countryRows_);
        item->setData(Qt::UserRole, c.code);
        countryCodes_ << c.code;
        if (c.code == current)
            countryRows_->setCurrentItem(item);
    }
    if (!countryRows_->currentItem() && countryRows_->count())
        countryRows_->setCurrentRow(0);
    otherButton_->setVisible(!found.isEmpty() && !otherCountriesOpen());
    if (found.isEmpty())
        closeOtherCountries();
}

void ChooserWindow::openOtherCountries()
{
    if (countryCodes_.isEmpty())
        return;
    for (FrameUni* p : std::as_const(pages_))
        p->setEnabled(false);
    otherButton_->hide();
    countries_->show();
    countries_->raise();
    countryRows_->setFocus(Qt::OtherFocusReason);
    countryCount_->say(QString());
    countryCount_->say(QStringLiteral("Quốc gia khác: %1 quốc gia").arg(countryCodes_.size()));
}

void ChooserWindow::closeOtherCountries()
{
    if (!otherCountriesOpen())
        return;
    const bool hadFocus = countries_->isAncestorOf(focusWidget());
    countries_->hide();
    for (FrameUni* p : std::as_const(pages_))
        p->setEnabled(true);
    otherButton_->setVisible(!countryCodes_.isEmpty());
    if (hadFocus && otherButton_->isVisible())
        otherButton_->setFocus(Qt::OtherFocusReason);
}

bool ChooserWindow::openCountry(const QString& code)
{
    const WindowId window = program().chooserOpener();
    if (!hasPlayer(window) || !countryCodes_.contains(code))
        return false;
    program().show(window);
    program().viewer(window).openChannelList({code});
    return true;
}

void ChooserWindow::pageStepped() { closeOtherCountries(); }

bool ChooserWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Esc in the countries puts them away; it does not close the chooser.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Back) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                closeOtherCountries();
            return true;
        }
        if (watched == countryRows_ && event->type() == QEvent::KeyPress
            && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            if (QListWidgetItem* item = countryRows_->currentItem())
                openCountry(item->data(Qt::UserRole).toString());
            return true;
        }
    }
    return ProgramWindow::eventFilter(watched, event);
}

} // namespace miravon
