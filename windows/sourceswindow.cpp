#include "sourceswindow.h"

#include "logging.h"

#include "addresspolicy.h"
#include "artwork.h"
#include "catalogue.h"
#include "fetcher.h"
#include "m3u.h"
#include "playerview.h"
#include "settings.h"
#include "statustext.h"
#include "userfiles.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace miravon {
namespace {

QPointer<SourcesWindow> theWindow;

const QString busyText = QStringLiteral("Đang có một lần nhập khác; xin chờ nó xong.");

QString when(const QDateTime& read)
{
    return read.isValid() ? QLocale(QLocale::Vietnamese).toString(read.toLocalTime(), QStringLiteral("dd/MM/yyyy HH:mm"))
                          : QString();
}

// A row whose every cell tells its whole text on hover: the columns are
// narrower than most addresses and reasons.
QTreeWidgetItem* row(const QStringList& cells)
{
    auto* item = new QTreeWidgetItem(cells);
    for (int i = 0; i < cells.size(); ++i)
        item->setToolTip(i, cells.at(i));
    return item;
}

QTreeWidgetItem* rowFor(const import::SourceRecord& r, const QString& shown)
{
    QTreeWidgetItem* item = row({shown, when(r.read), r.error.isEmpty() ? QString::number(r.entries) : QString(),
                                 r.error.isEmpty() ? QString() : QStringLiteral("không đọc được: %1").arg(r.error)});
    item->setToolTip(0, r.location);
    if (!r.error.isEmpty())
        item->setToolTip(3, r.error);
    return item;
}

} // namespace

SourcesWindow::SourcesWindow(ImportRunner& runner, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , runner_(runner)
    , configDir_(userdata::configDir())
{
    setObjectName(QStringLiteral("sourcesWindow"));
    setWindowTitle(QStringLiteral("Nguồn kênh"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);

    auto* intro = new QLabel(QStringLiteral("Địa chỉ của các kênh lấy từ những nguồn sau. "
                                            "Địa chỉ bạn tự ghi cho một kênh luôn được ưu tiên."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    // The public lists' address.
    auto* lists = new QGroupBox(QStringLiteral("Danh sách kênh công khai"), this);
    lists->setObjectName(QStringLiteral("publicLists"));
    auto* listsLayout = new QVBoxLayout(lists);
    auto* templateLabel = new QLabel(QStringLiteral("Đị&a chỉ các danh sách ({code} là mã quốc gia, ví dụ vn):"), lists);
    templateLabel->setWordWrap(true);
    listsLayout->addWidget(templateLabel);
    template_ = new QLineEdit(lists);
    template_->setObjectName(QStringLiteral("listTemplate"));
    template_->setAccessibleName(QStringLiteral("Địa chỉ các danh sách kênh công khai"));
    template_->setAccessibleDescription(QStringLiteral("{code} là mã quốc gia"));
    templateLabel->setBuddy(template_);
    listsLayout->addWidget(template_);
    auto* templateButtons = new QHBoxLayout;
    auto listButton = [lists, templateButtons](const char* name, const QString& text) {
        auto* b = new QPushButton(text, lists);
        b->setObjectName(QLatin1String(name));
        templateButtons->addWidget(b);
        return b;
    };
    tryTemplate_ = listButton("tryTemplate", QStringLiteral("T&hử"));
    tryTemplate_->setAccessibleDescription(QStringLiteral("Tải thử danh sách của một nước từ địa chỉ này"));
    saveTemplate_ = listButton("saveTemplate", QStringLiteral("&Lưu địa chỉ"));
    defaultTemplate_ = listButton("defaultTemplate", QStringLiteral("&Mặc định"));
    defaultTemplate_->setAccessibleDescription(QStringLiteral("Trở về địa chỉ mặc định (iptv-org)"));
    templateButtons->addStretch(1);
    listsLayout->addLayout(templateButtons);
    templateResult_ = new StatusText(lists);
    templateResult_->setObjectName(QStringLiteral("templateResult"));
    templateResult_->setAccessibleDescription(QStringLiteral("Kết quả"));
    templateResult_->setWordWrap(true);
    templateResult_->setAnnounced(true);
    listsLayout->addWidget(templateResult_);
    layout->addWidget(lists);

    sources_ = new QTreeWidget(this);
    sources_->setObjectName(QStringLiteral("sources"));
    sources_->setAccessibleName(QStringLiteral("Các nguồn đang dùng"));
    sources_->setHeaderLabels({QStringLiteral("Nguồn"), QStringLiteral("Đọc lúc"), QStringLiteral("Mục có địa chỉ"),
                               QStringLiteral("Ghi chú")});
    sources_->setRootIsDecorated(true);
    sources_->setTextElideMode(Qt::ElideMiddle);
    sources_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    layout->addWidget(sources_, 2);

    lastAttempt_ = new QLabel(this);
    lastAttempt_->setObjectName(QStringLiteral("lastAttempt"));
    lastAttempt_->setWordWrap(true);
    lastAttempt_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lastAttempt_);

    // Two by two, so that the window fits a small screen.
    auto* buttons = new QGridLayout;
    auto button = [this, buttons](const char* name, const QString& text, int row, int column) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b, row, column);
        return b;
    };
    update_ = button("update", QStringLiteral("&Cập nhật ngay"), 0, 0);
    addFile_ = button("addFile", QStringLiteral("Thêm &tệp danh sách…"), 0, 1);
    addAddress_ = button("addAddress", QStringLiteral("Thêm địa chỉ danh &sách…"), 1, 0);
    undo_ = button("undo", QStringLiteral("Hoàn tác lần &nhập trước"), 1, 1);
    buttons->setColumnStretch(2, 1);
    layout->addLayout(buttons);

    auto* running = new QHBoxLayout;
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setFormat(QStringLiteral("%v / %m danh sách"));
    progress_->setAccessibleName(QStringLiteral("Tiến độ cập nhật"));
    progress_->setVisible(false);
    running->addWidget(progress_, 1);
    cancel_ = new QPushButton(QStringLiteral("Hủ&y"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setVisible(false);
    running->addWidget(cancel_);
    layout->addLayout(running);
    waiting_ = new QLabel(this);
    waiting_->setObjectName(QStringLiteral("waiting"));
    waiting_->setWordWrap(true);
    waiting_->setVisible(false);
    layout->addWidget(waiting_);

    message_ = new StatusText(this);
    message_->setObjectName(QStringLiteral("message"));
    message_->setAccessibleDescription(QStringLiteral("Thông báo"));
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(message_);

    auto* reportTitle = new QLabel(QStringLiteral("Báo cáo của lần nhập gần nhất:"), this);
    layout->addWidget(reportTitle);
    report_ = new QPlainTextEdit(this);
    report_->setObjectName(QStringLiteral("report"));
    report_->setReadOnly(true);
    report_->setLineWrapMode(QPlainTextEdit::NoWrap);
    report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)); // the report has columns
    report_->setAccessibleName(reportTitle->text());
    reportTitle->setBuddy(report_);
    layout->addWidget(report_, 3);

    auto* close = new QPushButton(QStringLiteral("Đóng"), this);
    close->setObjectName(QStringLiteral("close"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    layout->addWidget(close, 0, Qt::AlignRight);

    connect(tryTemplate_, &QPushButton::clicked, this, &SourcesWindow::tryTemplate);
    connect(saveTemplate_, &QPushButton::clicked, this, &SourcesWindow::saveTemplate);
    connect(defaultTemplate_, &QPushButton::clicked, this, &SourcesWindow::resetTemplate);
    connect(template_, &QLineEdit::returnPressed, this, &SourcesWindow::tryTemplate);
    connect(update_, &QPushButton::clicked, this, [this] {
        // The address as typed is the one asked for: kept first.
        if (template_->text().trimmed() != ImportRunner::sourceTemplate(configDir_) && !saveTemplate())
            return;
        if (!runner_.updateChannels())
            say(busyText);
    });
    connect(cancel_, &QPushButton::clicked, &runner_, &ImportRunner::cancel);
    connect(addFile_, &QPushButton::clicked, this, &SourcesWindow::chooseFiles);
    connect(addAddress_, &QPushButton::clicked, this, &SourcesWindow::askAddress);
    connect(undo_, &QPushButton::clicked, this, [this] {
        if (!runner_.undo())
            say(busyText);
    });
    connect(&runner_, &ImportRunner::started, this, &SourcesWindow::onStarted);
    connect(&runner_, &ImportRunner::progress, this, [this](int done, int total) {
        progress_->setMaximum(total);
        progress_->setValue(done);
        waiting_->setText(runner_.waitingText(done, total));
    });
    connect(&runner_, &ImportRunner::finished, this, &SourcesWindow::onFinished);
    connect(&runner_, &ImportRunner::undone, this, &SourcesWindow::onUndone);

    setBusy(runner_.busy() != ImportRunner::Job::None);
    refresh();
    template_->setText(ImportRunner::sourceTemplate(configDir_));
}

SourcesWindow::~SourcesWindow() = default;

void SourcesWindow::setConfigDir(const QString& dir)
{
    configDir_ = dir;
    template_->setText(ImportRunner::sourceTemplate(configDir_));
    refresh();
}

QString SourcesWindow::message() const { return message_->text(); }

QString SourcesWindow::lastAttempt() const { return lastAttempt_->text(); }

QString SourcesWindow::templateResult() const { return templateResult_->text(); }

void SourcesWindow::say(const QString& text)
{
    // Told where the user is: the offer over a viewer window says the same
    // outcome there.
    message_->setAnnounced(isActiveWindow());
    message_->say(text);
}

void SourcesWindow::sayTemplate(const QString& text) { templateResult_->say(text); }

void SourcesWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && !(event->modifiers() & ~Qt::KeypadModifier)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SourcesWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!placed_) {
        placed_ = true;
        fitOnScreen();
    }
}

void SourcesWindow::fitOnScreen()
{
    // Its preferred size where there is room, never more than the screen's
    // free area (a small screen, a scale of 2), placed wholly inside it,
    // frame and title bar too.
    const QWidget* over = QApplication::activeWindow();
    const QScreen* screen = over ? over->screen() : this->screen();
    if (!screen)
        return;
    const QRect free = screen->availableGeometry();
    // The window manager's frame is not known before the first show: room
    // is kept for a title bar and borders.
    const QSize frame(16, 48);
    const QSize wanted(760, 600);
    const QSize room = free.size() - frame;
    const QSize size = wanted.boundedTo(room).expandedTo(minimumSizeHint().boundedTo(room));
    resize(size);
    const QPoint centre = over ? over->frameGeometry().center() : free.center();
    QRect outer(QPoint(), size + frame);
    outer.moveCenter(centre);
    outer.moveLeft(std::clamp(outer.left(), free.left(), std::max(free.left(), free.right() + 1 - outer.width())));
    outer.moveTop(std::clamp(outer.top(), free.top(), std::max(free.top(), free.bottom() + 1 - outer.height())));
    move(outer.topLeft());
}

void SourcesWindow::addSection(QWidget* section)
{
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->insertWidget(box->indexOf(message_) + 1, section, 2);
}

void SourcesWindow::refresh()
{
    sources_->clear();
    const QList<import::SourceRecord> records = import::sourcesInUse(configDir_);
    QList<const import::SourceRecord*> lists;
    for (const import::SourceRecord& r : records)
        if (r.kind == import::SourceRecord::Kind::Public)
            lists << &r;
    if (!lists.isEmpty()) {
        int read = 0;
        int entries = 0;
        QDateTime last;
        for (const import::SourceRecord* r : std::as_const(lists)) {
            read += r->error.isEmpty() ? 1 : 0;
            entries += r->entries;
            last = std::max(last, r->read);
        }
        QTreeWidgetItem* group = row({QStringLiteral("Danh sách kênh công khai (%1 danh sách, %2 đọc được)")
                                          .arg(lists.size())
                                          .arg(read),
                                      when(last), QString::number(entries), QString()});
        for (const import::SourceRecord* r : std::as_const(lists))
            group->addChild(rowFor(*r, QUrl(r->location).fileName()));
        sources_->addTopLevelItem(group);
    }
    for (const import::SourceRecord& r : records)
        if (r.kind != import::SourceRecord::Kind::Public)
            sources_->addTopLevelItem(rowFor(r, r.location));
    if (records.isEmpty())
        sources_->addTopLevelItem(row({QStringLiteral("(chưa có nguồn nào: chưa nhập danh sách kênh)")}));

    // The last update tried, kept whether it changed anything or not.
    const Settings settings = Settings::load(configDir_);
    const QDateTime tried = QDateTime::fromString(settings.value(setting::channelsAttempt), Qt::ISODate);
    const QString result = settings.value(setting::channelsAttemptResult);
    lastAttempt_->setText(tried.isValid() ? QStringLiteral("Lần cập nhật gần nhất (%1): %2").arg(when(tried), result)
                                          : QStringLiteral("Chưa cập nhật danh sách kênh công khai lần nào."));

    const QString report = import::lastImportReport(configDir_);
    report_->setPlainText(report.isEmpty() ? QStringLiteral("(chưa có)") : report);
    undo_->setEnabled(runner_.busy() == ImportRunner::Job::None && import::canUndoImport(configDir_));
}

void SourcesWindow::setBusy(bool busy)
{
    for (QPushButton* b : {update_, addFile_, addAddress_, undo_})
        b->setEnabled(!busy);
    if (!busy)
        undo_->setEnabled(import::canUndoImport(configDir_));
    const bool updating = busy && runner_.busy() == ImportRunner::Job::Update;
    progress_->setVisible(updating);
    cancel_->setVisible(updating);
    waiting_->setVisible(updating);
}

void SourcesWindow::onStarted(ImportRunner::Job job)
{
    setBusy(true);
    if (job == ImportRunner::Job::Update) {
        progress_->setRange(0, 0);
        waiting_->setText(runner_.waitingText(0, 0));
        say(QStringLiteral("Đang tải các danh sách kênh công khai (%1)…")
                .arg(ImportRunner::sourceName(ImportRunner::sourceTemplate(configDir_))));
    } else if (job == ImportRunner::Job::Import) {
        say(QStringLiteral("Đang nhập danh sách…"));
    } else {
        say(QStringLiteral("Đang hoàn tác lần nhập trước…"));
    }
}

void SourcesWindow::onFinished(ImportRunner::Job job, const import::ImportOutcome& outcome)
{
    setBusy(false);
    if (job == ImportRunner::Job::Update) {
        say(ImportRunner::updateOutcomeText(outcome));
        if (outcome.status != import::ImportOutcome::Done && !outcome.report.isEmpty())
            report_->setPlainText(outcome.report);
    } else if (outcome.cancelled) {
        say(QStringLiteral("Đã hủy; các địa chỉ đã nhập vẫn giữ nguyên."));
    } else if (outcome.status != import::ImportOutcome::Done) {
        // A poor import says why in its report; other failures in one line.
        say(outcome.report.isEmpty() ? QStringLiteral("Không nhập được: %1").arg(outcome.message)
                                     : QStringLiteral("Giữ nguyên các địa chỉ đã nhập: %1").arg(outcome.message));
        if (!outcome.report.isEmpty())
            report_->setPlainText(outcome.report);
        return;
    } else {
        say(QStringLiteral("Đã nhập: %1 mục có địa chỉ.").arg(outcome.written));
    }
    // The report of a failed update stays shown; the rest is read again.
    const QString shown = report_->toPlainText();
    refresh();
    if (job == ImportRunner::Job::Update && outcome.status != 0 && !outcome.report.isEmpty())
        report_->setPlainText(shown);
}

void SourcesWindow::onUndone(const import::UndoOutcome& outcome)
{
    setBusy(false);
    switch (outcome.status) {
    case import::UndoOutcome::Restored:
        say(QStringLiteral("Đã hoàn tác lần nhập trước."));
        break;
    case import::UndoOutcome::NothingToUndo:
        say(QStringLiteral("Không có lần nhập nào để hoàn tác."));
        break;
    default:
        say(QStringLiteral("Không hoàn tác được: %1").arg(outcome.message));
        break;
    }
    refresh();
}

QString SourcesWindow::tryCode()
{
    const QStringList codes = import::listCodes();
    return codes.contains(QLatin1String("vn")) || codes.isEmpty() ? QStringLiteral("vn") : codes.first();
}

QString SourcesWindow::typedTemplate()
{
    const QString typed = template_->text().trimmed();
    if (import::listAddress(typed, tryCode()).isEmpty()) {
        sayTemplate(QStringLiteral("Địa chỉ này không dùng được: cần một địa chỉ bắt đầu bằng http:// hoặc "
                                   "https://, có {code} ở chỗ mã quốc gia, ví dụ https://…/{code}.m3u."));
        template_->setFocus(Qt::OtherFocusReason);
        return {};
    }
    return typed;
}

bool SourcesWindow::tryTemplate()
{
    const QString typed = typedTemplate();
    if (typed.isEmpty())
        return false;
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    delete trying_;
    trying_ = new Fetch(network_, this);
    const QString code = tryCode();
    const QString address = import::listAddress(typed, code);
    connect(trying_, &Fetch::finished, this, [this, code](const FetchResult& result) {
        trying_->deleteLater();
        trying_ = nullptr;
        if (result.failure != PlayFailure::None) {
            sayTemplate(QStringLiteral("Không tải được danh sách “%1”: %2.").arg(code, failureText(result.failure).toLower()));
            return;
        }
        const m3u::Playlist list = m3u::parse(result.body);
        if (!list.isPlaylist) {
            sayTemplate(QStringLiteral("Tải được “%1” nhưng đó không phải danh sách kênh (.m3u).").arg(code));
            return;
        }
        sayTemplate(QStringLiteral("Thử được: danh sách “%1” có %2 kênh.").arg(code).arg(list.entries.size()));
    });
    sayTemplate(QStringLiteral("Đang thử tải danh sách “%1”…").arg(code));
    trying_->start(documentRequest(QUrl(address)), import::listFetchLimits);
    return true;
}

bool SourcesWindow::saveTemplate()
{
    const QString typed = typedTemplate();
    if (typed.isEmpty())
        return false;
    Settings settings = Settings::load(configDir_);
    if (typed == import::defaultSourceTemplate())
        settings.remove(setting::channelSource);
    else
        settings.set(setting::channelSource, typed);
    QString error;
    if (!settings.save(configDir_, &error)) {
        sayTemplate(QStringLiteral("Không lưu được: %1").arg(error));
        return false;
    }
    template_->setText(typed);
    sayTemplate(QStringLiteral("Đã lưu: các lần cập nhật sau tải từ %1.").arg(ImportRunner::sourceName(typed)));
    return true;
}

void SourcesWindow::resetTemplate()
{
    template_->setText(import::defaultSourceTemplate());
    if (saveTemplate())
        sayTemplate(QStringLiteral("Đã trở về địa chỉ mặc định (iptv-org)."));
}

void SourcesWindow::chooseFiles()
{
    const QStringList files = QFileDialog::getOpenFileNames(this, QStringLiteral("Chọn tệp danh sách phát"), QString(),
                                                            QStringLiteral("Danh sách phát (*.m3u *.m3u8)"));
    if (!files.isEmpty())
        addFiles(files);
}

void SourcesWindow::addFiles(const QStringList& files)
{
    if (!runner_.importLists(files, true))
        say(busyText);
}

void SourcesWindow::askAddress()
{
    bool ok = false;
    const QString address =
        QInputDialog::getText(this, QStringLiteral("Thêm địa chỉ danh sách"),
                              QStringLiteral("Địa chỉ (http hoặc https) của một danh sách .m3u, hoặc địa chỉ các "
                                             "danh sách công khai với {code} ở chỗ mã quốc gia:"),
                              QLineEdit::Normal, QString(), &ok)
            .trimmed();
    if (ok && !address.isEmpty())
        addAddress(address);
}

void SourcesWindow::addAddress(const QString& address)
{
    if (address.contains(QLatin1String("{code}"))) {
        // The public lists' address: kept as such, and the lists fetched
        // from it.
        template_->setText(address.trimmed());
        if (!saveTemplate())
            return;
        if (!runner_.updateChannels())
            say(busyText);
        return;
    }
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !isWebAddress(url)) {
        say(QStringLiteral("“%1” không phải địa chỉ http hoặc https.").arg(address));
        return;
    }
    if (!runner_.importLists({address}, true))
        say(busyText);
}

SourcesWindow& showSourcesWindow(ImportRunner& runner)
{
    if (!theWindow)
        theWindow = new SourcesWindow(runner);
    theWindow->show();
    theWindow->raise();
    theWindow->activateWindow();
    return *theWindow;
}

SourcesWindow* sourcesWindow() { return theWindow; }

} // namespace miravon
