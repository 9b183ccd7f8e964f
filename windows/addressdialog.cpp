#include "addressdialog.h"

#include "logging.h"
#include "program.h"
#include "viewerwindow.h"

#include "addresspolicy.h"
#include "artwork.h"
#include "ownfile.h"
#include "player.h"
#include "statustext.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace miravon {
namespace {

// A list for the import rather than a stream: any .m3u, and a .m3u8 file
// of this computer. A .m3u8 link is most often a live stream (HLS), which
// an entry plays as it is.
bool isImportList(const QUrl& url)
{
    const QString path = url.path();
    return path.endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive)
        || (url.isLocalFile() && path.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive));
}

} // namespace

AddressTarget addressTarget(const catalogue::Label& entry)
{
    AddressTarget t{entry.window, entry.control, catalogue::shownCaption(entry), entry.window == u"frmphim", {}};
    if (entry.origin == AddressOrigin::Own)
        t.own = entry.stream();
    return t;
}

AddressDialog::AddressDialog(ViewerWindow& viewer, const AddressTarget& target)
    : QDialog(&viewer)
    , viewer_(viewer)
    , window_(target.window)
    , control_(target.control)
{
    setObjectName(QStringLiteral("addressDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QString caption = target.name;
    setWindowTitle(QStringLiteral("Đặt địa chỉ — %1").arg(caption));
    setWindowIcon(programIcon());

    auto* layout = new QVBoxLayout(this);
    // A film is no channel: no channel lists are named for it.
    auto* intro = new QLabel(target.film ? QStringLiteral("Địa chỉ của riêng bạn cho phim “%1”.").arg(caption)
                                         : QStringLiteral("Địa chỉ của riêng bạn cho “%1”. Nó được ưu tiên hơn mọi "
                                                          "danh sách đã nhập.")
                                               .arg(caption),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("address"));
    address_->setPlaceholderText(QStringLiteral("http://…, rtsp://…, mms://… hoặc một tệp video"));
    address_->setAccessibleName(QStringLiteral("Địa chỉ"));
    address_->setMinimumWidth(380);
    chooseFile_ = new QPushButton(QStringLiteral("Chọn &tệp…"), this);
    chooseFile_->setObjectName(QStringLiteral("chooseFile"));
    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(address_, 1);
    addressRow->addWidget(chooseFile_);
    auto* addressLabel = new QLabel(QStringLiteral("Đị&a chỉ:"), this);
    addressLabel->setBuddy(address_);
    form->addRow(addressLabel, addressRow);
    layout->addLayout(form);

    advanced_ = new QToolButton(this);
    advanced_->setObjectName(QStringLiteral("advanced"));
    advanced_->setText(QStringLiteral("&Nâng cao"));
    advanced_->setCheckable(true);
    advanced_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    advanced_->setArrowType(Qt::RightArrow);
    advanced_->setAutoRaise(true);
    layout->addWidget(advanced_);
    advancedArea_ = new QWidget(this);
    auto* advancedForm = new QFormLayout(advancedArea_);
    advancedForm->setContentsMargins(16, 0, 0, 0);
    referrer_ = new QLineEdit(advancedArea_);
    referrer_->setObjectName(QStringLiteral("referrer"));
    referrer_->setAccessibleName(QStringLiteral("Trang giới thiệu (Referer)"));
    userAgent_ = new QLineEdit(advancedArea_);
    userAgent_->setObjectName(QStringLiteral("userAgent"));
    userAgent_->setAccessibleName(QStringLiteral("Tác nhân người dùng (User-Agent)"));
    advancedForm->addRow(QStringLiteral("Trang giới thiệu (Referer):"), referrer_);
    advancedForm->addRow(QStringLiteral("Tác nhân người dùng (User-Agent):"), userAgent_);
    layout->addWidget(advancedArea_);
    connect(advanced_, &QToolButton::toggled, this, [this](bool open) {
        advanced_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        advancedArea_->setVisible(open);
        adjustSize();
        if (open)
            referrer_->setFocus(Qt::TabFocusReason); // opened to be filled in
    });

    result_ = new StatusText(this);
    result_->setObjectName(QStringLiteral("result"));
    result_->setAccessibleDescription(QStringLiteral("Kết quả"));
    result_->setAnnounced(true);
    result_->setWordWrap(true);
    layout->addWidget(result_);

    auto* buttons = new QDialogButtonBox(this);
    try_ = buttons->addButton(QStringLiteral("T&hử"), QDialogButtonBox::ActionRole);
    try_->setObjectName(QStringLiteral("try"));
    save_ = buttons->addButton(QStringLiteral("&Lưu"), QDialogButtonBox::AcceptRole);
    save_->setObjectName(QStringLiteral("save"));
    QPushButton* close = buttons->addButton(QStringLiteral("Đóng"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("close"));
    save_->setDefault(true);
    layout->addWidget(buttons);
    connect(try_, &QPushButton::clicked, this, &AddressDialog::tryIt);
    connect(save_, &QPushButton::clicked, this, &AddressDialog::save);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(chooseFile_, &QPushButton::clicked, this, &AddressDialog::chooseFile);

    // The entry's own address, when it has one, to change.
    if (!target.own.url.isEmpty()) {
        address_->setText(target.own.url);
        referrer_->setText(target.own.options.referrer);
        userAgent_->setText(target.own.options.userAgent);
    }
    const bool headers = !referrer_->text().isEmpty() || !userAgent_->text().isEmpty();
    advanced_->setChecked(headers);
    advancedArea_->setVisible(headers);
    address_->setFocus(Qt::OtherFocusReason);
}

void AddressDialog::setAddress(const QString& address) { address_->setText(address); }

QString AddressDialog::resultText() const { return result_->text(); }

void AddressDialog::say(const QString& text) { result_->say(text); }

QString AddressDialog::normalised(const QString& typed)
{
    const QString t = typed.trimmed();
    if (t.startsWith(u'/'))
        return QUrl::fromLocalFile(t).toString(QUrl::FullyEncoded);
    return t;
}

bool AddressDialog::checked(StreamAddress* out)
{
    const QString address = normalised(address_->text());
    const QString referrer = referrer_->text().trimmed();
    const QString userAgent = userAgent_->text().trimmed();
    if (address.isEmpty()) {
        say(QStringLiteral("Hãy nhập một địa chỉ hoặc chọn một tệp video."));
        address_->setFocus(Qt::OtherFocusReason);
        return false;
    }
    const userdata::RowProblem problem = userdata::rowProblem(address, referrer, userAgent, AddressOrigin::Own);
    if (problem != userdata::RowProblem::None) {
        say(userdata::rowProblemText(problem));
        address_->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (isLocalFileAddress(address) && !QFileInfo(QUrl(address).toLocalFile()).isFile()) {
        say(QStringLiteral("Không có tệp %1 trên máy này.").arg(QUrl(address).toLocalFile()));
        address_->setFocus(Qt::OtherFocusReason);
        return false;
    }
    *out = StreamAddress{address, {referrer, userAgent, AddressOrigin::Own}};
    return true;
}

bool AddressDialog::tryIt()
{
    StreamAddress stream;
    if (!checked(&stream))
        return false;
    qCDebug(lcWindows) << "trying" << stream.url << "for" << window_ << control_;
    viewer_.player().play({stream});
    say(QStringLiteral("Đang thử trong cửa sổ phát của kênh; chưa lưu gì."));
    return true;
}

bool AddressDialog::save()
{
    StreamAddress stream;
    if (!checked(&stream))
        return false;
    QString error;
    Program& program = viewer_.program();
    const userdata::SaveOutcome outcome =
        userdata::saveOwnRow(program.catalogue().configDir(), window_, control_,
                              userdata::OwnRow{stream.url, stream.options.referrer, stream.options.userAgent},
                              &error);
    if (outcome != userdata::SaveOutcome::Saved) {
        say(error);
        return false;
    }
    address_->setText(stream.url);
    program.catalogue().reload();
    say(QStringLiteral("Đã lưu. Từ giờ mục này dùng địa chỉ của bạn."));
    return true;
}

void AddressDialog::chooseFile()
{
    const QString start = isLocalFileAddress(normalised(address_->text()))
        ? QFileInfo(QUrl(normalised(address_->text())).toLocalFile()).absolutePath()
        : QString();
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Chọn tệp video"), start,
        QStringLiteral("Tệp video (*.mp4 *.m4v *.mkv *.webm *.avi *.wmv *.asf *.flv *.mov *.mpg *.mpeg *.ts *.m2ts "
                       "*.ogv *.3gp);;Mọi tệp (*)"));
    if (!file.isEmpty())
        address_->setText(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
}

QString droppedAddress(const QMimeData* mime)
{
    if (!mime)
        return {};
    if (mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (isImportList(url))
                continue;
            if (url.isLocalFile()) {
                if (QFileInfo(url.toLocalFile()).isFile())
                    return QUrl::fromLocalFile(url.toLocalFile()).toString(QUrl::FullyEncoded);
                continue;
            }
            const QString text = url.toString(QUrl::FullyEncoded);
            if (isAcceptedAddress(text))
                return text;
        }
        return {};
    }
    if (mime->hasText()) {
        // A link dragged from a browser's text: one line, an address.
        const QString text = mime->text().trimmed();
        if (!text.contains(u'\n') && isAcceptedAddress(text) && !isImportList(QUrl(text)))
            return text;
    }
    return {};
}

} // namespace miravon
