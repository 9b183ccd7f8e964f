#include "channellist.h"

#include "labeluni.h"
#include "look.h"
#include "statustext.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace miravon {
namespace {

QColor textColour() { return oleColor(sysHighlightText); }
QColor backColour() { return oleColor(sysButtonText); }
QColor quietColour() { return QColor(0xB8, 0xC4, 0xD0); }
QColor selectedColour() { return QColor(0x1F, 0x4E, 0x8C); }

QFont nameFont() { return designFont(QStringLiteral("Tahoma"), 9); }
QFont smallFont() { return designFont(QStringLiteral("Tahoma"), 7.5); }
QFont headingFont() { return designFont(QStringLiteral("Tahoma"), 8.25, true); }

// Two lines a channel: its name with its quality mark at the right, then
// its group and, when a guide tells it, what is on now.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int pad = 4;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (index.data(ChannelListModel::HeadingRole).toBool())
            return QSize(option.rect.width(), QFontMetrics(headingFont()).height() + 2 * pad);
        return QSize(option.rect.width(),
                     QFontMetrics(nameFont()).height() + QFontMetrics(smallFont()).height() + 2 * pad);
    }

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        p->save();
        const QRect r = option.rect;
        if (index.data(ChannelListModel::HeadingRole).toBool()) {
            p->setFont(headingFont());
            p->setPen(textColour());
            const QRect text = r.adjusted(pad, pad, -pad, -pad);
            p->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                        QFontMetrics(headingFont()).elidedText(index.data().toString(), Qt::ElideRight, text.width()));
            p->setPen(QColor(255, 255, 255, 90));
            p->drawLine(r.bottomLeft() + QPoint(pad, 0), r.bottomRight() - QPoint(pad, 0));
            p->restore();
            return;
        }
        const bool selected = option.state & QStyle::State_Selected;
        if (selected) {
            p->fillRect(r, selectedColour());
        } else if (option.state & QStyle::State_MouseOver) {
            p->fillRect(r, QColor(255, 255, 255, 30));
        }
        const bool playing = index.data(ChannelListModel::PlayingRole).toBool();
        const QColor text = playing ? LabelUni::markColour() : textColour();
        const QFontMetrics nameMetrics(nameFont());
        const QFontMetrics smallMetrics(smallFont());
        QRect line1(r.left() + pad, r.top() + pad, r.width() - 2 * pad, nameMetrics.height());
        const QRect line2(line1.left(), line1.bottom() + 1, line1.width(), smallMetrics.height());

        // The quality mark, boxed, at the right of the first line.
        const QString quality = index.data(ChannelListModel::QualityRole).toString();
        if (!quality.isEmpty()) {
            p->setFont(smallFont());
            const int w = smallMetrics.horizontalAdvance(quality) + 6;
            const QRect box(line1.right() - w + 1, line1.top() + (line1.height() - smallMetrics.height()) / 2, w,
                            smallMetrics.height());
            p->setPen(QColor(255, 255, 255, 150));
            p->setRenderHint(QPainter::Antialiasing);
            p->drawRoundedRect(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
            p->setRenderHint(QPainter::Antialiasing, false);
            p->setPen(quietColour());
            p->drawText(box, Qt::AlignCenter, quality);
            line1.setRight(box.left() - pad);
        }
        p->setFont(nameFont());
        p->setPen(text);
        QString name = index.data().toString();
        if (playing)
            name.prepend(QStringLiteral("▶ "));
        p->drawText(line1, Qt::AlignLeft | Qt::AlignVCenter, nameMetrics.elidedText(name, Qt::ElideRight, line1.width()));

        QStringList second;
        const QString group = index.data(ChannelListModel::GroupRole).toString();
        if (!group.isEmpty())
            second << group;
        const QString now = index.data(ChannelListModel::NowRole).toString();
        if (!now.isEmpty())
            second << now;
        if (!second.isEmpty()) {
            p->setFont(smallFont());
            p->setPen(selected ? textColour() : quietColour());
            p->drawText(line2, Qt::AlignLeft | Qt::AlignVCenter,
                        smallMetrics.elidedText(second.join(QStringLiteral(" · ")), Qt::ElideRight, line2.width()));
        }
        p->restore();
    }
};

} // namespace

QString channelToolTip(const catalogue::ListChannel& c, const StreamAddress* own, const QString& lastRun)
{
    QStringList lines{c.name};
    QStringList about;
    if (!c.group.isEmpty())
        about << QStringLiteral("Nhóm: %1").arg(c.group);
    if (!c.quality.isEmpty())
        about << c.quality;
    if (!about.isEmpty())
        lines << about.join(QStringLiteral(" · "));
    if (own)
        lines << QStringLiteral("Địa chỉ riêng của bạn (addresses.tsv), rồi các luồng của danh sách");
    const catalogue::ListStream& first = c.streams.first();
    QString from = QStringLiteral("Từ danh sách %1: “%2”").arg(first.list, first.title);
    if (c.streams.size() > 1)
        from += QStringLiteral(" (và %1 luồng khác)").arg(c.streams.size() - 1);
    lines << from;
    if (!lastRun.isEmpty())
        lines << QStringLiteral("Lần này: %1").arg(lastRun);
    return lines.join(u'\n');
}

ChannelListModel::ChannelListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

void ChannelListModel::setChannels(std::shared_ptr<const catalogue::ListChannelSet> set, const QStringList& countries,
                                   bool headings)
{
    beginResetModel();
    set_ = std::move(set);
    rows_.clear();
    rowOf_.clear();
    channelCount_ = 0;
    for (const QString& country : countries) {
        const QList<const catalogue::ListChannel*> others = set_->others(country);
        if (others.isEmpty())
            continue;
        if (headings)
            rows_ << Row{nullptr, QStringLiteral("%1 · %2 kênh").arg(search::countryName(country)).arg(others.size())};
        for (const catalogue::ListChannel* c : others) {
            rowOf_.insert(c->key, int(rows_.size()));
            rows_ << Row{c, {}};
        }
        channelCount_ += int(others.size());
    }
    endResetModel();
}

void ChannelListModel::setSources(const catalogue::RunningCatalogue* running, LastRun lastRun)
{
    running_ = running;
    lastRun_ = std::move(lastRun);
}

int ChannelListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

QVariant ChannelListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    const Row& row = rows_.at(index.row());
    if (!row.channel) {
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return row.heading;
        case HeadingRole:
            return true;
        default:
            return {};
        }
    }
    const catalogue::ListChannel& c = *row.channel;
    switch (role) {
    case Qt::DisplayRole:
        return c.name;
    case Qt::AccessibleTextRole: {
        // Read once, in full: the name, then what the row shows beside it.
        QStringList said{c.name};
        if (!c.group.isEmpty())
            said << c.group;
        if (!c.quality.isEmpty())
            said << c.quality;
        if (c.key == playing_)
            said << QStringLiteral("đang chọn phát");
        if (const QString now = onAir_.now ? onAir_.now(c.key) : QString(); !now.isEmpty())
            said << now;
        return said.join(QStringLiteral(", "));
    }
    case Qt::ToolTipRole:
    {
        const QString tip = channelToolTip(c, running_ ? running_->ownAddress(c.key) : nullptr,
                                           lastRun_ ? lastRun_(c.key) : QString());
        const QString nowNext = onAir_.nowNext ? onAir_.nowNext(c.key) : QString();
        return nowNext.isEmpty() ? tip : tip + u'\n' + nowNext;
    }
    case KeyRole:
        return c.key;
    case GroupRole:
        return c.group;
    case QualityRole:
        return c.quality;
    case NowRole:
        return onAir_.now ? onAir_.now(c.key) : QString();
    case HeadingRole:
        return false;
    case PlayingRole:
        return c.key == playing_;
    default:
        return {};
    }
}

Qt::ItemFlags ChannelListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= rows_.size() || !rows_.at(index.row()).channel)
        return Qt::NoItemFlags; // a heading: passed over by the keys and by type-ahead
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int ChannelListModel::rowOf(const QString& key) const { return rowOf_.value(key, -1); }

const catalogue::ListChannel* ChannelListModel::channelAt(int row) const
{
    return row >= 0 && row < rows_.size() ? rows_.at(row).channel : nullptr;
}

void ChannelListModel::setPlaying(const QString& key)
{
    if (key == playing_)
        return;
    const int before = rowOf(playing_);
    playing_ = key;
    for (int row : {before, rowOf(key)})
        if (row >= 0)
            emit dataChanged(index(row), index(row));
}

void ChannelListModel::refresh()
{
    if (!rows_.isEmpty())
        emit dataChanged(index(0), index(int(rows_.size()) - 1));
}

ChannelRows::ChannelRows(QWidget* parent)
    : QListView(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMouseTracking(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QListView::clicked, this, [this](const QModelIndex& index) {
        if (index.flags() & Qt::ItemIsSelectable)
            emit chosen(index);
    });
}

QModelIndex ChannelRows::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    QAbstractItemModel* m = model();
    if (!m || m->rowCount() == 0)
        return {};
    auto selectable = [m](int row) { return bool(m->flags(m->index(row, 0)) & Qt::ItemIsSelectable); };
    const int last = m->rowCount() - 1;
    // From `row` on in `step`'s direction, the first channel; or none.
    auto from = [&](int row, int step) -> QModelIndex {
        for (; row >= 0 && row <= last; row += step)
            if (selectable(row))
                return m->index(row, 0);
        return {};
    };
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    switch (action) {
    case MoveHome:
        return from(0, 1);
    case MoveEnd:
        return from(last, -1);
    case MoveUp:
    case MovePrevious: {
        const QModelIndex up = from(current - 1, -1);
        return up.isValid() ? up : currentIndex();
    }
    case MoveDown:
    case MoveNext: {
        const QModelIndex down = current < 0 ? from(0, 1) : from(current + 1, 1);
        return down.isValid() ? down : currentIndex();
    }
    default: {
        // Page up and down as the view moves, then to the nearest channel.
        const QModelIndex moved = QListView::moveCursor(action, modifiers);
        if (!moved.isValid() || selectable(moved.row()))
            return moved;
        const int step = action == MovePageUp ? -1 : 1;
        const QModelIndex near = from(moved.row(), step);
        return near.isValid() ? near : from(moved.row(), -step);
    }
    }
}

void ChannelRows::keyPressEvent(QKeyEvent* event)
{
    // Shift+F10 asks for the row's menu as the menu key does (the platform
    // turns that one into a context menu event itself).
    if (event->key() == Qt::Key_F10 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier) {
        event->accept();
        if (currentIndex().isValid())
            emit customContextMenuRequested(visualRect(currentIndex()).center());
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        if (currentIndex().isValid() && (currentIndex().flags() & Qt::ItemIsSelectable))
            emit chosen(currentIndex());
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

ChannelList::ChannelList(QWidget* parent)
    : QFrame(parent)
    , model_(new ChannelListModel(this))
{
    setObjectName(QStringLiteral("channelList"));
    setAccessibleName(QStringLiteral("Các kênh khác"));
    setAutoFillBackground(true);
    setFrameShape(QFrame::Box);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, backColour());
    pal.setColor(QPalette::Base, backColour());
    pal.setColor(QPalette::WindowText, textColour());
    pal.setColor(QPalette::Text, textColour());
    pal.setColor(QPalette::ButtonText, textColour());
    pal.setColor(QPalette::Button, backColour());
    pal.setColor(QPalette::Highlight, selectedColour());
    pal.setColor(QPalette::HighlightedText, textColour());
    pal.setColor(QPalette::Light, QColor(255, 255, 255, 90));
    pal.setColor(QPalette::Dark, QColor(255, 255, 255, 90));
    setPalette(pal);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(2);
    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    auto* back = new QToolButton(this);
    back->setObjectName(QStringLiteral("back"));
    back->setText(QStringLiteral("‹ Quay lại"));
    back->setAccessibleName(QStringLiteral("Quay lại"));
    back->setAutoRaise(true);
    back->setFont(designFont(QStringLiteral("Tahoma"), 8.25));
    back->setFocusPolicy(Qt::StrongFocus);
    back_ = back;
    connect(back_, &QAbstractButton::clicked, this, &ChannelList::backRequested);
    top->addWidget(back_);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setFont(headingFont());
    title_->setTextFormat(Qt::PlainText);
    title_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    title_->setMinimumWidth(0);
    title_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addWidget(title_, 1);
    layout->addLayout(top);
    count_ = new StatusText(this);
    count_->setObjectName(QStringLiteral("count"));
    count_->setAccessibleDescription(QStringLiteral("Số kênh"));
    count_->setFont(smallFont());
    count_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(count_);

    rows_ = new ChannelRows(this);
    rows_->setObjectName(QStringLiteral("rows"));
    rows_->setFrameShape(QFrame::NoFrame);
    rows_->setItemDelegate(new RowDelegate(rows_));
    rows_->setModel(model_);
    layout->addWidget(rows_, 1);
    connect(rows_, &ChannelRows::chosen, this, [this](const QModelIndex& index) {
        const QString key = index.data(ChannelListModel::KeyRole).toString();
        if (!key.isEmpty())
            emit chosen(key);
    });
    connect(rows_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QModelIndex index = rows_->indexAt(at);
        QPoint where = at;
        if (!index.isValid()) {
            // From the keyboard: the current row, at the row.
            index = rows_->currentIndex();
            where = rows_->visualRect(index).center();
        }
        const QString key = index.data(ChannelListModel::KeyRole).toString();
        if (!key.isEmpty()) {
            rows_->setCurrentIndex(index);
            emit menuRequested(key, rows_->viewport()->mapToGlobal(where));
        }
    });
    rows_->installEventFilter(this);
    back_->installEventFilter(this);
    hide();
}

bool ChannelList::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool altLeft = key->key() == Qt::Key_Left && key->modifiers() == Qt::AltModifier;
        if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Back || altLeft) {
            // Taken here, before any shortcut of the window.
            event->accept();
            if (event->type() == QEvent::KeyPress)
                emit backRequested();
            return true;
        }
    }
    if (watched == rows_ && event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        // The menu key and Shift+F10 open the current row's menu at the row.
        emit rows_->customContextMenuRequested(rows_->visualRect(rows_->currentIndex()).center());
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

void ChannelList::fill(std::shared_ptr<const catalogue::ListChannelSet> set, const QStringList& countries,
                       const QString& title)
{
    const QString current = currentKey();
    countries_ = countries;
    model_->setChannels(std::move(set), countries, countries.size() > 1);
    title_->setText(title);
    title_->setToolTip(title);
    QStringList names;
    for (const QString& c : countries)
        names << search::countryName(c);
    rows_->setAccessibleName(QStringLiteral("Kênh khác: %1").arg(names.join(QStringLiteral(", "))));
    // The first channel current, so that a screen reader has a row to read.
    if (!select(current)) {
        for (int row = 0; row < model_->rowCount(); ++row) {
            if (model_->channelAt(row)) {
                rows_->setCurrentIndex(model_->index(row));
                break;
            }
        }
    }
}

void ChannelList::open()
{
    show();
    raise();
    rows_->setFocus(Qt::OtherFocusReason);
    const int n = model_->channelCount();
    const QString said = n == 0 ? QStringLiteral("Không có kênh nào")
                                : QStringLiteral("%1: %2 kênh").arg(title_->text()).arg(n);
    // Said again each time it opens, even when the number is the same.
    count_->say(QString());
    count_->say(said);
}

QString ChannelList::title() const { return title_->text(); }

QString ChannelList::countText() const { return count_->text(); }

bool ChannelList::select(const QString& key)
{
    const int row = key.isEmpty() ? -1 : model_->rowOf(key);
    if (row < 0)
        return false;
    const QModelIndex index = model_->index(row);
    rows_->setCurrentIndex(index);
    rows_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    return true;
}

QString ChannelList::currentKey() const
{
    return rows_->currentIndex().data(ChannelListModel::KeyRole).toString();
}

PillButton::PillButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setFont(designFont(QStringLiteral("Tahoma"), 7.5));
    setAttribute(Qt::WA_Hover);
}

QSize PillButton::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 10, fm.height() + 3);
}

void PillButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool lit = hover_ || isDown();
    // Opaque, so that across a frame's edge it reads as well as inside.
    p.setPen(QColor(255, 255, 255, lit ? 230 : 140));
    p.setBrush(lit ? selectedColour() : backColour());
    p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
    p.setPen(textColour());
    p.drawText(rect(), Qt::AlignCenter, text());
}

void PillButton::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void PillButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    hover_ = true;
    update();
}

void PillButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    hover_ = false;
    update();
}

OtherChannelsLink::OtherChannelsLink(QWidget* parent)
    : PillButton(parent)
{
}

QString OtherChannelsLink::textFor(qsizetype count) { return QStringLiteral("Thêm %1 kênh khác ›").arg(count); }

void OtherChannelsLink::setCount(qsizetype count)
{
    count_ = count;
    setText(textFor(count));
    setAccessibleName(QStringLiteral("Thêm %1 kênh khác").arg(count));
    resize(sizeHint());
    update();
}

void OtherChannelsLink::setWhat(const QString& what) { setAccessibleDescription(QStringLiteral("Mở %1").arg(what)); }

QRect placeOnFrame(const QWidget& panel, const QSize& size, const QRect& title)
{
    constexpr int inset = 3; // clear of the frame's own line
    QList<QRect> taken;
    for (const QWidget* w : panel.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!w->isHidden())
            taken << w->geometry();
    if (!title.isEmpty())
        taken << title;
    const int w = size.width();
    const int h = size.height();
    const int right = panel.width() - inset - w; // the rightmost left edge
    // Row by row from the foot up; in each, the rightmost gap wide enough.
    for (int y = panel.height() - inset - h; y >= inset; --y) {
        QList<std::pair<int, int>> spans; // taken [from, to) across this band
        for (const QRect& r : std::as_const(taken))
            if (r.top() < y + h && r.bottom() >= y)
                spans.push_back({r.left(), r.right() + 1});
        std::sort(spans.begin(), spans.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        // Try the gap left of each span's start, from the right.
        int x = right;
        bool moved = true;
        while (moved && x >= inset) {
            moved = false;
            for (const auto& [from, to] : spans) {
                if (from < x + w && to > x) {
                    x = from - w;
                    moved = true;
                }
            }
        }
        if (x >= inset)
            return QRect(x, y, w, h);
    }
    // No room inside: across the top edge, clear of what stands highest.
    const int x = panel.width() - inset - w;
    int y = -h / 2;
    for (const QRect& r : std::as_const(taken))
        if (r.left() < x + w && r.right() >= x)
            y = std::min(y, r.top() - h);
    return QRect(x, y, w, h);
}

} // namespace miravon
