#include "guidesection.h"

#include "program.h"
#include "programguide.h"
#include "sourceswindow.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace miravon {
namespace {

QString when(const QDateTime& t)
{
    return t.isValid() ? QLocale(QLocale::Vietnamese).toString(t.toLocalTime(), QStringLiteral("dd/MM/yyyy HH:mm"))
                       : QString();
}

QString stateText(const guide::SourceState& s)
{
    if (s.busy)
        return QStringLiteral("đang đọc…");
    if (!s.error.isEmpty())
        return s.read.isValid() ? QStringLiteral("lần đọc sau không được: %1 (vẫn dùng lần đọc trước)").arg(s.error)
                                : QStringLiteral("không đọc được: %1").arg(s.error);
    if (!s.read.isValid())
        return QStringLiteral("chưa đọc");
    return QString();
}

} // namespace

GuideSection::GuideSection(guide::GuideService& service, QWidget* parent)
    : QWidget(parent)
    , service_(service)
{
    setObjectName(QStringLiteral("guideSection"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* title = new QLabel(QStringLiteral("Lịch phát sóng: các nguồn lịch (XMLTV) đang dùng, mỗi nguồn đọc "
                                            "nhiều nhất một lần một ngày:"),
                             this);
    title->setWordWrap(true);
    layout->addWidget(title);

    guides_ = new QTreeWidget(this);
    guides_->setObjectName(QStringLiteral("guides"));
    guides_->setAccessibleName(QStringLiteral("Các nguồn lịch phát sóng"));
    guides_->setRootIsDecorated(false);
    guides_->setHeaderLabels({QStringLiteral("Nguồn lịch"), QStringLiteral("Đọc lúc"), QStringLiteral("Kênh"),
                              QStringLiteral("Chương trình"), QStringLiteral("Ghi chú")});
    guides_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    title->setBuddy(guides_);
    layout->addWidget(guides_, 1);

    auto* row = new QHBoxLayout;
    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("guideAddress"));
    address_->setPlaceholderText(QStringLiteral("Địa chỉ lịch: https://… hoặc tệp .xml, .xml.gz"));
    address_->setAccessibleName(QStringLiteral("Địa chỉ nguồn lịch cần thêm"));
    row->addWidget(address_, 1);
    add_ = new QPushButton(QStringLiteral("Thêm &lịch"), this);
    add_->setObjectName(QStringLiteral("addGuide"));
    row->addWidget(add_);
    auto* file = new QPushButton(QStringLiteral("Tệp lịch…"), this);
    file->setObjectName(QStringLiteral("addGuideFile"));
    row->addWidget(file);
    refresh_ = new QPushButton(QStringLiteral("Đọc lại"), this);
    refresh_->setObjectName(QStringLiteral("refreshGuide"));
    row->addWidget(refresh_);
    remove_ = new QPushButton(QStringLiteral("Bỏ nguồn lịch"), this);
    remove_->setObjectName(QStringLiteral("removeGuide"));
    row->addWidget(remove_);
    layout->addLayout(row);

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("guideMessage"));
    message_->setWordWrap(true);
    layout->addWidget(message_);

    connect(add_, &QPushButton::clicked, this, [this] { add(address_->text().trimmed()); });
    connect(address_, &QLineEdit::returnPressed, this, [this] { add(address_->text().trimmed()); });
    connect(file, &QPushButton::clicked, this, &GuideSection::chooseFile);
    connect(remove_, &QPushButton::clicked, this, &GuideSection::removeChosen);
    connect(refresh_, &QPushButton::clicked, this, &GuideSection::refreshChosen);
    connect(guides_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        remove_->setEnabled(item && item->data(0, Qt::UserRole + 1).toBool());
        refresh_->setEnabled(item != nullptr);
    });
    connect(&service_, &guide::GuideService::sourcesChanged, this, &GuideSection::showStates);
    showStates(service_.sources());
}

void GuideSection::showStates(const QList<guide::SourceState>& states)
{
    const QString chosen = guides_->currentItem() ? guides_->currentItem()->data(0, Qt::UserRole).toString() : QString();
    guides_->clear();
    for (const guide::SourceState& s : states) {
        const bool read = s.read.isValid();
        auto* item = new QTreeWidgetItem(
            {s.source.address + (s.source.byUser ? QString() : QStringLiteral(" (do danh sách kênh nêu)")),
             when(read ? s.read : s.tried), read ? QString::number(s.channels) : QString(),
             read ? QString::number(s.programmes) : QString(), stateText(s)});
        item->setData(0, Qt::UserRole, s.source.address);
        item->setData(0, Qt::UserRole + 1, s.source.byUser);
        item->setToolTip(0, s.source.address);
        item->setToolTip(4, s.error);
        guides_->addTopLevelItem(item);
        if (s.source.address == chosen)
            guides_->setCurrentItem(item);
    }
    if (states.isEmpty()) {
        auto* none = new QTreeWidgetItem({QStringLiteral("(chưa có nguồn lịch nào: thêm một địa chỉ bên dưới, "
                                                         "hoặc nhập một danh sách kênh có nêu lịch)")});
        none->setFlags(Qt::ItemIsEnabled);
        guides_->addTopLevelItem(none);
    }
    remove_->setEnabled(guides_->currentItem() && guides_->currentItem()->data(0, Qt::UserRole + 1).toBool());
    refresh_->setEnabled(guides_->currentItem() && !guides_->currentItem()->data(0, Qt::UserRole).isNull());
}

bool GuideSection::add(const QString& address)
{
    if (address.isEmpty()) {
        say(QStringLiteral("Hãy gõ địa chỉ của một lịch phát sóng (https://…) hoặc chọn một tệp .xml, .xml.gz."));
        return false;
    }
    QString why;
    if (!service_.addSource(address, &why)) {
        say(why);
        return false;
    }
    address_->clear();
    say(QStringLiteral("Đã thêm nguồn lịch; đang đọc."));
    return true;
}

void GuideSection::chooseFile()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Chọn tệp lịch phát sóng"), QString(),
                                                      QStringLiteral("Lịch XMLTV (*.xml *.xml.gz)"));
    if (!file.isEmpty())
        add(file);
}

void GuideSection::removeChosen()
{
    QTreeWidgetItem* item = guides_->currentItem();
    if (!item || !item->data(0, Qt::UserRole + 1).toBool()) {
        say(QStringLiteral("Chỉ bỏ được nguồn lịch bạn tự thêm; lịch do danh sách kênh nêu đi cùng danh sách ấy."));
        return;
    }
    const QString address = item->data(0, Qt::UserRole).toString();
    say(service_.removeSource(address) ? QStringLiteral("Đã bỏ nguồn lịch %1.").arg(address)
                                       : QStringLiteral("Không bỏ được nguồn lịch %1.").arg(address));
}

void GuideSection::refreshChosen()
{
    QTreeWidgetItem* item = guides_->currentItem();
    if (!item || item->data(0, Qt::UserRole).isNull())
        return;
    service_.refresh(item->data(0, Qt::UserRole).toString());
    say(QStringLiteral("Đang đọc lại nguồn lịch."));
}

QString GuideSection::message() const { return message_->text(); }

void GuideSection::say(const QString& text) { message_->setText(text); }

SourcesWindow& openSourcesWindow(Program& program)
{
    SourcesWindow& window = showSourcesWindow(program.imports());
    if (!window.findChild<GuideSection*>())
        window.addSection(new GuideSection(program.guide().service()));
    return window;
}

} // namespace miravon
