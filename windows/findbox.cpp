#include "findbox.h"

#include "statustext.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QVBoxLayout>

namespace miravon {
namespace {

constexpr int shownAtMost = 100;

// Entry or channel, the same: its name and what it is of, as a person says it.
QString rowText(const search::Entry& e)
{
    return e.place.isEmpty() ? e.caption : QStringLiteral("%1 — %2").arg(e.caption, e.place);
}

// Whether it can play, and if not, what to do: beside the highlighted row,
// and in each row's description.
QString playText(const search::Entry& e)
{
    if (e.hasAddress)
        return e.listChannel ? QStringLiteral("Phát được — kênh trong danh sách của bạn")
                             : QStringLiteral("Phát được");
    if (e.window == QLatin1String("frmphim"))
        return QStringLiteral("Chưa có địa chỉ xem được — chuột phải vào phim › Đặt địa chỉ…");
    return QStringLiteral("Chưa có địa chỉ xem được — Thực đơn › Nguồn kênh");
}

// A small round mark before each row: filled where it can play, hollow
// where it cannot, drawn for the pixels it is shown at.
QIcon playMark(bool plays, const QColor& colour, qreal ratio)
{
    const int side = 12;
    QPixmap pm(QSize(side, side) * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (plays) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2E, 0x9E, 0x4F));
        p.drawEllipse(QRectF(2, 2, side - 4, side - 4));
    } else {
        p.setPen(QPen(colour, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(2.5, 2.5, side - 5, side - 5));
    }
    return QIcon(pm);
}

} // namespace

FindBox::FindBox(const search::Index& index, QWidget* parent)
    : QFrame(parent)
    , index_(index)
{
    setObjectName(QStringLiteral("findBox"));
    setAccessibleName(QStringLiteral("Tìm"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setPalette(QApplication::palette());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("findField"));
    field_->setPlaceholderText(hint());
    field_->setAccessibleName(hint());
    field_->setClearButtonEnabled(true);
    layout->addWidget(field_);
    count_ = new StatusText(this);
    count_->setObjectName(QStringLiteral("findCount"));
    count_->setAccessibleDescription(QStringLiteral("Số kết quả"));
    count_->setAnnounced(true, 500); // heard where it settles as the user types
    layout->addWidget(count_);
    results_ = new QListWidget(this);
    results_->setObjectName(QStringLiteral("findResults"));
    results_->setAccessibleName(QStringLiteral("Kết quả tìm"));
    results_->setFocusPolicy(Qt::NoFocus); // the field keeps the focus; Up and Down choose
    layout->addWidget(results_, 1);
    detail_ = new QLabel(this);
    detail_->setObjectName(QStringLiteral("findDetail"));
    detail_->setWordWrap(true);
    layout->addWidget(detail_);
    connect(results_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        detail_->setText(item ? item->data(Qt::AccessibleDescriptionRole).toString() : QString());
    });
    field_->installEventFilter(this);
    connect(field_, &QLineEdit::textChanged, this, &FindBox::update);
    connect(results_, &QListWidget::itemActivated, this, [this] { choose(); });
    connect(results_, &QListWidget::itemClicked, this, [this] { choose(); });
    hide();
}

QString FindBox::countText() const { return count_->text(); }

QString FindBox::detailText() const { return detail_->text(); }

void FindBox::place()
{
    // Over the top of the window, across most of it: nothing below moves.
    const QWidget* area = parentWidget();
    const int width = std::min(area->width() - 24, 520);
    setGeometry((area->width() - width) / 2, 8, width, std::min(area->height() - 16, 320));
    raise();
}

void FindBox::open(const QString& typed)
{
    if (isHidden())
        before_ = QApplication::focusWidget();
    place();
    show();
    field_->setFocus(Qt::ShortcutFocusReason);
    // A new text answers through textChanged; otherwise the list is made
    // again here (the catalogue may have changed since).
    if (!typed.isEmpty() && typed != field_->text()) {
        field_->setText(typed);
        return;
    }
    if (typed.isEmpty())
        field_->selectAll();
    update(field_->text());
}

void FindBox::dismiss()
{
    hide();
    if (before_ && before_->isVisible())
        before_->setFocus(Qt::OtherFocusReason);
}

void FindBox::update(const QString& text)
{
    results_->clear();
    const QList<search::Index::Hit> hits = index_.find(text, shownAtMost);
    const QColor quiet = results_->palette().color(QPalette::Disabled, QPalette::Text);
    const qreal ratio = results_->devicePixelRatioF();
    if (marks_[0].isNull() || ratio != marksRatio_) {
        marks_[0] = playMark(false, quiet, ratio);
        marks_[1] = playMark(true, quiet, ratio);
        marksRatio_ = ratio;
    }
    for (const search::Index::Hit& h : hits) {
        const search::Entry& e = index_.entry(h.entry);
        auto* item = new QListWidgetItem(marks_[e.hasAddress ? 1 : 0], rowText(e), results_);
        item->setData(Qt::UserRole, e.window);
        item->setData(Qt::UserRole + 1, e.control);
        item->setData(Qt::AccessibleDescriptionRole, playText(e));
        if (!e.hasAddress)
            item->setForeground(quiet);
    }
    if (hits.isEmpty())
        detail_->clear();
    if (!hits.isEmpty())
        results_->setCurrentRow(0);
    const QString said = text.trimmed().isEmpty() ? QString()
        : hits.isEmpty()                          ? QStringLiteral("Không có kết quả")
        : hits.size() >= shownAtMost              ? QStringLiteral("%1 kết quả trở lên").arg(hits.size())
                                                  : QStringLiteral("%1 kết quả").arg(hits.size());
    count_->say(said);
}

void FindBox::choose()
{
    QListWidgetItem* item = results_->currentItem();
    if (!item)
        return;
    const QString window = item->data(Qt::UserRole).toString();
    const QString control = item->data(Qt::UserRole + 1).toString();
    hide();
    emit chosen(window, control);
}

bool FindBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Escape:
            dismiss();
            return true;
        case Qt::Key_Down:
        case Qt::Key_Up: {
            const int step = key->key() == Qt::Key_Down ? 1 : -1;
            const int row = std::clamp(results_->currentRow() + step, 0, std::max(0, results_->count() - 1));
            results_->setCurrentRow(row);
            return true;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
            choose();
            return true;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace miravon
