#include "addressdialog.h"

#include "logging.h"
#include "program.h"
#include "viewerwindow.h"

#include "addresspolicy.h"
#include "artwork.h"
#include "filetext.h"
#include "ownfile.h"
#include "player.h"
#include "playerstates.h"
#include "standin.h"
#include "statustext.h"
#include "userfiles.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
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
    , film_(target.film)
{
    setObjectName(QStringLiteral("addressDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    const QString caption = target.name;
    setWindowTitle(QStringLiteral("Đặt địa chỉ — %1").arg(caption));
    setWindowIcon(programIcon());

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(film_ ? QStringLiteral("Địa chỉ của riêng bạn cho phim “%1”: một địa chỉ trên mạng hoặc "
                                                    "một tệp video của máy này.")
                                         .arg(caption)
                                   : QStringLiteral("Địa chỉ của riêng bạn cho kênh “%1”. Nó được ưu tiên hơn mọi "
                                                    "danh sách kênh đã nhập.")
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
        // Opened to be filled in. Once the fields are shown and told to
        // screen readers (the next turn of the loop), so that the focus
        // lands on a field a screen reader already knows.
        if (open)
            QTimer::singleShot(0, referrer_, [this] { referrer_->setFocus(Qt::TabFocusReason); });
    });

    result_ = new StatusText(this);
    result_->setObjectName(QStringLiteral("result"));
    result_->setAccessibleDescription(QStringLiteral("Kết quả"));
    result_->setWordWrap(true);
    // Room above and below the lines for the stacked marks of Vietnamese
    // capitals, which reach past the font's ascent.
    const int room = result_->fontMetrics().height() / 4;
    result_->setContentsMargins(0, room, 0, room);
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
    // How the try goes, as the player tells it: it plays, or it failed
    // (every stream given tried); a stop ends the try untold.
    Player& player = viewer_.player();
    connect(&player, &Player::playStateChange, this, [this](int state) {
        if (tried_ != Tried::Pending)
            return;
        if (state == PlayState::Playing) {
            tried_ = Tried::Played;
            say(QStringLiteral("Địa chỉ này phát được trong cửa sổ phát của %1. Bấm Lưu để giữ nó; chưa lưu gì.")
                    .arg(kind()));
        } else if (state == PlayState::Ready) {
            tried_ = Tried::Failed;
            say(QStringLiteral("Địa chỉ này không phát được (lý do hiện trong cửa sổ phát của %1); chưa lưu gì.")
                    .arg(kind()));
        } else if (state == PlayState::Stopped) {
            tried_ = Tried::No;
            say(QStringLiteral("Đã dừng thử; chưa lưu gì."));
        }
    });
    connect(try_, &QPushButton::clicked, this, &AddressDialog::tryIt);
    connect(save_, &QPushButton::clicked, this, &AddressDialog::save);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(chooseFile_, &QPushButton::clicked, this, &AddressDialog::chooseFile);

    // The address the entry has now, to change: the user's own, else the
    // import's or the built-in one, but never a stand-in that cannot play.
    StreamAddress now = target.own;
    if (now.url.isEmpty()) {
        const catalogue::Label* l = viewer_.program().catalogue().catalogue().label(window_, control_);
        if (l && !l->address.isEmpty() && !isStandInAddress(l->address))
            now = l->stream();
    }
    if (!now.url.isEmpty()) {
        address_->setText(now.url);
        address_->selectAll(); // typing replaces it
        referrer_->setText(now.options.referrer);
        userAgent_->setText(now.options.userAgent);
    }
    const bool headers = !referrer_->text().isEmpty() || !userAgent_->text().isEmpty();
    advanced_->setChecked(headers);
    advancedArea_->setVisible(headers);
    address_->setFocus(Qt::OtherFocusReason);
}

void AddressDialog::setAddress(const QString& address) { address_->setText(address); }

QString AddressDialog::resultText() const { return result_->text(); }

QString AddressDialog::kind() const { return film_ ? QStringLiteral("phim") : QStringLiteral("kênh"); }

void AddressDialog::say(const QString& text)
{
    result_->say(text);
    // The window grows to show the whole result; it never shrinks under
    // the person's hands.
    layout()->activate();
    const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width()) : sizeHint().height();
    if (height > this->height())
        resize(width(), height);
}

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
    if (isLocalFileAddress(address)) {
        // Named as what it is: a folder or a FIFO is no missing file.
        const QString why = userdata::readProblemText(QUrl(address).toLocalFile(), -1, true);
        if (!why.isEmpty()) {
            say(why);
            address_->setFocus(Qt::OtherFocusReason);
            return false;
        }
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
    // Pending before the player is asked: it may tell at once.
    tried_ = Tried::Pending;
    triedStream_ = stream;
    say(QStringLiteral("Đang thử trong cửa sổ phát của %1; chưa lưu gì.").arg(kind()));
    viewer_.player().play({stream});
    return true;
}

bool AddressDialog::save()
{
    StreamAddress stream;
    if (saving_ || !checked(&stream))
        return false;
    const bool seenPlaying = tried_ == Tried::Played && triedStream_.url == stream.url
        && triedStream_.options.referrer == stream.options.referrer
        && triedStream_.options.userAgent == stream.options.userAgent;
    if (seenPlaying) {
        write(stream);
        return true;
    }
    if (question_)
        return true;
    QString asked;
    if (triedStream_.url == stream.url && tried_ == Tried::Failed)
        asked = QStringLiteral("Lần thử vừa rồi không phát được địa chỉ này. Vẫn lưu nó cho %1 này?").arg(kind());
    else if (triedStream_.url == stream.url && tried_ == Tried::Pending)
        asked = QStringLiteral("Địa chỉ này đang được thử, chưa biết có phát được không. Vẫn lưu nó cho %1 này?")
                    .arg(kind());
    else
        asked = QStringLiteral("Địa chỉ này chưa được thử (nút Thử). Vẫn lưu nó cho %1 này?").arg(kind());
    question_ = new QMessageBox(QMessageBox::Question, windowTitle(), asked, QMessageBox::NoButton, this);
    question_->setObjectName(QStringLiteral("confirmSave"));
    QPushButton* yes = question_->addButton(QStringLiteral("&Vẫn lưu"), QMessageBox::AcceptRole);
    yes->setObjectName(QStringLiteral("saveAnyway"));
    QPushButton* no = question_->addButton(QStringLiteral("&Không"), QMessageBox::RejectRole);
    no->setObjectName(QStringLiteral("dontSave"));
    question_->setDefaultButton(no);
    question_->setEscapeButton(no);
    question_->setAttribute(Qt::WA_DeleteOnClose);
    connect(question_, &QMessageBox::finished, this, [this, yes, stream] {
        if (question_ && question_->clickedButton() == yes)
            write(stream);
        else
            say(QStringLiteral("Chưa lưu gì."));
    });
    question_->open();
    return true;
}

void AddressDialog::write(const StreamAddress& stream)
{
    saving_ = true;
    for (QWidget* w : std::initializer_list<QWidget*>{try_, save_, chooseFile_})
        w->setEnabled(false);
    say(QStringLiteral("Đang lưu…"));
    saveOwnAddress(viewer_.program(), this, window_, control_,
                   userdata::OwnRow{stream.url, stream.options.referrer, stream.options.userAgent},
                   [this, url = stream.url](bool saved, const QString& error) {
                       saving_ = false;
                       for (QWidget* w : std::initializer_list<QWidget*>{try_, save_, chooseFile_})
                           w->setEnabled(true);
                       if (saved) {
                           address_->setText(url);
                           say(QStringLiteral("Đã lưu. Từ giờ %1 này dùng địa chỉ của bạn.").arg(kind()));
                       } else {
                           say(error);
                       }
                       emit finished(saved);
                   });
}

void saveOwnAddress(Program& program, QObject* context, const QString& window, const QString& control,
                    const std::optional<userdata::OwnRow>& row,
                    std::function<void(bool saved, const QString& error)> done)
{
    using Result = std::pair<bool, QString>;
    const QString dir = program.catalogue().configDir();
    files::inBackground<Result>(
        context,
        [dir, window, control, row] {
            QString error;
            const bool saved = userdata::saveOwnRow(dir, window, control, row, &error, files::backgroundWaitMs)
                == userdata::SaveOutcome::Saved;
            return Result{saved, error};
        },
        [&program, done = std::move(done)](const Result& r) {
            if (r.first)
                program.catalogue().reload();
            done(r.first, r.second);
        });
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
