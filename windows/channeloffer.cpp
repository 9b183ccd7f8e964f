#include "channeloffer.h"

#include "importrunner.h"
#include "logging.h"

#include "announcer.h"
#include "channelpolicy.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace miravon {

namespace {
int successStay = 8000;
} // namespace

int ChannelOffer::successStayMs() { return successStay; }
void ChannelOffer::setSuccessStayMs(int ms) { successStay = ms; }

ChannelOffer::ChannelOffer(ImportRunner& runner, import::ChannelListPolicy& policy, QWidget* pictureArea)
    : QFrame(pictureArea)
    , runner_(runner)
    , policy_(policy)
{
    setObjectName(QStringLiteral("channelOffer"));
    setAccessibleName(QStringLiteral("Tải danh sách kênh"));
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    const QString source = ImportRunner::sourceName(ImportRunner::sourceTemplate(runner.configDir()));
    text_ = new QLabel(QStringLiteral("Các kênh chưa có địa chỉ xem được. Tải các danh sách kênh công khai "
                                      "(%1) về để có địa chỉ cho các kênh?\n"
                                      "Chỉ các danh sách được tải, không gì khác; đổi nguồn trong "
                                      "Thực đơn › Nguồn kênh.")
                           .arg(source),
                       this);
    text_->setObjectName(QStringLiteral("offerText"));
    text_->setWordWrap(true);
    layout->addWidget(text_);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("offerProgress"));
    progress_->setFormat(QStringLiteral("%v / %m danh sách"));
    progress_->setAccessibleName(QStringLiteral("Tiến độ tải danh sách"));
    progress_->setVisible(false);
    layout->addWidget(progress_);
    waiting_ = new QLabel(this);
    waiting_->setObjectName(QStringLiteral("offerWaiting"));
    waiting_->setWordWrap(true);
    waiting_->setVisible(false);
    layout->addWidget(waiting_);
    auto* row = new QHBoxLayout;
    auto button = [this, row](const char* name, const QString& text, bool shown) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setVisible(shown);
        row->addWidget(b);
        return b;
    };
    row->addStretch(1);
    yes_ = button("yes", QStringLiteral("&Có"), true);
    no_ = button("no", QStringLiteral("&Không"), true);
    never_ = button("never", QStringLiteral("Không &hỏi lại"), true);
    cancel_ = button("cancel", QStringLiteral("Hủ&y"), false);
    sources_ = button("sources", QStringLiteral("&Nguồn kênh…"), false);
    close_ = button("close", QStringLiteral("Đón&g"), false);
    layout->addLayout(row);

    connect(yes_, &QPushButton::clicked, this, [this] { answer(import::ListConsent::Agreed); });
    connect(no_, &QPushButton::clicked, this, [this] { answer(import::ListConsent::Unasked); });
    connect(never_, &QPushButton::clicked, this, [this] { answer(import::ListConsent::Refused); });
    connect(cancel_, &QPushButton::clicked, &runner_, &ImportRunner::cancel);
    connect(sources_, &QPushButton::clicked, this, &ChannelOffer::sourcesRequested);
    connect(close_, &QPushButton::clicked, this, &ChannelOffer::putAway);
    connect(&runner_, &ImportRunner::progress, this, [this](int n, int total) {
        progress_->setMaximum(total);
        progress_->setValue(n);
        waiting_->setText(runner_.waitingText(n, total));
    });
    pictureArea->installEventFilter(this);
    place();
    show();
    raise();
    // The question is the first thing a screen reader says; the keys are
    // on its answers at once.
    yes_->setFocus(Qt::OtherFocusReason);
    announce(this, text_->text().replace(u'\n', u' ')
                       + QStringLiteral(" Trả lời: Có, Không, hoặc Không hỏi lại."));
}

QString ChannelOffer::text() const { return text_->text(); }

QString ChannelOffer::progressText() const { return waiting_->text(); }

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
    const int height = std::min(area->height() - 2 * margin, heightForWidth(width) > 0 ? heightForWidth(width)
                                                                                      : sizeHint().height());
    setGeometry(margin, std::max(margin, (area->height() - height) / 2), std::max(0, width), std::max(0, height));
}

void ChannelOffer::setText(const QString& text)
{
    text_->setText(text);
    place();
    // Told where the user is; an offer in a window left behind says it
    // when the user comes back to look.
    if (window()->isActiveWindow())
        announce(this, text);
}

void ChannelOffer::putAway()
{
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    hide();
    if (hadFocus && parentWidget())
        parentWidget()->setFocus(Qt::OtherFocusReason);
    emit done();
}

void ChannelOffer::answer(import::ListConsent consent)
{
    // "Không" asks again at the next start; the others are kept.
    policy_.answer(consent, [](bool saved, const QString& error) {
        if (!saved)
            qCWarning(lcWindows, "%s", qUtf8Printable(error));
    });
    if (consent != import::ListConsent::Agreed) {
        putAway();
        return;
    }
    for (QPushButton* b : {yes_, no_, never_})
        b->setVisible(false);
    cancel_->setVisible(true);
    cancel_->setFocus(Qt::OtherFocusReason);
    progress_->setVisible(true);
    progress_->setRange(0, 0);
    waiting_->setVisible(true);
    waiting_->setText(runner_.waitingText(0, 0));
    connect(&runner_, &ImportRunner::finished, this,
            [this](ImportRunner::Job, const import::ImportOutcome& outcome) { finished(outcome); });
    if (runner_.updateChannels())
        setText(QStringLiteral("Đang tải các danh sách kênh công khai…"));
    else
        setText(QStringLiteral("Đang có một lần nhập khác; xin chờ nó xong."));
}

void ChannelOffer::finished(const import::ImportOutcome& outcome)
{
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    progress_->setVisible(false);
    waiting_->setVisible(false);
    cancel_->setVisible(false);
    sources_->setVisible(true);
    close_->setVisible(true);
    if (hadFocus)
        close_->setFocus(Qt::OtherFocusReason);
    if (outcome.status == import::ImportOutcome::Done) {
        setText(QStringLiteral("Đã có địa chỉ cho %1 kênh. Xin chọn một kênh để xem.").arg(outcome.written));
        // Said for a moment, then out of the way of the picture.
        QTimer::singleShot(successStay, this, [this] {
            if (isVisible())
                putAway();
        });
        return;
    }
    // A failure stays until it is put away; the sources window keeps it
    // as the last attempt.
    setText(ImportRunner::updateOutcomeText(outcome)
            + QStringLiteral(" Có thể thử lại trong Thực đơn › Nguồn kênh."));
}

} // namespace miravon
