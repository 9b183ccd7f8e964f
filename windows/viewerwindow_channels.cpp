// The other channels of the user's lists in a viewer window: the links on
// the panels' frames, and the list that opens in the panels' place.
#include "viewerwindow.h"

#include "channellist.h"
#include "programguide.h"
#include "program.h"

#include "frameuni.h"
#include "labeluni.h"
#include "player.h"

#include <QApplication>
#include <QEvent>

namespace miravon {

namespace {

// What a list of `countries` is titled by: the country's name, or, for
// several, what they have in common.
QString listTitle(const QStringList& countries)
{
    if (countries.size() == 1)
        return search::countryName(countries.first());
    return QStringLiteral("Các kênh khác");
}

// What a link opens, for screen readers.
QString linkWhat(const QStringList& countries)
{
    QStringList names;
    for (const QString& c : countries)
        names << search::countryName(c);
    return QStringLiteral("các kênh khác của %1").arg(names.join(QStringLiteral(", ")));
}

} // namespace

FrameUni* ViewerWindow::panelSeen() const
{
    // Of the panels in view, the one stacked highest.
    const QObjectList children = client_->children();
    for (auto it = children.crbegin(); it != children.crend(); ++it)
        if (auto* p = qobject_cast<FrameUni*>(*it); p && !p->isHidden() && panels_.value(p->objectName()) == p)
            return p;
    return nullptr;
}

bool ViewerWindow::channelListOpen() const { return channelList_ && !channelList_->isHidden(); }

ChannelList* ViewerWindow::openChannelList(const QStringList& countries, const QString& panelName)
{
    catalogue::RunningCatalogue& running = program().catalogue();
    if (!channelList_) {
        channelList_ = new ChannelList(client_);
        channelList_->model()->setSources(
            &running, [this](const QString& key) { return lastRun(catalogue::listWindow(), key); });
        // What is on, as programmes begin and end.
        channelList_->model()->setOnAir(
            {[this](const QString& key) {
                 const guide::Programme now = program().guide().nowNext(key).now;
                 return now.isValid() ? QStringLiteral("Đang phát: %1").arg(now.title) : QString();
             },
             [this](const QString& key) { return program().guide().nowNextText(catalogue::listWindow(), key); }});
        connect(&program().guide(), &ProgramGuide::changed, channelList_, [this] { channelList_->model()->refresh(); });
        connect(channelList_, &ChannelList::chosen, this, [this](const QString& key) { playChannel(key); });
        connect(channelList_, &ChannelList::menuRequested, this, &ViewerWindow::showChannelMenu);
        connect(channelList_, &ChannelList::backRequested, this, &ViewerWindow::closeChannelList);
        // New channels (an import) fill the list anew, on the same row.
        connect(&running, &catalogue::RunningCatalogue::channelsChanged, channelList_, [this] {
            channelList_->fill(program().catalogue().listChannels(), channelList_->countries(),
                               channelList_->title());
        });
        connect(&running, &catalogue::RunningCatalogue::addressesChanged, channelList_,
                [this] { channelList_->model()->refresh(); });
    }
    // In the place of the panel it stands for, else of the panel in view.
    QWidget* over = panel(panelName);
    if (!over)
        over = panelSeen();
    if (!over && !panelOrder_.isEmpty())
        over = panel(panelOrder_.first());
    if (over)
        channelList_->setGeometry(over->geometry());
    listPanel_ = panelName;
    channelList_->fill(running.listChannels(), countries, listTitle(countries));
    channelList_->model()->setPlaying(playing_ && playing_->window == catalogue::listWindow() ? playing_->control
                                                                                              : QString());
    // The panels keep their state under the list, out of the keys' reach.
    for (FrameUni* p : std::as_const(panels_))
        p->setEnabled(false);
    channelList_->stackUnder(player_->widget());
    channelList_->open();
    updateOtherChannels();
    return channelList_;
}

void ViewerWindow::closeChannelList()
{
    if (!channelListOpen())
        return;
    const bool hadFocus = channelList_->isAncestorOf(QApplication::focusWidget());
    channelList_->hide();
    for (FrameUni* p : std::as_const(panels_))
        p->setEnabled(true);
    updateOtherChannels();
    if (!hadFocus)
        return;
    // Back where the list was opened from: its link, else the panel in view.
    if (OtherChannelsLink* link = links_.value(listPanel_); link && link->isVisible()) {
        link->setFocus(Qt::OtherFocusReason);
        return;
    }
    for (const QString& name : visiblePanels()) {
        for (LabelUni* l : panel(name)->findChildren<LabelUni*>(Qt::FindDirectChildrenOnly)) {
            if (l->use() == LabelUni::Use::Entry) {
                l->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
    }
}

void ViewerWindow::addOtherChannelsLinks(const QHash<QString, QStringList>& countriesByPanel)
{
    for (const QString& name : std::as_const(panelOrder_)) {
        const QStringList countries = countriesByPanel.value(name);
        FrameUni* p = panels_.value(name);
        if (countries.isEmpty() || !p)
            continue;
        auto* link = new OtherChannelsLink(client_);
        link->setObjectName(QStringLiteral("otherChannels_") + name);
        link->setWhat(linkWhat(countries));
        link->hide();
        connect(link, &QAbstractButton::clicked, this, [this, countries, name] { openChannelList(countries, name); });
        // Tab comes to it after the last control of its panel.
        QWidget* last = nullptr;
        for (QWidget* w : p->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w->focusPolicy() & Qt::TabFocus)
                last = w;
        if (last)
            QWidget::setTabOrder(last, link);
        links_.insert(name, link);
        linkCountries_.insert(name, countries);
        p->installEventFilter(this);
    }
    if (!links_.isEmpty())
        connect(&program().catalogue(), &catalogue::RunningCatalogue::channelsChanged, this,
                &ViewerWindow::updateOtherChannels);
    updateOtherChannels();
}

void ViewerWindow::panelStepped()
{
    // A way to a panel was taken: the panel is what the user asked for.
    closeChannelList();
}

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
        && links_.contains(watched->objectName()) && panels_.value(watched->objectName()) == watched)
        updateOtherChannels();
    return ProgramWindow::eventFilter(watched, event);
}

void ViewerWindow::updateOtherChannels()
{
    if (links_.isEmpty())
        return;
    const auto set = program().catalogue().listChannels();
    FrameUni* seen = panelSeen();
    const bool listOpen = channelListOpen();
    for (auto it = links_.cbegin(); it != links_.cend(); ++it) {
        OtherChannelsLink* link = it.value();
        FrameUni* p = panels_.value(it.key());
        qsizetype count = 0;
        for (const QString& c : linkCountries_.value(it.key()))
            count += set->otherCount(c);
        if (count != link->count() || link->geometry().isEmpty()) {
            link->setCount(count);
            const QRect at = placeOnFrame(*p, link->sizeHint(), p->titleRect());
            link->setGeometry(at.translated(p->pos()));
        }
        const bool shown = count > 0 && p == seen && !listOpen;
        if (shown)
            link->raise();
        link->setVisible(shown);
    }
}

} // namespace miravon
