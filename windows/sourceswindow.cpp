#include "sourceswindow.h"

#include "logging.h"

#include "artwork.h"
#include "catalogue.h"
#include "userfiles.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace miravon {
namespace {

QPointer<SourcesWindow> theWindow;

QString when(const QDateTime& read)
{
    return read.isValid() ? QLocale(QLocale::Vietnamese).toString(read.toLocalTime(), QStringLiteral("dd/MM/yyyy HH:mm"))
                          : QString();
}

QTreeWidgetItem* rowFor(const import::SourceRecord& r, const QString& shown)
{
    auto* item = new QTreeWidgetItem({shown, when(r.read), r.error.isEmpty() ? QString::number(r.entries) : QString(),
                                      r.error.isEmpty() ? QString() : QStringLiteral("không đọc được: %1").arg(r.error)});
    item->setToolTip(0, r.location);
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

    sources_ = new QTreeWidget(this);
    sources_->setObjectName(QStringLiteral("sources"));
    sources_->setAccessibleName(QStringLiteral("Các nguồn đang dùng"));
    sources_->setHeaderLabels({QStringLiteral("Nguồn"), QStringLiteral("Đọc lúc"), QStringLiteral("Mục có địa chỉ"),
                               QStringLiteral("Ghi chú")});
    sources_->setRootIsDecorated(true);
    sources_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    layout->addWidget(sources_, 2);

    auto* buttons = new QHBoxLayout;
    auto button = [this, buttons](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    update_ = button("update", QStringLiteral("&Cập nhật ngay"));
    addFile_ = button("addFile", QStringLiteral("Thêm &tệp danh sách…"));
    addAddress_ = button("addAddress", QStringLiteral("Thêm đị&a chỉ danh sách…"));
    undo_ = button("undo", QStringLiteral("&Hoàn tác lần nhập trước"));
    buttons->addStretch(1);
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

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("message"));
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

    connect(update_, &QPushButton::clicked, this, [this] {
        if (!runner_.updateChannels())
            say(QStringLiteral("Đang có một lần nhập khác; xin chờ nó xong."));
    });
    connect(cancel_, &QPushButton::clicked, &runner_, &ImportRunner::cancel);
    connect(addFile_, &QPushButton::clicked, this, &SourcesWindow::chooseFiles);
    connect(addAddress_, &QPushButton::clicked, this, &SourcesWindow::askAddress);
    connect(undo_, &QPushButton::clicked, this, [this] {
        if (!runner_.undo())
            say(QStringLiteral("Đang có một lần nhập khác; xin chờ nó xong."));
    });
    connect(&runner_, &ImportRunner::started, this, &SourcesWindow::onStarted);
    connect(&runner_, &ImportRunner::progress, this, [this](int done, int total) {
        progress_->setMaximum(total);
        progress_->setValue(done);
    });
    connect(&runner_, &ImportRunner::finished, this, &SourcesWindow::onFinished);
    connect(&runner_, &ImportRunner::undone, this, &SourcesWindow::onUndone);

    resize(760, 560);
    setBusy(runner_.busy() != ImportRunner::Job::None);
    refresh();
}

void SourcesWindow::setConfigDir(const QString& dir)
{
    configDir_ = dir;
    refresh();
}

QString SourcesWindow::message() const { return message_->text(); }

void SourcesWindow::addSection(QWidget* section)
{
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->insertWidget(box->indexOf(message_) + 1, section, 2);
}

void SourcesWindow::say(const QString& text) { message_->setText(text); }

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
        auto* group = new QTreeWidgetItem({QStringLiteral("Danh sách kênh công khai (%1 danh sách, %2 đọc được)")
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
        sources_->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("(chưa có nguồn nào: chưa nhập danh sách kênh)")}));

    QByteArray report;
    QString error;
    files::readCommitted(configDir_, QStringLiteral("addresses.import.txt"), userdata::maxAddressFileBytes, &report,
                         &error);
    report_->setPlainText(report.isEmpty() ? QStringLiteral("(chưa có)") : QString::fromUtf8(report));
    undo_->setEnabled(runner_.busy() == ImportRunner::Job::None
                      && files::existsCommitted(configDir_, QStringLiteral("addresses.import.tsv.bak")));
}

void SourcesWindow::setBusy(bool busy)
{
    for (QPushButton* b : {update_, addFile_, addAddress_, undo_})
        b->setEnabled(!busy);
    if (!busy)
        undo_->setEnabled(files::existsCommitted(configDir_, QStringLiteral("addresses.import.tsv.bak")));
    const bool updating = busy && runner_.busy() == ImportRunner::Job::Update;
    progress_->setVisible(updating);
    cancel_->setVisible(updating);
}

void SourcesWindow::onStarted(ImportRunner::Job job)
{
    setBusy(true);
    if (job == ImportRunner::Job::Update) {
        progress_->setRange(0, 0);
        say(QStringLiteral("Đang tải các danh sách kênh công khai…"));
    } else if (job == ImportRunner::Job::Import) {
        say(QStringLiteral("Đang nhập danh sách…"));
    } else {
        say(QStringLiteral("Đang hoàn tác lần nhập trước…"));
    }
}

void SourcesWindow::onFinished(ImportRunner::Job job, const import::ImportOutcome& outcome)
{
    setBusy(false);
    if (outcome.cancelled) {
        say(QStringLiteral("Đã hủy cập nhật; các địa chỉ đã nhập vẫn giữ nguyên."));
    } else if (outcome.status != 0) {
        // A poor update says why in its report; other failures in one line.
        say(outcome.report.isEmpty() ? QStringLiteral("Không nhập được: %1").arg(outcome.error)
                                     : QStringLiteral("Giữ nguyên các địa chỉ đã nhập: %1").arg(outcome.error));
        if (!outcome.report.isEmpty())
            report_->setPlainText(outcome.report);
        return;
    } else if (job == ImportRunner::Job::Update) {
        QString text = QStringLiteral("Đã cập nhật: %1 mục có địa chỉ từ %2 danh sách.")
                           .arg(outcome.written)
                           .arg(outcome.listsRead);
        if (!outcome.skipped.isEmpty())
            text += QStringLiteral(" %1 danh sách không đọc được (xem báo cáo).").arg(outcome.skipped.size());
        say(text);
    } else {
        say(QStringLiteral("Đã nhập: %1 mục có địa chỉ.").arg(outcome.written));
    }
    refresh();
}

void SourcesWindow::onUndone(const import::UndoOutcome& outcome)
{
    setBusy(false);
    switch (outcome.status) {
    case 0:
        say(QStringLiteral("Đã hoàn tác lần nhập trước."));
        break;
    case 1:
        say(QStringLiteral("Không có lần nhập nào để hoàn tác."));
        break;
    default:
        say(QStringLiteral("Không hoàn tác được: %1").arg(outcome.message));
        break;
    }
    refresh();
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
        say(QStringLiteral("Đang có một lần nhập khác; xin chờ nó xong."));
}

void SourcesWindow::askAddress()
{
    bool ok = false;
    const QString address = QInputDialog::getText(this, QStringLiteral("Thêm địa chỉ danh sách"),
                                                  QStringLiteral("Địa chỉ (http hoặc https) của danh sách .m3u:"),
                                                  QLineEdit::Normal, QString(), &ok)
                                .trimmed();
    if (ok && !address.isEmpty())
        addAddress(address);
}

void SourcesWindow::addAddress(const QString& address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        say(QStringLiteral("“%1” không phải địa chỉ http hoặc https.").arg(address));
        return;
    }
    if (!runner_.importLists({address}, true))
        say(QStringLiteral("Đang có một lần nhập khác; xin chờ nó xong."));
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
