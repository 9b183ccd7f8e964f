#include "finder.h"

#include "chooserwindow.h"
#include "logging.h"
#include "navigation.h"
#include "program.h"
#include "programwindow.h"
#include "steps.h"

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
// stand, starting at the menu bar of `from`; empty when it shows already.
QList<RouteStep> routeTo(Program& program, WindowId from, WindowId window, const QString& panel)
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
    return {};
}

} // namespace

bool goToEntry(Program& program, WindowId from, const QString& windowText, const QString& control)
{
    const std::optional<WindowId> window = windowByName(windowText);
    const catalogue::Label* label =
        window ? program.catalogue().catalogue().label(windowText, control) : nullptr;
    if (!label || !hasPlayer(*window))
        return false;
    const QList<RouteStep> route = routeTo(program, from, *window, label->panel);
    const bool inView = program.isLoaded(*window) && program.window(*window).isVisible()
        && program.window(*window).visiblePanels().contains(label->panel);
    if (route.isEmpty() && !inView)
        return false;
    for (const RouteStep& step : route) {
        qCDebug(lcWindows) << "go:" << windowName(step.window) << step.control;
        switch (step.kind) {
        case RouteStep::Kind::Menu:
            runMenuCommand(program, step.window, step.control);
            break;
        case RouteStep::Kind::Chooser:
            runChooserControl(program, step.control);
            break;
        case RouteStep::Kind::PageButton:
            runPageButton(program, step.window, step.control);
            break;
        }
        if (program.ending())
            return false;
    }
    auto* entry = program.window(*window).findChild<LabelUni*>(control);
    if (!entry)
        return false;
    program.show(*window);
    entry->click();
    entry->setFocus(Qt::OtherFocusReason);
    return true;
}

namespace {

// Where an entry lives, as the finder and the menus show it: "Cửa sổ 3 ›
// Đức", "Phim › Trang 2".
QString placeOf(const QString& window, const QString& panelTitle, const QStringList& countries)
{
    QString where;
    if (window == QLatin1String("frmphim"))
        where = QStringLiteral("Phim");
    else
        where = QStringLiteral("Cửa sổ %1").arg(window == QLatin1String("frmmain") ? QStringLiteral("1") : window.mid(7));
    QString panel = vniToUnicode(panelTitle);
    panel.remove(QStringLiteral("Các kênh truyền hình "));
    panel.replace(QStringLiteral("Danh Sách Phim --- "), QString());
    if (panel.isEmpty()) {
        QStringList names;
        for (const QString& c : countries)
            names << search::countryName(c);
        panel = names.join(QStringLiteral(", "));
    }
    return panel.isEmpty() ? where : where + QStringLiteral(" › ") + panel;
}

} // namespace

EntryIndex::EntryIndex(Program& program)
    : QObject(&program)
    , program_(program)
{
    rebuild();
    connect(&program.catalogue(), &catalogue::RunningCatalogue::addressesChanged, this, &EntryIndex::rebuild);
}

void EntryIndex::rebuild()
{
    const catalogue::Catalogue& cat = program_.catalogue().catalogue();
    const QHash<QString, QStringList> countries = catalogue::entryCountries(cat);
    const QHash<QString, QStringList> names = catalogue::otherNames();
    QHash<QString, QString> titles;
    for (const catalogue::Panel& p : cat.panels)
        titles.insert(p.window + u'/' + p.name, p.title);
    QList<search::Entry> entries;
    for (const catalogue::Label& l : cat.labels) {
        if (!l.clickable())
            continue;
        const QString key = l.window + u'/' + l.control;
        const QStringList codes = countries.value(key);
        entries << search::Entry{l.window, l.panel, l.control, catalogue::shownCaption(l), names.value(key), codes,
                                 placeOf(l.window, titles.value(l.window + u'/' + l.panel), codes),
                                 !l.address.isEmpty() && !isStandInAddress(l.address)};
    }
    at_.clear();
    for (qsizetype i = 0; i < entries.size(); ++i)
        at_.insert(entries.at(i).window + u'/' + entries.at(i).control, int(i));
    index_ = search::Index(entries);
}

const search::Entry* EntryIndex::entry(const QString& window, const QString& control) const
{
    const auto it = at_.constFind(window + u'/' + control);
    return it == at_.cend() ? nullptr : &index_.entry(*it);
}

} // namespace miravon
