#include "playlistdrop.h"

#include "logging.h"

#include "artwork.h"
#include "catalogue.h"
#include "importer.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include <memory>

namespace miravon {
namespace {

QPointer<QWidget> reportWindow;
bool importing = false;

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
    if (outcome.status != 0)
        summary->setText(QStringLiteral("Không nhập được danh sách này:\n%1").arg(outcome.error));
    else if (outcome.written == 0)
        summary->setText(QStringLiteral("Danh sách đã đọc xong nhưng không kênh nào khớp; "
                                        "các địa chỉ đã nhập trước đây được thay bằng danh sách trống."));
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

void startImport(const QStringList& sources)
{
    if (importing) {
        qCDebug(lcWindows) << "an import is running; drop ignored";
        return;
    }
    importing = true;
    auto outcome = std::make_shared<import::ImportOutcome>();
    import::ImportOptions options;
    options.sources = sources;
    QThread* worker = QThread::create([options, outcome] { *outcome = import::importPlaylists(options); });
    QObject::connect(worker, &QThread::finished, worker, [worker, outcome] {
        worker->deleteLater();
        importing = false;
        if (outcome->status == 0)
            catalogue::reloadAddresses();
        showReport(*outcome);
    });
    qCDebug(lcWindows) << "importing" << sources;
    worker->start();
}

class DropFilter : public QObject {
public:
    using QObject::QObject;

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
            startImport(sources);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};

} // namespace

QStringList droppedPlaylists(const QMimeData* mime)
{
    QStringList out;
    if (!mime || !mime->hasUrls())
        return out;
    for (const QUrl& url : mime->urls()) {
        const QString path = url.path();
        if (!path.endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive)
            && !path.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive))
            continue;
        if (url.isLocalFile())
            out << url.toLocalFile();
        else if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
            out << url.toString();
    }
    return out;
}

void acceptPlaylistDrops(QWidget& window)
{
    window.setAcceptDrops(true);
    window.installEventFilter(new DropFilter(&window));
}

QWidget* importReportWindow() { return reportWindow; }

} // namespace miravon
