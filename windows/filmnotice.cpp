#include "filmnotice.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace miravon {

FilmNotice::FilmNotice(QWidget* picture, QWidget* above)
    : QFrame(picture->parentWidget())
    , picture_(picture)
    , above_(above)
{
    setObjectName(QStringLiteral("filmNotice"));
    setAccessibleName(QStringLiteral("Phim chưa có địa chỉ"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("filmNoticeText"));
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignCenter);
    QFont f = text_->font();
    f.setBold(true);
    text_->setFont(f);
    layout->addWidget(text_);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    setAddress_ = new QPushButton(QStringLiteral("Đặt địa chỉ…"), this);
    setAddress_->setObjectName(QStringLiteral("setFilmAddress"));
    auto* close = new QPushButton(QStringLiteral("Đóng"), this);
    close->setObjectName(QStringLiteral("closeFilmNotice"));
    row->addWidget(setAddress_);
    row->addWidget(close);
    row->addStretch(1);
    layout->addLayout(row);
    layout->addStretch(1);
    connect(setAddress_, &QPushButton::clicked, this, &FilmNotice::setAddressRequested);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    hide();
}

QString FilmNotice::textFor(const QString& film)
{
    return QStringLiteral("Phim “%1” chưa có địa chỉ xem được.\n"
                          "Để xem phim này, hãy đặt địa chỉ cho nó: nút “Đặt địa chỉ…” dưới đây, hoặc nhấn chuột "
                          "phải vào tên phim (phím menu) rồi chọn “Đặt địa chỉ…”.")
        .arg(film);
}

void FilmNotice::showFor(const QString& film)
{
    text_->setText(textFor(film));
    // Over the player's face (nothing plays), under the status line.
    setGeometry(picture_->geometry());
    show();
    raise();
    if (above_)
        above_->raise();
}

QString FilmNotice::text() const { return text_->text(); }

} // namespace miravon
