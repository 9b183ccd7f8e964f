#include "catalogueview.h"

#include "navigation.h"
#include "program.h"
#include "steps.h"
#include "programguide.h"
#include "viewerwindow.h"

#include "artwork.h"
#include "buttonuni.h"
#include "catalogue.h"
#include "frameuni.h"
#include "labeluni.h"
#include "look.h"
#include "player.h"
#include "units.h"

#include <QHash>

namespace miravon {
namespace {

constexpr qint64 white = 16777215;

QRect tw(const QRect& r) { return twRect(r.x(), r.y(), r.width(), r.height()); }

// The logo pictures of `vn_` are the artwork "logoN.svg" of control `ImageN`.
QString logoFile(const QString& control)
{
    return QStringLiteral("logo%1.svg").arg(control.mid(int(qstrlen("Image"))));
}

// What a label is to keyboard and screen-reader users.
LabelUni::Use useOf(catalogue::Kind kind)
{
    switch (kind) {
    case catalogue::Kind::Entry:
    case catalogue::Kind::Logo:
        return LabelUni::Use::Entry;
    case catalogue::Kind::Heading:
        return LabelUni::Use::Heading;
    case catalogue::Kind::Inert:
    case catalogue::Kind::Hidden: // never reachable by a click either
        break;
    }
    return LabelUni::Use::Text;
}

// An entry that can play nothing yet looks it: a quiet mark (its
// description, entryDescription(), says why).
void markWithoutAddress(LabelUni& label, const catalogue::Label& l)
{
    label.setWithoutAddress(l.clickable() && l.withoutAddress());
}

} // namespace

QString withoutAddressText(const catalogue::Label& l)
{
    if (l.window == QLatin1String("frmphim"))
        return QStringLiteral("Phim này chưa có địa chỉ xem được. Muốn xem, hãy cho nó một địa chỉ: chuột phải › "
                              "Đặt địa chỉ…");
    return QStringLiteral("Kênh này chưa có địa chỉ xem được: các danh sách kênh không có nó. Hãy cập nhật danh "
                          "sách (Thực đơn › Nguồn kênh), hoặc tự cho nó một địa chỉ (chuột phải › Đặt địa chỉ…).");
}

QString entryToolTip(const catalogue::Label& l, const QString& lastRun, const QString& onAir)
{
    QStringList lines{catalogue::shownCaption(l)};
    if (!onAir.isEmpty())
        lines << onAir;
    switch (l.origin) {
    case AddressOrigin::BuiltIn:
        lines << withoutAddressText(l);
        break;
    case AddressOrigin::Imported:
        if (l.imported.isEmpty()) {
            lines << QStringLiteral("Địa chỉ từ danh sách đã nhập");
        } else {
            const catalogue::ImportedStream& first = l.imported.first();
            QString from = QStringLiteral("Từ danh sách %1: “%2”").arg(first.list, first.title);
            if (l.imported.size() > 1)
                from += QStringLiteral(" (và %1 luồng khác)").arg(l.imported.size() - 1);
            lines << from;
        }
        break;
    case AddressOrigin::Own:
        lines << QStringLiteral("Địa chỉ riêng của bạn (addresses.tsv)");
        break;
    }
    if (!lastRun.isEmpty())
        lines << QStringLiteral("Lần này: %1").arg(lastRun);
    return lines.join(u'\n');
}

QString entryDescription(const catalogue::Label& l, const QString& lastRun)
{
    QString text;
    switch (l.origin) {
    case AddressOrigin::BuiltIn:
        text = !l.withoutAddress() ? QStringLiteral("địa chỉ có sẵn")
            : l.window == QLatin1String("frmphim") ? QStringLiteral("phim chưa có địa chỉ xem được")
                                                   : QStringLiteral("chưa có địa chỉ xem được");
        break;
    case AddressOrigin::Imported:
        text = l.imported.size() > 1 ? QStringLiteral("từ danh sách đã nhập, %1 nguồn").arg(l.imported.size())
                                     : QStringLiteral("từ danh sách đã nhập");
        break;
    case AddressOrigin::Own:
        text = QStringLiteral("địa chỉ riêng của bạn");
        break;
    }
    return lastRun.isEmpty() ? text : text + QStringLiteral("; lần này: %1").arg(lastRun);
}

void populateCatalogue(ViewerWindow& window)
{
    catalogue::RunningCatalogue& running = window.program().catalogue();
    const catalogue::Catalogue& cat = running.catalogue();
    const QString name = windowName(window.id());
    const ProgramGuide& guide = window.program().guide();

    static const QFont titleFont = designFont(QStringLiteral("Tahoma"), 9.75, true, true);
    static const QFont boldFont = designFont(QStringLiteral("Tahoma"), 9.75, true);

    QHash<QString, FrameUni*> panels;
    for (const catalogue::Panel* p : cat.panelsOf(name)) {
        FrameUni* frame = window.addPanel(p->name, p->rect);
        frame->setSetkieugotv(p->vni);
        frame->setCaption(p->title);
        if (!p->title.isEmpty()) {
            frame->setFont(titleFont);
            frame->setForecolor(white);
        }
        frame->setVisible(p->visible);
        panels.insert(p->name, frame);
    }

    for (const catalogue::Label* l : cat.labelsOf(name)) {
        auto* label = new LabelUni(panels.value(l->panel));
        label->setObjectName(l->control);
        if (l->kind == catalogue::Kind::Logo) {
            label->setPixmap(artwork(logoFile(l->control), QSize(), label->devicePixelRatioF()));
            label->setAccessibleName(catalogue::shownCaption(*l));
        } else {
            label->setSetkieugotv(l->vni);
            label->setCaption(l->caption);
        }
        if (l->bold)
            label->setFont(boldFont);
        label->setGeometry(tw(l->rect));
        label->setUse(useOf(l->kind));
        label->setInvitesClick(l->clickable());
        markWithoutAddress(*label, *l);
        // Activation: the entry's address into this window's own player,
        // once, and nothing else. The status line follows the player's
        // events, never the click; the entry is marked as the one playing.
        // The label is read at the click: an import may have given it
        // another address, or made a label without one an entry, since the
        // window was built. An imported address may come with the referrer
        // or user agent its server wants. Its origin goes with it: only the
        // user's own file may name a file of this computer.
        // Its streams are tried in turn, the one that played last first.
        QObject::connect(label, &LabelUni::clicked, &window, [&window, label, l] {
            if (l->clickable() || l->kind == catalogue::Kind::Hidden)
                window.playEntry(label, *l);
        });
        if (l->clickable())
            window.refreshToolTip(label, *l);
        // Its own menu (favourites), by the mouse or the keyboard; asked at
        // the time, as an import may have made it an entry since.
        label->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(label, &QWidget::customContextMenuRequested, &window, [&window, label, l](const QPoint& at) {
            window.showEntryMenu(*l, label->mapToGlobal(at));
        });
        // An import may turn a heading or an inert label into an entry.
        QObject::connect(&running, &catalogue::RunningCatalogue::addressesChanged, label,
                         [&window, label, l] {
                             label->setUse(useOf(l->kind));
                             label->setInvitesClick(l->clickable());
                             markWithoutAddress(*label, *l);
                             window.refreshToolTip(label, *l);
                         });
        // What is on its channel, as programmes begin and end.
        QObject::connect(&guide, &ProgramGuide::changed, label,
                         [&window, label, l] { window.refreshToolTip(label, *l); });
    }

    // Page buttons above the labels, so that a label's edge never takes a
    // button's click.
    for (const catalogue::Button& b : cat.buttons) {
        if (b.window != name)
            continue;
        auto* button = new ButtonUni(panels.value(b.panel));
        button->setObjectName(b.control);
        button->setSetkieugotv(true);
        button->setTx(b.tx);
        button->setAccessibleDescription(pageButtonDestination(window.id(), b.control));
        button->setGeometry(tw(b.rect));
        const QString control = b.control;
        QObject::connect(button, &ButtonUni::clicked, &window,
                         [&window, control] { runPageButton(window.program(), window.id(), control); });
    }

    // Separator lines: one pixel high, drawn over the labels, never taking a
    // click.
    int n = 0;
    for (const catalogue::Line& l : cat.lines) {
        if (l.window != name)
            continue;
        auto* line = new QWidget(panels.value(l.panel));
        line->setObjectName(QStringLiteral("Line%1").arg(++n));
        line->setAttribute(Qt::WA_TransparentForMouseEvents);
        line->setAutoFillBackground(true);
        QPalette pal = line->palette();
        pal.setColor(QPalette::Window, oleColor(l.color));
        line->setPalette(pal);
        const QPoint from = twPoint(l.from.x(), l.from.y());
        const QPoint to = twPoint(l.to.x(), l.to.y());
        line->setGeometry(QRect(from, QPoint(to.x(), std::max(from.y(), to.y()))));
    }
    // The other channels of the panels' countries, from the user's lists.
    if (window.id() != WindowId::frmphim) {
        const QHash<QString, QStringList> all = catalogue::panelCountries(cat);
        QHash<QString, QStringList> mine;
        for (auto it = all.cbegin(); it != all.cend(); ++it)
            if (it.key().startsWith(name + u'/'))
                mine.insert(it.key().mid(name.size() + 1), it.value());
        window.addOtherChannelsLinks(mine);
    }

    qCDebug(lcCatalogue, "%s: %lld panels, %lld labels, %d lines", qUtf8Printable(name),
            qint64(panels.size()), qint64(cat.labelsOf(name).size()), n);
}

} // namespace miravon
