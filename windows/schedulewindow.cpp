#include "schedulewindow.h"

#include "program.h"
#include "programguide.h"

#include "artwork.h"
#include "catalogue.h"

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace miravon {
namespace {

QPointer<ScheduleWindow> theWindow;

QString weekday(QDate d)
{
    static const char* const names[] = {"Thứ Hai", "Thứ Ba", "Thứ Tư", "Thứ Năm", "Thứ Sáu", "Thứ Bảy", "Chủ nhật"};
    return QString::fromUtf8(names[d.dayOfWeek() - 1]);
}

QString dayHeading(QDate d, QDate today)
{
    const QString date = QStringLiteral("%1, %2").arg(weekday(d), d.toString(QStringLiteral("dd/MM/yyyy")));
    if (d == today)
        return QStringLiteral("Hôm nay, ") + date;
    if (d == today.addDays(1))
        return QStringLiteral("Ngày mai, ") + date;
    return date;
}

} // namespace

ScheduleWindow::ScheduleWindow(ProgramGuide& guide, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , guide_(guide)
{
    setObjectName(QStringLiteral("scheduleWindow"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    layout->addWidget(title_);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("programmes"));
    list_->setWordWrap(true);
    list_->setUniformItemSizes(false);
    title_->setBuddy(list_);
    layout->addWidget(list_, 1);
    auto* close = new QPushButton(QStringLiteral("Đóng"), this);
    close->setObjectName(QStringLiteral("close"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(close, 0, Qt::AlignRight);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    connect(&guide_, &ProgramGuide::changed, this, &ScheduleWindow::refresh);
    resize(420, 480);
}

void ScheduleWindow::setChannel(const QString& window, const QString& control, const QString& name)
{
    window_ = window;
    control_ = control;
    name_ = name;
    setWindowTitle(QStringLiteral("Lịch phát sóng — %1").arg(name));
    title_->setText(QStringLiteral("Lịch phát sóng của %1").arg(name));
    list_->setAccessibleName(QStringLiteral("Lịch phát sóng của %1").arg(name));
    refresh();
}

void ScheduleWindow::refresh()
{
    const QString key = guide_.keyOf(window_, control_);
    const QTimeZone zone = guide_.zone();
    const QDateTime now = guide_.now();
    const QDate today = now.toTimeZone(zone).date();
    const QList<guide::Programme> programmes = guide_.schedule(key);

    list_->clear();
    QListWidgetItem* current = nullptr;
    QDate day;
    for (const guide::Programme& p : programmes) {
        const QDate d = p.start.toTimeZone(zone).date();
        if (d != day) {
            day = d;
            auto* heading = new QListWidgetItem(dayHeading(std::max(d, today), today), list_);
            heading->setFlags(Qt::ItemIsEnabled);
            QFont f = list_->font();
            f.setBold(true);
            heading->setFont(f);
        }
        const bool on = p.start <= now && now < p.stop;
        QString text = programmeText(p, zone);
        if (!p.category.isEmpty())
            text += QStringLiteral(" (%1)").arg(p.category);
        if (on)
            text = QStringLiteral("▶ ") + text + QStringLiteral(" — đang phát");
        auto* item = new QListWidgetItem(text, list_);
        item->setToolTip(p.description);
        if (on) {
            QFont f = list_->font();
            f.setBold(true);
            item->setFont(f);
            current = item;
        }
    }
    if (programmes.isEmpty()) {
        const QString why = !guide_.started()     ? QStringLiteral("Chưa đọc lịch phát sóng nào.")
                          : key.isEmpty()         ? QStringLiteral("Kênh này không thuộc danh sách kênh nào có lịch.")
                          : guide_.hasGuide(key)  ? QStringLiteral("Lịch không có chương trình nào hôm nay và ngày mai.")
                                                  : QStringLiteral("Chưa có lịch phát sóng cho kênh này.");
        auto* item = new QListWidgetItem(why, list_);
        item->setFlags(Qt::ItemIsEnabled);
    }
    if (current) {
        list_->setCurrentItem(current);
        list_->scrollToItem(current, QAbstractItemView::PositionAtCenter);
    } else {
        list_->setCurrentRow(0);
    }
}

ScheduleWindow& showScheduleWindow(Program& program, const QString& window, const QString& control,
                                   const QString& name)
{
    if (!theWindow)
        theWindow = new ScheduleWindow(program.guide());
    theWindow->setChannel(window, control, name);
    theWindow->show();
    theWindow->raise();
    theWindow->activateWindow();
    return *theWindow;
}

ScheduleWindow* scheduleWindow() { return theWindow; }

void addScheduleItem(QMenu& menu, Program& program, const QString& window, const QString& control)
{
    const QString key = program.guide().keyOf(window, control);
    if (key.isEmpty())
        return;
    const catalogue::Label* l = program.catalogue().catalogue().label(window, control);
    const QString name = l ? catalogue::shownCaption(*l) : program.guide().nameOf(key);
    QAction* a = menu.addAction(QStringLiteral("Lịch phát sóng"));
    a->setObjectName(QStringLiteral("schedule"));
    QObject::connect(a, &QAction::triggered, &program,
                     [&program, window, control, name] { showScheduleWindow(program, window, control, name); });
}

} // namespace miravon
