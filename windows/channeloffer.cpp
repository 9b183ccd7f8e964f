#include "channeloffer.h"

#include "importrunner.h"
#include "logging.h"

#include "catalogue.h"
#include "settings.h"
#include "userfiles.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace miravon {

bool ChannelOffer::isDue(const QString& configDir)
{
    const QString consent = Settings::load(configDir).value(setting::channelConsent);
    if (consent == QLatin1String("yes") || consent == QLatin1String("never"))
        return false;
    return !files::existsCommitted(configDir, userdata::importFileName())
        && !files::existsCommitted(configDir, userdata::ownFileName());
}

ChannelOffer::ChannelOffer(ImportRunner& runner, const QString& configDir, QWidget* pictureArea)
    : QFrame(pictureArea)
    , runner_(runner)
    , configDir_(configDir)
{
    setObjectName(QStringLiteral("channelOffer"));
    setAccessibleName(QStringLiteral("Tải danh sách kênh"));
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    text_ = new QLabel(QStringLiteral("Các kênh chưa có địa chỉ xem được. Tải các danh sách kênh công khai "
                                      "(iptv-org) về để có địa chỉ cho các kênh?\n"
                                      "Chỉ các danh sách được tải, không gì khác; đổi nguồn trong "
                                      "Thực đơn › Nguồn kênh."),
                       this);
    text_->setObjectName(QStringLiteral("offerText"));
    text_->setWordWrap(true);
    layout->addWidget(text_);
    progress_ = new QProgressBar(this);
    progress_->setFormat(QStringLiteral("%v / %m danh sách"));
    progress_->setAccessibleName(QStringLiteral("Tiến độ tải danh sách"));
    progress_->setVisible(false);
    layout->addWidget(progress_);
    auto* row = new QHBoxLayout;
    yes_ = new QPushButton(QStringLiteral("&Có"), this);
    no_ = new QPushButton(QStringLiteral("&Không"), this);
    never_ = new QPushButton(QStringLiteral("Không &hỏi lại"), this);
    cancel_ = new QPushButton(QStringLiteral("Hủ&y"), this);
    yes_->setObjectName(QStringLiteral("yes"));
    no_->setObjectName(QStringLiteral("no"));
    never_->setObjectName(QStringLiteral("never"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setVisible(false);
    row->addStretch(1);
    for (QPushButton* b : {yes_, no_, never_, cancel_})
        row->addWidget(b);
    layout->addLayout(row);

    connect(yes_, &QPushButton::clicked, this, [this] { answer(QStringLiteral("yes")); });
    connect(no_, &QPushButton::clicked, this, [this] { answer(QStringLiteral("no")); });
    connect(never_, &QPushButton::clicked, this, [this] { answer(QStringLiteral("never")); });
    connect(cancel_, &QPushButton::clicked, &runner_, &ImportRunner::cancel);
    connect(&runner_, &ImportRunner::progress, this, [this](int n, int total) {
        progress_->setMaximum(total);
        progress_->setValue(n);
    });
    pictureArea->installEventFilter(this);
    place();
    show();
    raise();
}

QString ChannelOffer::text() const { return text_->text(); }

bool ChannelOffer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        place();
    return QFrame::eventFilter(watched, event);
}

void ChannelOffer::place()
{
    // Across the middle of the picture, clear of its edges.
    const QWidget* area = parentWidget();
    const int margin = 12;
    const int width = area->width() - 2 * margin;
    const int height = std::min(area->height() - 2 * margin, sizeHint().height());
    setGeometry(margin, std::max(margin, (area->height() - height) / 2), std::max(0, width), std::max(0, height));
}

void ChannelOffer::answer(const QString& consent)
{
    // "Không" asks again at the next start; the others are kept.
    if (consent != QLatin1String("no")) {
        Settings settings = Settings::load(configDir_);
        settings.set(setting::channelConsent, consent);
        saveInBackground(settings, configDir_, &runner_, [](bool saved, const QString& error) {
            if (!saved)
                qCWarning(lcWindows, "%s", qUtf8Printable(error));
        });
    }
    if (consent != QLatin1String("yes")) {
        hide();
        emit done();
        return;
    }
    for (QPushButton* b : {yes_, no_, never_})
        b->setVisible(false);
    cancel_->setVisible(true);
    progress_->setVisible(true);
    progress_->setRange(0, 0);
    text_->setText(QStringLiteral("Đang tải các danh sách kênh công khai…"));
    connect(&runner_, &ImportRunner::finished, this, [this](ImportRunner::Job, const import::ImportOutcome& outcome) {
        progress_->setVisible(false);
        cancel_->setVisible(false);
        if (outcome.status == 0)
            text_->setText(QStringLiteral("Đã có địa chỉ cho %1 kênh. Xin chọn một kênh để xem.").arg(outcome.written));
        else if (outcome.cancelled)
            text_->setText(QStringLiteral("Đã hủy. Có thể tải sau trong Thực đơn › Nguồn kênh."));
        else
            text_->setText(QStringLiteral("Không tải được các danh sách kênh (%1). Có thể thử lại trong "
                                          "Thực đơn › Nguồn kênh.")
                               .arg(outcome.error));
        // Said for a moment, then out of the way of the picture.
        QTimer::singleShot(8000, this, [this] {
            hide();
            emit done();
        });
    });
    if (!runner_.updateChannels())
        text_->setText(QStringLiteral("Đang có một lần nhập khác; xin chờ nó xong."));
}

} // namespace miravon
