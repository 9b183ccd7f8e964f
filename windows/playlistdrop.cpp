#include "playlistdrop.h"

#include "logging.h"

#include "importrunner.h"

#include "artwork.h"
#include "addresspolicy.h"
#include "importer.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace miravon {
namespace {

QPointer<QWidget> reportWindow;

// The small window that shows an import's report, in Vietnamese.
void showReport(const import::ImportOutcome& outcome)
{
    if (reportWindow)
        reportWindow->close();
    auto* w = new QWidget(nullptr, Qt::Window);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setObjectName(QStringLiteral("importReport"));
    w->setWindowTitle(QStringLiteral("Nhập danh sách phát"));
    w->setWindowIcon(programIcon());
    auto* layout = new QVBoxLayout(w);
    auto* summary = new QLabel(w);
    summary->setObjectName(QStringLiteral("summary"));
    summary->setWordWrap(true);
    if (outcome.status != import::ImportOutcome::Done)
        summary->setText(QStringLiteral("Không nhập được danh sách này:\n%1")
                             .arg(outcome.message.isEmpty() ? outcome.error : outcome.message));
    else if (outcome.written == 0)
        summary->setText(QStringLiteral("Danh sách đã đọc xong nhưng không kênh nào có địa chỉ."));
    else
        summary->setText(QStringLiteral("Đã nhập %1 địa chỉ. Các kênh này dùng địa chỉ mới ngay bây giờ.")
                             .arg(outcome.written));
    layout->addWidget(summary);
    if (!outcome.report.isEmpty()) {
        auto* text = new QPlainTextEdit(outcome.report, w);
        text->setObjectName(QStringLiteral("report"));
        text->setReadOnly(true);
        text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)); // the report has columns
        text->setLineWrapMode(QPlainTextEdit::NoWrap);
        layout->addWidget(text, 1);
    }
    auto* close = new QPushButton(QStringLiteral("Đóng"), w);
    QObject::connect(close, &QPushButton::clicked, w, &QWidget::close);
    layout->addWidget(close, 0, Qt::AlignRight);
    w->resize(outcome.report.isEmpty() ? QSize(420, 140) : QSize(640, 420));
    w->show();
    reportWindow = w;
}

class DropFilter : public QObject {
public:
    DropFilter(ImportRunner& runner, QObject* parent)
        : QObject(parent)
        , runner_(runner)
    {
        // Only the report of this window's own drop shows here.
        connect(&runner_, &ImportRunner::finished, this,
                [this](ImportRunner::Job job, const import::ImportOutcome& outcome) {
                    if (job != ImportRunner::Job::Import || !awaiting_)
                        return;
                    awaiting_ = false;
                    showReport(outcome);
                });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* e = static_cast<QDropEvent*>(event);
            if (droppedPlaylists(e->mimeData()).isEmpty())
                return false;
            e->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(event);
            const QStringList sources = droppedPlaylists(e->mimeData());
            if (sources.isEmpty())
                return false;
            e->acceptProposedAction();
            qCDebug(lcWindows) << "importing" << sources;
            // Added to the lists in use; the catalogue is read again by
            // the runner's owner when the files have changed.
            if (runner_.importLists(sources, true)) {
                awaiting_ = true;
            } else {
                import::ImportOutcome busy;
                busy.status = import::ImportOutcome::Failed;
                busy.error = QStringLiteral("another import is running; drop the list again when it has finished");
                showReport(busy);
            }
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    ImportRunner& runner_;
    bool awaiting_ = false;
};

} // namespace

QStringList droppedPlaylists(const QMimeData* mime)
{
    QStringList out;
    if (!mime || !mime->hasUrls())
        return out;
    for (const QUrl& url : mime->urls())
        if (isChannelListLink(url))
            out << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    return out;
}

void acceptPlaylistDrops(QWidget& window, ImportRunner& runner)
{
    window.setAcceptDrops(true);
    window.installEventFilter(new DropFilter(runner, &window));
}

QWidget* importReportWindow() { return reportWindow; }

} // namespace miravon
