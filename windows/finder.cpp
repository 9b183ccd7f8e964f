#include "finder.h"

#include "channellist.h"
#include "chooserwindow.h"
#include "logging.h"
#include "navigation.h"
#include "program.h"
#include "programwindow.h"
#include "steps.h"
#include "viewerwindow.h"

#include "labeluni.h"
#include "standin.h"
#include "vni.h"

#include <QHash>
#include <QSet>

#include <map>

namespace miravon {
namespace {

// A panel in view: its window shown, the panel visible.
struct Place {
    WindowId window;
    QString panel;
    friend bool operator==(const Place&, const Place&) = default;
};

// The panel a row of steps makes visible, and its window.
std::optional<Place> shownBy(const StepList& steps)
{
    for (const Step& s : steps)
        if (s.op == Step::Op::PanelOn && s.window != WindowId::chonkenh)
            return Place{s.window, s.panel};
    return std::nullopt;
}

// The chooser's page buttons, from page 1 on: which turns to the next.
QStringList chooserTurnsTo(int page)
{
    QStringList turns;
    if (page >= 2)
        turns << QStringLiteral("cont");
    if (page >= 3)
        turns << QStringLiteral("ButtonUni2");
    return turns;
}

// One step a user takes to bring a panel into view: a menu command of the
// window in front, an entry of the country chooser (its page turned to it
// first), or a page button inside a panel.
struct RouteStep {
    enum class Kind { Menu, Chooser, PageButton };
    Kind kind;
    WindowId window; // the menu's or the page button's window; chonkenh for the chooser
    QString control;
};

// The fewest steps that show `panel` of `window`, from the windows as they
// stand, starting at the menu bar of `from`; empty when it shows already,
// none when there is no way.
std::optional<QList<RouteStep>> routeTo(Program& program, WindowId from, WindowId window, const QString& panel)
{
    const Place goal{window, panel};
    // Where the user stands: the window in front with its visible panel.
    auto visiblePanelOf = [&program](WindowId id) -> QString {
        if (!program.isLoaded(id) || !hasPlayer(id))
            return {};
        const QStringList shown = program.window(id).visiblePanels();
        return shown.isEmpty() ? QString() : shown.first();
    };
    struct Way {
        QList<RouteStep> steps;
        int cost = 0;
    };
    std::vector<std::pair<Place, Way>> open;
    if (program.isLoaded(window) && program.window(window).isVisible()) {
        const QString shown = visiblePanelOf(window);
        if (!shown.isEmpty())
            open.push_back({Place{window, shown}, {}});
    }
    // The menu commands of the window in front.
    for (const char* item : {"asdf", "phim", "Phim"}) {
        const StepList* steps = findSteps(StepTable::Menu, from, QLatin1String(item));
        if (!steps)
            continue;
        if (std::optional<Place> p = shownBy(*steps)) {
            open.push_back({*p, {{{RouteStep::Kind::Menu, from, QLatin1String(item)}}, 1}});
        } else {
            // The movie window opens on the page it shows.
            for (const Step& s : *steps)
                if (s.op == Step::Op::Show && hasPlayer(s.window)) {
                    const QString shown = visiblePanelOf(s.window);
                    open.push_back({Place{s.window, shown.isEmpty() ? QStringLiteral("trang1") : shown},
                                    {{{RouteStep::Kind::Menu, from, QLatin1String(item)}}, 1}});
                    break;
                }
        }
    }
    // The chooser's country entries: open it, turn to the entry's page, choose.
    for (const RowKey& row : tableRows(StepTable::Chooser)) {
        const StepList* steps = findSteps(StepTable::Chooser, WindowId::chonkenh, row.control);
        const std::optional<Place> p = steps ? shownBy(*steps) : std::nullopt;
        const int page = chooserPageOf(row.control);
        if (!p || page == 0)
            continue;
        Way way;
        way.steps << RouteStep{RouteStep::Kind::Menu, from, QStringLiteral("thegioi")};
        for (const QString& turn : chooserTurnsTo(page))
            way.steps << RouteStep{RouteStep::Kind::Chooser, WindowId::chonkenh, turn};
        way.steps << RouteStep{RouteStep::Kind::Chooser, WindowId::chonkenh, row.control};
        way.cost = int(way.steps.size());
        open.push_back({*p, way});
    }

    // The page buttons, by the panel they stand in.
    const catalogue::Catalogue& cat = program.catalogue().catalogue();
    QHash<QString, QList<const catalogue::Button*>> buttonsIn;
    for (const catalogue::Button& b : cat.buttons)
        buttonsIn[b.window + u'/' + b.panel] << &b;

    // The cheapest way to each place (few places, few steps: a plain scan).
    std::map<std::pair<int, QString>, Way> best;
    auto key = [](const Place& p) { return std::pair(int(p.window), p.panel); };
    while (!open.empty()) {
        auto cheapest = std::min_element(open.begin(), open.end(),
                                         [](const auto& a, const auto& b) { return a.second.cost < b.second.cost; });
        const auto [place, way] = *cheapest;
        open.erase(cheapest);
        if (best.count(key(place)))
            continue;
        best[key(place)] = way;
        if (place == goal)
            return way.steps;
        for (const catalogue::Button* b : buttonsIn.value(windowName(place.window) + u'/' + place.panel)) {
            const StepList* steps = findSteps(StepTable::PageButton, place.window, b->control);
            const std::optional<Place> next = steps ? shownBy(*steps) : std::nullopt;
            if (!next || best.count(key(*next)))
                continue;
            Way further = way;
            further.steps << RouteStep{RouteStep::Kind::PageButton, place.window, b->control};
            further.cost += 1;
            open.push_back({*next, further});
        }
    }
    qCDebug(lcWindows) << "no way to" << windowName(window) << panel;
    return std::nullopt;
}

// Takes the steps that show `panel` of `window`, as the user would, and
// shows the window. The chooser is a way there, not where the user goes: one
// that was not open before is put away again.
bool bringPanel(Program& program, WindowId from, WindowId window, const QString& panel)
{
    const std::optional<QList<RouteStep>> route = routeTo(program, from, window, panel);
    if (!route)
        return false;
    const bool chooserOpen = program.isLoaded(WindowId::chonkenh) && program.window(WindowId::chonkenh).isVisible();
    bool chooserUsed = false;
    for (const RouteStep& step : *route) {
        qCDebug(lcWindows) << "go:" << windowName(step.window) << step.control;
        switch (step.kind) {
        case RouteStep::Kind::Menu:
            runMenuCommand(program, step.window, step.control);
            break;
        case RouteStep::Kind::Chooser:
            runChooserControl(program, step.control);
            chooserUsed = true;
            break;
        case RouteStep::Kind::PageButton:
            runPageButton(program, step.window, step.control);
            break;
        }
        if (program.ending())
            return false;
    }
    if (chooserUsed && !chooserOpen)
        program.hide(WindowId::chonkenh);
    program.show(window);
    return true;
}

// The panel a country is shown on, and the window it is on, or none: of
// the panels that stand for it, the one the fewest steps bring into view
// (one in view already, else the first in countries.tsv's order).
struct Home {
    WindowId window;
    QString panel;
    QStringList countries;
};
std::optional<Home> homeOf(Program& program, WindowId from, const QString& country)
{
    const catalogue::Catalogue& cat = program.catalogue().catalogue();
    const QHash<QString, QStringList> countries = catalogue::panelCountries(cat);
    std::optional<Home> best;
    qsizetype bestSteps = 0;
    for (const catalogue::Panel& p : cat.panels) {
        const QStringList codes = countries.value(p.window + u'/' + p.name);
        const std::optional<WindowId> window = windowByName(p.window);
        if (!codes.contains(country) || !window || !hasPlayer(*window))
            continue;
        const std::optional<QList<RouteStep>> route = routeTo(program, from, *window, p.name);
        if (route && (!best || route->size() < bestSteps)) {
            best = Home{*window, p.name, codes};
            bestSteps = route->size();
        }
    }
    return best;
}

} // namespace

bool goToEntry(Program& program, WindowId from, const QString& windowText, const QString& control)
{
    const std::optional<WindowId> window = windowByName(windowText);
    const catalogue::Label* label =
        window ? program.catalogue().catalogue().label(windowText, control) : nullptr;
    if (!label || !hasPlayer(*window))
        return false;
    if (!bringPanel(program, from, *window, label->panel))
        return false;
    ViewerWindow& viewer = program.viewer(*window);
    auto* entry = viewer.findChild<LabelUni*>(control);
    if (!entry)
        return false;
    viewer.closeChannelList();
    entry->click();
    entry->setFocus(Qt::OtherFocusReason);
    return true;
}

bool goToChannel(Program& program, WindowId from, const QString& key)
{
    const auto set = program.catalogue().listChannels();
    const catalogue::ListChannel* channel = set->channel(key);
    if (!channel)
        return false;
    // A channel that gave an entry its address is that entry.
    if (!channel->entry.isEmpty())
        return goToEntry(program, from, channel->entry.section(u'/', 0, 0), channel->entry.section(u'/', 1));
    WindowId window = from;
    QString panel;
    QStringList countries{channel->country};
    if (const std::optional<Home> home = homeOf(program, from, channel->country)) {
        if (!bringPanel(program, from, home->window, home->panel))
            return false;
        window = home->window;
        panel = home->panel;
        countries = home->countries;
    } else if (!hasPlayer(from)) {
        return false;
    } else {
        program.show(from); // a country without a panel: in the window it was asked from
    }
    ViewerWindow& viewer = program.viewer(window);
    ChannelList* list = viewer.openChannelList(countries, panel);
    list->select(key);
    return viewer.playChannel(key);
}

namespace {

// What an entry is, as a person says it, for the finder and the menus: its
// country ("Đức"; "Antigua và Barbuda, Argentina" under a heading of two),
// or "Phim".
QString placeOf(const QString& window, const QString& panelTitle, const QStringList& countries)
{
    if (window == QLatin1String("frmphim"))
        return QStringLiteral("Phim");
    QStringList names;
    for (const QString& c : countries)
        names << search::countryName(c);
    if (!names.isEmpty())
        return names.join(QStringLiteral(", "));
    QString panel = vniToUnicode(panelTitle);
    panel.remove(QStringLiteral("Các kênh truyền hình "));
    return panel;
}

} // namespace

EntryIndex::EntryIndex(Program& program)
    : QObject(&program)
    , program_(program)
{
    rebuild();
    connect(&program.catalogue(), &catalogue::RunningCatalogue::addressesChanged, this, &EntryIndex::rebuild);
    connect(&program.catalogue(), &catalogue::RunningCatalogue::channelsChanged, this, &EntryIndex::rebuild);
}

void EntryIndex::rebuild()
{
    const catalogue::Catalogue& cat = program_.catalogue().catalogue();
    const QHash<QString, QStringList> countries = catalogue::entryCountries(cat);
    const QHash<QString, QStringList> names = catalogue::otherNames();
    QHash<QString, QString> titles;
    for (const catalogue::Panel& p : cat.panels)
        titles.insert(p.window + u'/' + p.name, p.title);
    channels_ = program_.catalogue().listChannels();
    QList<search::Entry> entries;
    for (const catalogue::Label& l : cat.labels) {
        if (!l.clickable())
            continue;
        const QString key = l.window + u'/' + l.control;
        const QStringList codes = countries.value(key);
        QStringList known = names.value(key);
        // Also by the name its list gives the channel that gave its address.
        if (const catalogue::ListChannel* c = channels_->ofEntry(l.window, l.control))
            known << c->name;
        entries << search::Entry{l.window, l.panel, l.control, catalogue::shownCaption(l), known, codes,
                                 placeOf(l.window, titles.value(l.window + u'/' + l.panel), codes),
                                 !l.address.isEmpty() && !isStandInAddress(l.address)};
    }
    at_.clear();
    for (qsizetype i = 0; i < entries.size(); ++i)
        at_.insert(entries.at(i).window + u'/' + entries.at(i).control, int(i));
    channelAt_.clear();
    index_ = search::Index({std::make_shared<const search::Segment>(std::move(entries)), channels_->found()});
}

const search::Entry* EntryIndex::entry(const QString& window, const QString& control) const
{
    if (window == catalogue::listWindow()) {
        // Looked up by key only when asked (the kept menus), not at each rebuild.
        const search::Segment& found = *channels_->found();
        if (channelAt_.isEmpty() && found.size() > 0)
            for (qsizetype i = 0; i < found.size(); ++i)
                channelAt_.insert(found.entry(i).control, int(i));
        const auto it = channelAt_.constFind(control);
        if (it != channelAt_.cend())
            return &found.entry(*it);
        // Kept when it was one of the other channels, it has since given
        // an entry its address: it is that entry now.
        const catalogue::ListChannel* c = channels_->channel(control);
        return c && !c->entry.isEmpty() ? entry(c->entry.section(u'/', 0, 0), c->entry.section(u'/', 1)) : nullptr;
    }
    const auto it = at_.constFind(window + u'/' + control);
    return it == at_.cend() ? nullptr : &index_.entry(*it);
}

} // namespace miravon
