#include "viewerwindow.h"

#include "addressdialog.h"
#include "catalogueview.h"
#include "channellist.h"
#include "channeloffer.h"
#include "filmnotice.h"
#include "findbox.h"
#include "guidesection.h"
#include "finder.h"
#include "sourceswindow.h"
#include "logging.h"
#include "navigation.h"
#include "onairline.h"
#include "programguide.h"
#include "schedulewindow.h"
#include "playlistdrop.h"
#include "program.h"

#include "artwork.h"
#include "channelpolicy.h"
#include "frameuni.h"
#include "labeluni.h"
#include "look.h"
#include "menuxpuni.h"
#include "ownfile.h"
#include "player.h"
#include "playerstates.h"
#include "standin.h"
#include "statusline.h"
#include "units.h"

#include <QGuiApplication>
#include <algorithm>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMessageBox>
#include <QShortcut>
#include <QLabel>
#include <QScreen>
#include <QMenuBar>
#include <QVBoxLayout>

namespace miravon {
namespace {

// The contact e-mail at the end of the first three titles.
constexpr char authorEmail[] = "kestrin@example.org";

// The five decoration pieces: artwork file and the size shown, in twips.
struct Piece {
    const char* file;
    int width;
    int height;
};
constexpr Piece vbar{"vbar.svg", 240, 7500};
constexpr Piece hbar{"hbar.svg", 11010, 240};
constexpr Piece hbarWide{"hbar.svg", 11130, 240};
constexpr Piece banner{"banner.svg", 5520, 765};
constexpr Piece corner{"corner.svg", 2580, 2355};
constexpr Piece bottom{"bottom.svg", 10575, 840};

struct Placed {
    const Piece* piece;
    int left;
    int top;
};

struct FrameSpec {
    WindowId id;
    bool longTitle;         // "MIRAVON ----- Kestrin --- " + e-mail, else "Miravon v1.0"
    int clientWidth, clientHeight;
    QRect manhinh;          // twips
    QRect status;           // twips
    const char* versionName;
    int versionLeft, versionTop;
    const char* filmItem;   // name of the film command, or nullptr (movie window)
    const char* filmCaption;
    std::vector<Placed> decoration;
};

const std::vector<FrameSpec>& frames()
{
    static const std::vector<FrameSpec> table = {
        {WindowId::frmmain, true, 10785, 7350, {3960, 1440, 6735, 4695}, {4080, 5160, 6375, 255},
         "LabelUni4", 5040, 840, "phim", "Xem phim",
         {{&vbar, -120, 0}, {&vbar, 10560, 0}, {&hbar, 0, 0}, {&hbar, -120, 1200}, {&hbar, 0, 6120},
          {&hbar, 0, 7200}, {&banner, 480, 240}, {&corner, 8160, 0}, {&bottom, 120, 6360}}},
        {WindowId::frmmain2, true, 10860, 7200, {4080, 1200, 6735, 4935}, {4080, 5160, 6495, 255},
         "LabelUni4", 4800, 720, "phim", "Xem phim",
         {{&vbar, -120, 0}, {&vbar, 10680, 0}, {&hbar, 120, 0}, {&hbar, 0, 1200}, {&hbar, 120, 6120},
          {&hbar, 0, 7080}, {&banner, 240, 120}, {&corner, 8280, 0}, {&bottom, 120, 6240}}},
        {WindowId::frmmain3, true, 10920, 7215, {4080, 1200, 6735, 4935}, {4080, 5160, 6495, 255},
         "LabelUni2", 4920, 720, "phim", "Xem Phim",
         {{&vbar, -120, 0}, {&vbar, 10680, 0}, {&hbarWide, 120, 0}, {&hbarWide, 0, 1200},
          {&hbarWide, 120, 6120}, {&hbarWide, 0, 7080}, {&banner, 360, 120}, {&corner, 8280, 0},
          {&bottom, 120, 6360}}},
        {WindowId::frmmain4, false, 10875, 7230, {4080, 1200, 6735, 4935}, {4080, 5160, 6495, 255},
         "LabelUni3", 4920, 720, "phim", "Xem Phim",
         {{&vbar, -120, 0}, {&vbar, 10680, 0}, {&hbarWide, 120, 0}, {&hbarWide, 0, 1200},
          {&hbarWide, 120, 6120}, {&hbarWide, 0, 7080}, {&banner, 360, 120}, {&corner, 8280, 0},
          {&bottom, 120, 6360}}},
        {WindowId::frmmain5, false, 10875, 7260, {4080, 1200, 6735, 4935}, {4080, 5160, 6495, 255},
         "LabelUni3", 4920, 720, "Phim", "Xem Phim",
         {{&vbar, -120, 0}, {&vbar, 10680, 0}, {&hbarWide, 120, 0}, {&hbarWide, 0, 1200},
          {&hbarWide, 120, 6120}, {&hbarWide, 0, 7080}, {&banner, 360, 120}, {&corner, 8280, 0},
          {&bottom, 120, 6360}}},
        {WindowId::frmmain6, false, 10890, 7245, {4080, 1200, 6735, 4935}, {4080, 5160, 6495, 255},
         "LabelUni3", 4920, 840, "phim", "Xem phim",
         {{&vbar, -120, 0}, {&vbar, -240, 120}, {&vbar, 10680, 120}, {&hbarWide, 120, 0},
          {&hbarWide, -120, 1320}, {&hbarWide, 0, 6120}, {&hbarWide, -120, 7080}, {&banner, 360, 240},
          {&corner, 8280, 0}, {&bottom, 120, 6240}}},
        {WindowId::frmphim, false, 10890, 7245, {3960, 1200, 6735, 4935}, {3960, 5160, 6495, 255},
         "LabelUni3", 4680, 840, nullptr, nullptr,
         {{&vbar, -120, 0}, {&vbar, 10680, 120}, {&hbar, 120, 0}, {&hbar, 120, 1320}, {&hbar, 120, 6120},
          {&hbarWide, 0, 7080}, {&banner, 120, 240}, {&corner, 8280, 0}, {&bottom, 120, 6240}}},
    };
    return table;
}

const FrameSpec& frameFor(WindowId id)
{
    for (const FrameSpec& f : frames())
        if (f.id == id)
            return f;
    Q_UNREACHABLE();
}

QRect tw(const QRect& r) { return twRect(r.x(), r.y(), r.width(), r.height()); }

} // namespace

ViewerWindow::ViewerWindow(Program& program, WindowId id)
    : ProgramWindow(program, id)
{
    Q_ASSERT(hasPlayer(id));
    buildFrame();
    buildMenu();
    populateCatalogue(*this);
    acceptPlaylistDrops(*this, program.imports());
    // A video file or a link dropped on an entry offers it as the entry's
    // own address; a playlist goes to the import (above).
    class EntryDrops : public QObject {
    public:
        explicit EntryDrops(ViewerWindow& w)
            : QObject(&w)
            , w_(w)
        {
        }
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove
                && event->type() != QEvent::Drop)
                return false;
            auto* e = static_cast<QDropEvent*>(event);
            const QString address = droppedAddress(e->mimeData());
            const catalogue::Label* entry = address.isEmpty() ? nullptr : w_.entryAt(e->position().toPoint());
            if (!entry) {
                if (event->type() == QEvent::DragMove && !address.isEmpty())
                    e->ignore(); // nothing to give it to here
                return false;
            }
            e->acceptProposedAction();
            if (event->type() == QEvent::Drop)
                w_.openAddressDialog(addressTarget(*entry), address);
            return true;
        }

    private:
        ViewerWindow& w_;
    };
    installEventFilter(new EntryDrops(*this));
}

ViewerWindow::~ViewerWindow()
{
    // The player goes before the widgets its face lives in.
    player_.reset();
}

void ViewerWindow::buildFrame()
{
    const FrameSpec& f = frameFor(id());
    setWindowTitle(f.longTitle ? QStringLiteral("MIRAVON ----- Kestrin --- ") + QLatin1String(authorEmail)
                               : QStringLiteral("Miravon v1.0"));
    setWindowIcon(programIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setFont(designFont(QStringLiteral("Arial"), 8.25));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setFixedSize(twSize(f.clientWidth, f.clientHeight));
    client_->setAutoFillBackground(true);
    QPalette pal = client_->palette();
    pal.setColor(QPalette::Window, oleColor(sysButtonText));
    pal.setColor(QPalette::WindowText, oleColor(sysHighlightText));
    client_->setPalette(pal);
    layout->addWidget(client_);

    // Stacking from the bottom: decoration, panels, player, version label,
    // status line. The status line lies across the player's lower part and
    // must stay readable there.
    int n = 0;
    for (const Placed& d : f.decoration) {
        auto* pic = new QLabel(client_);
        pic->setObjectName(QStringLiteral("decoration%1").arg(++n));
        pic->setAttribute(Qt::WA_TransparentForMouseEvents);
        const QRect at = twRect(d.left, d.top, d.piece->width, d.piece->height);
        pic->setPixmap(artwork(QString::fromLatin1(d.piece->file), at.size(), pic->devicePixelRatioF()));
        pic->setGeometry(at);
    }

    player_ = playerFactory()(client_);
    QWidget* screen = player_->widget();
    screen->setObjectName(QStringLiteral("manhinh"));
    screen->setGeometry(tw(f.manhinh));

    version_ = new LabelUni(client_);
    version_->setObjectName(QLatin1String(f.versionName));
    version_->setSetkieugotv(true);
    version_->setCaption(QStringLiteral("Phie6n ba3n thu73 nghie65m 1.0"));
    version_->setFont(designFont(QStringLiteral("Tahoma"), 9.75, true));
    version_->setForecolor(sysHighlightText);
    version_->setGeometry(twRect(f.versionLeft, f.versionTop, 2655, 375));

    status_ = new LabelUni(client_);
    status_->setObjectName(QStringLiteral("status"));
    status_->setSetkieugotv(true);
    status_->setWordWrap(false);
    status_->setCaption(QStringLiteral("Miravon v1.0 Beta --- Ta5o bo73i Kestrin"));
    status_->setFont(designFont(QStringLiteral("Arial"), 8.25));
    status_->setForecolor(sysHighlightText);
    status_->setAutoFillBackground(true);
    status_->setGeometry(tw(f.status));
    bindStatusLine(*player_, *status_);
    outcomes_ = new PlayerOutcomes(*player_, *this);
    // What is on, right under the status line and in its colours.
    onAir_ = new OnAirLine(program().guide(), client_);
    onAir_->setFont(status_->font());
    onAir_->setAutoFillBackground(true);
    onAir_->setPalette(status_->palette());
    onAir_->setGeometry(tw(f.status).translated(0, tw(f.status).height()));
    // How the entry being played goes, for its tooltip; the stream that
    // plays is the one tried first next time.
    connect(player_.get(), &Player::streamPlaying, this, [this](int index) {
        if (!playing_ || index < 0 || index >= playing_->streams.size())
            return;
        program().playedStreams().played(playing_->window, playing_->control, playing_->streams.at(index).url);
        // Gần đây: what played, not every click.
        if (playing_->recent && !program().kept().played({playing_->window, playing_->control}))
            qCWarning(lcWindows).noquote() << "the recent list was not kept:" << program().kept().lastError();
        onAir_->setPlaying(true);
        tellLastRun(playing_->streams.size() > 1
                        ? QStringLiteral("đang phát (nguồn %1/%2)").arg(index + 1).arg(playing_->streams.size())
                        : QStringLiteral("đang phát"));
    });
    connect(player_.get(), &Player::playStateChange, this, [this](int state) {
        if (state == PlayState::Ready || state == PlayState::MediaEnded)
            onAir_->setPlaying(false);
        if (state == PlayState::Ready)
            tellLastRun(QStringLiteral("không phát được"));
        else if (state == PlayState::MediaEnded)
            tellLastRun(QStringLiteral("đã phát xong"));
    });
    connect(player_.get(), &Player::sourcesRequested, this, [this] { openSourcesWindow(program()); });
    // A film is no channel: without an address it points to its own.
    if (id() == WindowId::frmphim) {
        filmNotice_ = new FilmNotice(screen, status_);
        connect(player_.get(), &Player::playFailed, this, [this](PlayFailure reason) {
            if (reason == PlayFailure::NoAddressYet && playing_)
                filmNotice_->showFor(playing_->name);
        });
        connect(filmNotice_, &FilmNotice::setAddressRequested, this, [this] {
            const catalogue::Label* film =
                playing_ ? program().catalogue().catalogue().label(playing_->window, playing_->control) : nullptr;
            if (film)
                openAddressDialog(addressTarget(*film));
        });
    }
}

void ViewerWindow::playEntry(LabelUni* label, const catalogue::Label& entry)
{
    play({entry.window, entry.control, entry.streams(), label, entry.clickable(), catalogue::shownCaption(entry)}, 0);
}

bool ViewerWindow::playChannel(const QString& key)
{
    const catalogue::RunningCatalogue& running = program().catalogue();
    const auto set = running.listChannels();
    const catalogue::ListChannel* channel = set->channel(key);
    if (!channel)
        return false;
    // The user's own address stays first; the list's streams follow, the
    // one that played last first.
    play({catalogue::listWindow(), key, running.streams(*channel), nullptr, true, channel->name},
         running.ownAddress(key) ? 1 : 0);
    return true;
}

// One way to play whatever the window plays, entry or list channel: its
// streams in turn, the one that played last for it moved ahead of the
// others but behind the first `keepFirst`; kept as played; marked as the
// one playing.
void ViewerWindow::play(Playing playing, int keepFirst)
{
    QList<StreamAddress>& streams = playing.streams;
    const QString last = program().playedStreams().lastFor(playing.window, playing.control);
    for (qsizetype i = keepFirst + 1; i < streams.size(); ++i) {
        if (streams.at(i).url == last) {
            streams.move(i, keepFirst);
            break;
        }
    }
    LabelUni* label = playing.label;
    const QString key = playing.window == catalogue::listWindow() ? playing.control : QString();
    playing_ = std::move(playing);
    if (filmNotice_)
        filmNotice_->hide();
    const int playable = int(std::count_if(playing_->streams.cbegin(), playing_->streams.cend(),
                                           [](const StreamAddress& s) { return !isStandInAddress(s.url); }));
    outcomes_->opening(playing_->name, id() == WindowId::frmphim, playable);
    onAir_->follow(playing_->window, playing_->control);
    player_->play(playing_->streams);
    markEntry(label);
    if (channelList_)
        channelList_->model()->setPlaying(key);
    // Clicked with the mouse, the keys that follow are the player's
    // (Space, M, F, the arrows); from the keyboard the focus stays on the
    // entry, to go on to the next.
    if (label && label->clickedByPointer())
        player_->widget()->setFocus(Qt::MouseFocusReason);
}

void ViewerWindow::tellLastRun(const QString& text)
{
    if (!playing_)
        return;
    lastRun_.insert(playing_->window + u'/' + playing_->control, text);
    if (playing_->label) {
        if (const catalogue::Label* l = program().catalogue().catalogue().label(playing_->window, playing_->control))
            refreshToolTip(playing_->label, *l);
    }
    if (channelList_ && playing_->window == catalogue::listWindow())
        channelList_->model()->refresh();
}

void ViewerWindow::refreshToolTip(LabelUni* label, const catalogue::Label& entry)
{
    const QString run = lastRun(entry.window, entry.control);
    const QString onAir = program().guide().nowNextText(entry.window, entry.control);
    label->setToolTip(entry.clickable() ? entryToolTip(entry, run, onAir) : QString());
    // Short for a screen reader, what is on included.
    QString description = entry.clickable() ? entryDescription(entry, run) : QString();
    if (!description.isEmpty() && !onAir.isEmpty())
        description += QStringLiteral(". ") + onAir;
    label->setAccessibleDescription(description);
}

void ViewerWindow::showEvent(QShowEvent* event)
{
    ProgramWindow::showEvent(event);
    // The first viewer window shown in a run offers the public channel
    // lists when nothing else gives the channels an address yet; and once
    // the user said yes, their update is due every week.
    if (program().firstViewerShown(this) && program().channelLists().offerDue()) {
        auto* offer = new ChannelOffer(program().imports(), program().channelLists(), player_->widget());
        connect(offer, &ChannelOffer::sourcesRequested, this, [this] { openSourcesWindow(program()); });
    }
}

void ViewerWindow::buildMenu()
{
    const FrameSpec& f = frameFor(id());
    auto* bar = new QMenuBar(this);
    bar->setObjectName(QStringLiteral("menubar"));
    static_cast<QVBoxLayout*>(layout())->setMenuBar(bar);
    menu_ = new MenuXpUni(bar);
    QMenu* file = menu_->addMenu(QStringLiteral("file"), QStringLiteral("Thu75c d9o7n"));
    menu_->addItem(file, QStringLiteral("soft"), QStringLiteral("Chu7o7ng tri2nh"));
    menu_->addItem(file, QStringLiteral("tacgia"), QStringLiteral("Ta1c gia3"));
    menu_->addItem(file, QStringLiteral("yeucau"), QStringLiteral("Ye6u Ca62u"));
    // Where the channels' addresses come from, without a terminal.
    menu_->addItem(file, QStringLiteral("nguon"), QStringLiteral("Nguo62n ke6nh"));
    menu_->addItem(file, QStringLiteral("thoat"), QStringLiteral("Thoa1t"));
    menu_->addCommand(QStringLiteral("asdf"), QStringLiteral("Truye62n Hi2nh Vie65t Nam"));
    menu_->addCommand(QStringLiteral("thegioi"), QStringLiteral("Truye62n hi2nh the61 gio71i"));
    if (f.filmItem)
        menu_->addCommand(QLatin1String(f.filmItem), QLatin1String(f.filmCaption));
    // After the stored ones, so that none of them moves.
    recent_ = menu_->addMenu(QStringLiteral("ganday"), QStringLiteral("Ga62n d9a6y"));
    favourites_ = menu_->addMenu(QStringLiteral("yeuthich"), QStringLiteral("Ye6u thi1ch"));
    connect(recent_, &QMenu::aboutToShow, this, [this] { fillKeptMenu(recent_, KeptEntries::recentFile()); });
    connect(favourites_, &QMenu::aboutToShow, this,
            [this] { fillKeptMenu(favourites_, KeptEntries::favouritesFile()); });
    // Ctrl+F opens the find box from anywhere in the window; so does a
    // letter typed where nothing else takes it (keyPressEvent).
    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, [this] { openFind(); });
    if (id() == WindowId::frmmain)
        menu_->setPicture(QStringLiteral("#asdf"), drawingIcon(QStringLiteral("menu_vn.svg")));
    connect(menu_, &MenuXpUni::chosen, this, [this](const QString& item) {
        emit menuChosen(item);
        if (item == QLatin1String("nguon")) {
            openSourcesWindow(program());
            return;
        }
        runMenuCommand(program(), id(), item);
    });
}

void ViewerWindow::fillKeptMenu(QMenu* menu, const QString& file)
{
    menu->clear();
    KeptEntries& kept = program().kept();
    const bool recent = file == KeptEntries::recentFile();
    const QString notice = program().takeKeptNotice(file);
    if (!notice.isEmpty()) {
        menu->addAction(notice)->setEnabled(false);
        menu->addSeparator();
    }
    const QList<KeptEntries::Key>& keys = recent ? kept.recent() : kept.favourites();
    const EntryIndex& index = program().entryIndex();
    int shown = 0;
    for (const KeptEntries::Key& key : keys) {
        const search::Entry* e = index.entry(key.window, key.control);
        if (!e)
            continue;
        QString text = QStringLiteral("%1 — %2").arg(e->caption, e->place);
        text.replace(u'&', QStringLiteral("&&"));
        QAction* a = menu->addAction(text);
        a->setObjectName(key.window + u'/' + key.control);
        connect(a, &QAction::triggered, this, [this, key] { goTo(key.window, key.control); });
        ++shown;
    }
    if (shown == 0)
        menu->addAction(recent ? QStringLiteral("Chưa xem kênh nào")
                               : QStringLiteral("Chưa có kênh yêu thích: nhấn chuột phải vào một kênh để thêm"))
            ->setEnabled(false);
}

void ViewerWindow::goTo(const QString& window, const QString& control)
{
    const bool went = window == catalogue::listWindow() ? goToChannel(program(), id(), control)
                                                        : goToEntry(program(), id(), window, control);
    if (!went)
        qCWarning(lcWindows) << "no way to" << window << control;
}

void ViewerWindow::openFind(const QString& typed)
{
    if (!find_) {
        find_ = new FindBox(program().entryIndex().index(), client_);
        connect(find_, &FindBox::chosen, this, &ViewerWindow::goTo);
    }
    find_->open(typed);
}

void ViewerWindow::keyPressEvent(QKeyEvent* event)
{
    // A letter or digit that no control took starts a search with it.
    const QString text = event->text();
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (plain && text.size() == 1 && text.at(0).isLetterOrNumber()) {
        openFind(text);
        event->accept();
        return;
    }
    ProgramWindow::keyPressEvent(event);
}

namespace {
// Labels that may be given an address: entries, logos, and the labels that
// look like entries but have none yet (film titles among them).
bool takesAddress(const catalogue::Label& l) { return l.clickable() || l.kind == catalogue::Kind::Inert; }
} // namespace

// What an entry's menu is about: the kept-list key, whether it can be a
// favourite, and what the address window would give an address to.
struct ViewerWindow::MenuSubject {
    KeptEntries::Key key;
    bool favourable = false;
    AddressTarget target;
};

QMenu* ViewerWindow::showEntryMenu(const catalogue::Label& entry, const QPoint& globalPos)
{
    if (!takesAddress(entry))
        return nullptr;
    return showMenu({{entry.window, entry.control}, entry.clickable(), addressTarget(entry)}, globalPos);
}

QMenu* ViewerWindow::showChannelMenu(const QString& key, const QPoint& globalPos)
{
    const catalogue::RunningCatalogue& running = program().catalogue();
    const auto set = running.listChannels();
    const catalogue::ListChannel* channel = set->channel(key);
    if (!channel)
        return nullptr;
    AddressTarget target{catalogue::listWindow(), key, channel->name, false, {}};
    if (const StreamAddress* own = running.ownAddress(key))
        target.own = *own;
    return showMenu({{catalogue::listWindow(), key}, true, target}, globalPos);
}

QMenu* ViewerWindow::showMenu(const MenuSubject& subject, const QPoint& globalPos)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("entryMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (subject.favourable) {
        const KeptEntries::Key key = subject.key;
        const bool favourite = program().kept().isFavourite(key);
        QAction* a = menu->addAction(favourite ? QStringLiteral("Bỏ khỏi Yêu thích") : QStringLiteral("Thêm vào Yêu thích"));
        a->setObjectName(QStringLiteral("favourite"));
        connect(a, &QAction::triggered, this, [this, key, favourite] {
            if (!program().kept().setFavourite(key, !favourite))
                QMessageBox::warning(this, windowTitle(),
                                     QStringLiteral("Không lưu được danh sách kênh yêu thích: %1")
                                         .arg(program().kept().lastError()));
        });
        addScheduleItem(*menu, program(), subject.key.window, subject.key.control);
        menu->addSeparator();
    }
    const AddressTarget target = subject.target;
    QAction* set = menu->addAction(QStringLiteral("Đặt địa chỉ…"));
    set->setObjectName(QStringLiteral("setAddress"));
    connect(set, &QAction::triggered, this, [this, target] { openAddressDialog(target); });
    if (!target.own.url.isEmpty()) {
        QAction* remove = menu->addAction(QStringLiteral("Bỏ địa chỉ của tôi"));
        remove->setObjectName(QStringLiteral("removeAddress"));
        connect(remove, &QAction::triggered, this,
                [this, target] { removeOwnAddress(target.window, target.control); });
    }
    menu->popup(globalPos);
    // Return takes the first item at once, whether the menu came by the
    // mouse or the keys.
    menu->setActiveAction(menu->actions().constFirst());
    return menu;
}

AddressDialog* ViewerWindow::openAddressDialog(const AddressTarget& target, const QString& address)
{
    if (addressDialog_ && (addressDialog_->window() != target.window || addressDialog_->control() != target.control))
        addressDialog_->close();
    if (!addressDialog_)
        addressDialog_ = new AddressDialog(*this, target);
    if (!address.isEmpty())
        addressDialog_->setAddress(address);
    addressDialog_->show();
    addressDialog_->raise();
    addressDialog_->activateWindow();
    return addressDialog_;
}

AddressDialog* ViewerWindow::addressDialog() const { return addressDialog_; }

void ViewerWindow::removeOwnAddress(const QString& window, const QString& control)
{
    saveOwnAddress(program(), this, window, control, std::nullopt, [this](bool saved, const QString& error) {
        if (!saved)
            QMessageBox::warning(this, windowTitle(), QStringLiteral("Không bỏ được địa chỉ: %1").arg(error));
    });
}

const catalogue::Label* ViewerWindow::entryAt(const QPoint& pos) const
{
    for (QWidget* w = childAt(pos); w && w != this; w = w->parentWidget()) {
        if (auto* label = qobject_cast<LabelUni*>(w)) {
            const catalogue::Label* l = program().catalogue().catalogue().label(windowName(id()), label->objectName());
            return l && takesAddress(*l) ? l : nullptr;
        }
    }
    return nullptr;
}

FrameUni* ViewerWindow::addPanel(const QString& name, const QRect& twipsRect)
{
    auto* p = new FrameUni(client_);
    p->setObjectName(name);
    p->setGeometry(tw(twipsRect));
    p->stackUnder(player_->widget());
    panels_.insert(name, p);
    panelOrder_.append(name);
    return p;
}

QStringList ViewerWindow::visiblePanels() const
{
    QStringList shown;
    for (const QString& name : panelOrder_)
        if (!panels_.value(name)->isHidden())
            shown.append(name);
    return shown;
}

void ViewerWindow::load()
{
    // Placement of the whole window, title bar included: the first viewer
    // window opens at the top-left corner of the screen's free area (below
    // a panel, if the desktop has one there); every other lies exactly over
    // frmmain as it stands at this moment.
    if (id() == WindowId::frmmain) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        placeOuter(screen ? screen->availableGeometry().topLeft() : QPoint(0, 0));
    } else {
        placeOuter(program().position(WindowId::frmmain));
    }
    runLoadSteps(program(), id());
}

void ViewerWindow::markEntry(LabelUni* entry)
{
    if (marked_ == entry)
        return;
    if (marked_)
        marked_->setMarked(false);
    marked_ = entry;
    if (marked_)
        marked_->setMarked(true);
}

void ViewerWindow::unloaded()
{
    // Closing any viewer window or the movie window ends the program at once.
    program().endProgram();
}

} // namespace miravon
