#include "catalogue.h"

#include "addresspolicy.h"
#include "vni.h"

#include <QFile>
#include <QSet>
#include <optional>

// The tables live in a static library, so their resource must be registered
// by hand, outside any namespace, before the first read.
static void initCatalogueResource() { Q_INIT_RESOURCE(catalogue); }

namespace miravon {

Q_LOGGING_CATEGORY(lcCatalogue, "miravon.catalogue", QtInfoMsg)

namespace catalogue {
namespace {

/*
 * Label geometry, in twips inside the panel.
 *
 * A row of channels.tsv or films.tsv may give its rectangle (left, top,
 * width, height). Where it gives none, the rectangle follows from the row's
 * column and row, the same way on every panel:
 *
 * - Height 255; rows every 240 twips (neighbours share 15 twips). The first
 *   row starts at 240 in a panel with a title, leaving room for the title,
 *   and at 120 in one without, so a 19-row column ends exactly at the foot
 *   of a 4695-high panel. On the film pages row n thus lies 240 × n down.
 * - One column (the film pages): left 120, width 3375.
 *   Two columns: left 120, width 1800; and left 2040, running to 120 short
 *   of the panel's right edge (1575 wide on frmmain, 1695 elsewhere). The
 *   separator lines of frmmain2 (0..1080 and 2040..3840) follow these columns.
 *   Three columns (iran, khung2): lefts 120, 1440, 2760; widths 1320, 1320
 *   and the rest of the panel less 120.
 * - A derived label never reaches under its panel's page button: where the
 *   button starts within the label's own 240-twip band and overlaps it
 *   sideways, the label ends where the button begins. (A film title in the
 *   last row would otherwise cover the page button.)
 * - A film row may give only left and width (the three part labels of
 *   "KingKong ta1i xua61t" at 1800, 2160, 2520, 255 wide, and the title beside
 *   them, 1575 wide); its top and height still follow from the row.
 */
constexpr int rowPitch = 240;
constexpr int labelHeight = 255;

int firstRowTop(const Panel& p) { return p.title.isEmpty() ? 120 : 240; }

QRect derivedRect(const Panel& p, int columns, int column, int row)
{
    const int top = firstRowTop(p) + (row - 1) * rowPitch;
    int left = 120;
    int width = 3375;
    if (columns == 2) {
        left = column == 1 ? 120 : 2040;
        width = column == 1 ? 1800 : p.rect.width() - 2040 - 120;
    } else if (columns >= 3) {
        left = 120 + (column - 1) * 1320;
        width = column < 3 ? 1320 : p.rect.width() - left - 120;
    }
    return QRect(left, top, width, labelHeight);
}

void keepClearOfButtons(QRect& r, const QList<const Button*>& buttons)
{
    for (const Button* b : buttons) {
        const QRect& br = b->rect;
        const bool inBand = br.top() < r.top() + rowPitch && br.bottom() >= r.top();
        const bool sideways = br.left() <= r.right() && br.right() >= r.left();
        if (inBand && sideways && br.left() > r.left())
            r.setWidth(br.left() - r.left());
    }
}

using Fields = QList<QStringView>;

// One table: header checked, rows split, errors prefixed with "<name>:<line>: ".
class Table {
public:
    Table(const QString& name, const QString& text, const QStringList& header, QStringList* errors)
        : name_(name)
        , errors_(errors)
        , columns_(header.size())
    {
        lines_ = QStringView(text).split(u'\n');
        if (!lines_.isEmpty() && lines_.last().isEmpty())
            lines_.removeLast();
        if (lines_.isEmpty() || lines_.first() != header.join(QLatin1Char('\t'))) {
            error(1, QStringLiteral("header must be \"%1\"").arg(header.join(QStringLiteral("\\t"))));
            lines_.clear();
        }
    }

    // Calls `row(fields, lineNumber)` for each well-formed data row.
    template <typename F>
    void forEachRow(F row) const
    {
        for (int i = 1; i < lines_.size(); ++i) {
            const Fields fields = lines_.at(i).split(u'\t');
            if (fields.size() != columns_) {
                error(i + 1, QStringLiteral("%1 columns, expected %2").arg(fields.size()).arg(columns_));
                continue;
            }
            row(fields, i + 1);
        }
    }

    void error(int line, const QString& what) const
    {
        if (errors_)
            errors_->append(QStringLiteral("%1:%2: %3").arg(name_).arg(line).arg(what));
    }

    // Integer fields; `ok` turns false (and the error is reported) on bad
    // text or a value beyond ±maxNumber, so that sums of positions and sizes
    // stay far inside int.
    static constexpr int maxNumber = 1'000'000;
    int number(QStringView text, const char* field, int line, bool& ok) const
    {
        bool good = false;
        const int v = text.toInt(&good);
        if (!good) {
            error(line, QStringLiteral("%1 \"%2\" is not a number").arg(QLatin1String(field), text));
            ok = false;
            return 0;
        }
        if (v > maxNumber || v < -maxNumber) {
            error(line, QStringLiteral("%1 %2 is out of range (-%3 to %3)").arg(QLatin1String(field)).arg(v).arg(maxNumber));
            ok = false;
            return 0;
        }
        return v;
    }
    bool flag(QStringView text, const char* field, int line, bool& ok) const
    {
        if (text == u"0" || text == u"1")
            return text == u"1";
        error(line, QStringLiteral("%1 must be 0 or 1, not \"%2\"").arg(QLatin1String(field), text));
        ok = false;
        return false;
    }

private:
    QString name_;
    QStringList* errors_;
    qsizetype columns_;
    QList<QStringView> lines_; // into the table's text, which outlives the parse
};

std::optional<Kind> kindByName(QStringView s)
{
    if (s == QLatin1String("entry"))
        return Kind::Entry;
    if (s == QLatin1String("logo"))
        return Kind::Logo;
    if (s == QLatin1String("heading"))
        return Kind::Heading;
    if (s == QLatin1String("inert"))
        return Kind::Inert;
    if (s == QLatin1String("hidden"))
        return Kind::Hidden;
    return std::nullopt;
}

struct Pending {
    Label label;
    bool explicitRect = false;
    bool explicitTop = false; // films give left and width only
    std::optional<int> left;
    std::optional<int> width;
    int panel = -1; // index in the catalogue's panels
};

// Reads "left top width height"; all four or none. Returns false on error.
bool readRect(const Table& t, const Fields& f, int first, int line, QRect& out, bool& given)
{
    int empty = 0;
    for (int i = first; i < first + 4; ++i)
        empty += f[i].isEmpty();
    given = empty < 4;
    if (!given)
        return true;
    if (empty > 0) {
        t.error(line, QStringLiteral("give all of left, top, width and height, or none"));
        return false;
    }
    bool ok = true;
    const int l = t.number(f[first], "left", line, ok);
    const int tp = t.number(f[first + 1], "top", line, ok);
    const int w = t.number(f[first + 2], "width", line, ok);
    const int h = t.number(f[first + 3], "height", line, ok);
    if (ok && (w <= 0 || h <= 0)) {
        t.error(line, QStringLiteral("width and height must be positive"));
        ok = false;
    }
    out = QRect(l, tp, w, h);
    return ok;
}

} // namespace

QList<const Label*> Catalogue::labelsOf(const QString& window) const
{
    QList<const Label*> out;
    for (const Label& l : labels)
        if (l.window == window)
            out.append(&l);
    return out;
}

QList<const Panel*> Catalogue::panelsOf(const QString& window) const
{
    QList<const Panel*> out;
    for (const Panel& p : panels)
        if (p.window == window)
            out.append(&p);
    return out;
}

const Label* Catalogue::label(const QString& window, const QString& control) const
{
    for (const Label& l : labels)
        if (l.window == window && l.control == control)
            return &l;
    return nullptr;
}

Label* Catalogue::label(const QString& window, const QString& control)
{
    // Non-const iteration: a catalogue copied from another gets its own
    // labels before one of them is changed.
    for (Label& l : labels)
        if (l.window == window && l.control == control)
            return &l;
    return nullptr;
}

QStringList Catalogue::windows() const
{
    QStringList out;
    for (const Panel& p : panels)
        if (!out.contains(p.window))
            out.append(p.window);
    return out;
}

namespace {

// The parse of the five tables into one catalogue, table by table: panels
// first (every other table names them), then page buttons (the labels'
// geometry keeps clear of them), separator lines, channels and films, then
// the labels' geometry.
class Parser {
public:
    explicit Parser(QStringList* errors)
        : errors_(errors)
    {
        pending_.reserve(1200);
    }

    void panels(const QString& text);
    void buttons(const QString& text);
    void lines(const QString& text);
    void channels(const QString& text);
    void films(const QString& text);
    Catalogue finish();

private:
    int indexOf(const QString& w, const QString& p) const
    {
        const auto it = panelIndex_.constFind(w);
        return it == panelIndex_.constEnd() ? -1 : it->value(p, -1);
    }
    // Window and panel names repeat on every row: one shared copy of each.
    QString intern(QStringView v)
    {
        auto it = names_.constFind(v);
        if (it != names_.constEnd())
            return *it;
        const QString s = v.toString();
        names_.insert(QStringView(s), s);
        return s;
    }
    // The panel's index in the catalogue's panels, or -1 (reported).
    int knownPanel(const Table& t, const QString& w, const QString& p, int line) const
    {
        const int i = indexOf(w, p);
        if (i < 0)
            t.error(line, QStringLiteral("no panel \"%1\" on %2").arg(p, w));
        return i;
    }
    // A control name, unique within its window.
    bool claim(const Table& t, const QString& w, const QString& c, int line)
    {
        if (c.isEmpty()) {
            t.error(line, QStringLiteral("control must be named"));
            return false;
        }
        QSet<QString>& taken = controls_[w];
        if (taken.contains(c)) {
            t.error(line, QStringLiteral("control \"%1\" named twice on %2").arg(c, w));
            return false;
        }
        taken.insert(c);
        return true;
    }
    // Places taken: panel index, then column and row (channels) or row and
    // left (films, whose rows may hold several labels).
    static quint64 place(int panel, int a, int b)
    {
        return (quint64(quint32(panel)) << 42) | (quint64(quint32(a) & 0x1FFFFF) << 21) | quint64(quint32(b) & 0x1FFFFF);
    }

    QStringList* errors_;
    Catalogue cat_;
    QHash<QString, QHash<QString, int>> panelIndex_; // window -> panel -> index in cat_.panels
    QHash<QString, QSet<QString>> controls_;         // window -> names, unique within a window
    QHash<QStringView, QString> names_;
    QList<Pending> pending_;
    QSet<quint64> places_;
};

void Parser::panels(const QString& text)
{
    const Table panels(QStringLiteral("panels.tsv"), text,
                       {QStringLiteral("window"), QStringLiteral("panel"), QStringLiteral("left"),
                        QStringLiteral("top"), QStringLiteral("width"), QStringLiteral("height"),
                        QStringLiteral("title"), QStringLiteral("vni"), QStringLiteral("visible")},
                       errors_);
    panels.forEachRow([&](const Fields& f, int line) {
        bool ok = true;
        Panel p;
        p.window = intern(f[0]);
        p.name = f[1].toString();
        p.rect = QRect(panels.number(f[2], "left", line, ok), panels.number(f[3], "top", line, ok),
                       panels.number(f[4], "width", line, ok), panels.number(f[5], "height", line, ok));
        p.title = f[6].toString();
        p.vni = panels.flag(f[7], "vni", line, ok);
        p.visible = panels.flag(f[8], "visible", line, ok);
        if (p.window.isEmpty() || p.name.isEmpty()) {
            panels.error(line, QStringLiteral("window and panel must be named"));
            ok = false;
        }
        if (ok && controls_[p.window].contains(p.name)) {
            panels.error(line, QStringLiteral("\"%1\" named twice on %2").arg(p.name, p.window));
            ok = false;
        }
        if (!ok)
            return;
        controls_[p.window].insert(p.name);
        panelIndex_[p.window].insert(p.name, int(cat_.panels.size()));
        cat_.panels.append(p);
    });
}

void Parser::buttons(const QString& text)
{
    const Table buttons(QStringLiteral("buttons.tsv"), text,
                        {QStringLiteral("window"), QStringLiteral("panel"), QStringLiteral("control"),
                         QStringLiteral("tx"), QStringLiteral("left"), QStringLiteral("top"),
                         QStringLiteral("width"), QStringLiteral("height")},
                        errors_);
    buttons.forEachRow([&](const Fields& f, int line) {
        Button b{intern(f[0]), intern(f[1]), f[2].toString(), f[3].toString(), {}};
        bool given = false;
        bool ok = readRect(buttons, f, 4, line, b.rect, given);
        if (ok && !given) {
            buttons.error(line, QStringLiteral("a page button needs its rectangle"));
            ok = false;
        }
        if (ok && knownPanel(buttons, b.window, b.panel, line) >= 0 && claim(buttons, b.window, b.control, line))
            cat_.buttons.append(b);
    });
}

void Parser::lines(const QString& text)
{
    const Table lines(QStringLiteral("lines.tsv"), text,
                      {QStringLiteral("window"), QStringLiteral("panel"), QStringLiteral("x1"),
                       QStringLiteral("y1"), QStringLiteral("x2"), QStringLiteral("y2"),
                       QStringLiteral("color")},
                      errors_);
    lines.forEachRow([&](const Fields& f, int line) {
        bool ok = true;
        Line l{intern(f[0]), intern(f[1]), {}, {}, 0};
        l.from = QPoint(lines.number(f[2], "x1", line, ok), lines.number(f[3], "y1", line, ok));
        l.to = QPoint(lines.number(f[4], "x2", line, ok), lines.number(f[5], "y2", line, ok));
        bool good = false;
        l.color = f[6].toLongLong(&good);
        if (!good) {
            lines.error(line, QStringLiteral("color \"%1\" is not a number").arg(f[6]));
            ok = false;
        }
        if (ok && knownPanel(lines, l.window, l.panel, line) >= 0)
            cat_.lines.append(l);
    });
}

void Parser::channels(const QString& text)
{
    const Table channels(QStringLiteral("channels.tsv"), text,
                         {QStringLiteral("window"), QStringLiteral("panel"), QStringLiteral("column"),
                          QStringLiteral("row"), QStringLiteral("kind"), QStringLiteral("control"),
                          QStringLiteral("caption"), QStringLiteral("vni"), QStringLiteral("address"),
                          QStringLiteral("left"), QStringLiteral("top"), QStringLiteral("width"),
                          QStringLiteral("height")},
                         errors_);
    channels.forEachRow([&](const Fields& f, int line) {
        bool ok = true;
        Pending p;
        Label& l = p.label;
        l.window = intern(f[0]);
        l.panel = intern(f[1]);
        l.column = channels.number(f[2], "column", line, ok);
        l.row = channels.number(f[3], "row", line, ok);
        const auto kind = kindByName(f[4]);
        if (!kind) {
            channels.error(line, QStringLiteral("unknown kind \"%1\"").arg(f[4]));
            ok = false;
        }
        l.kind = kind.value_or(Kind::Inert);
        l.control = f[5].toString();
        l.caption = f[6].toString();
        l.vni = channels.flag(f[7], "vni", line, ok);
        l.address = f[8].toString();
        l.bold = l.kind == Kind::Heading;
        ok = readRect(channels, f, 9, line, l.rect, p.explicitRect) && ok;
        p.explicitTop = p.explicitRect;
        if (!ok)
            return;
        const bool hidden = l.kind == Kind::Hidden;
        if (hidden ? (l.column != 0 || l.row != 0 || !p.explicitRect) : (l.column < 1 || l.row < 1)) {
            channels.error(line, hidden ? QStringLiteral("a hidden label has column 0, row 0 and its rectangle")
                                        : QStringLiteral("column and row count from 1"));
            return;
        }
        if (l.kind == Kind::Logo ? !l.caption.isEmpty() : l.caption.isEmpty()) {
            channels.error(line, l.kind == Kind::Logo ? QStringLiteral("a logo has no caption")
                                                      : QStringLiteral("caption is empty"));
            return;
        }
        if (l.kind == Kind::Logo && !p.explicitRect) {
            channels.error(line, QStringLiteral("a logo needs its rectangle"));
            return;
        }
        const bool needsAddress = l.kind == Kind::Entry || l.kind == Kind::Logo || hidden;
        if (needsAddress && !isCatalogueAddress(l.address)) {
            channels.error(line, QStringLiteral("address \"%1\" is not an absolute http, rtsp or mms URL")
                                     .arg(l.address));
            return;
        }
        if (!needsAddress && !l.address.isEmpty()) {
            channels.error(line, QStringLiteral("a %1 has no address").arg(f[4]));
            return;
        }
        p.panel = knownPanel(channels, l.window, l.panel, line);
        if (p.panel < 0)
            return;
        if (!hidden) {
            const quint64 at = place(p.panel, l.column, l.row);
            if (places_.contains(at)) {
                channels.error(line, QStringLiteral("column %1, row %2 of %3 is taken")
                                         .arg(l.column).arg(l.row).arg(l.panel));
                return;
            }
            places_.insert(at);
        }
        if (claim(channels, l.window, l.control, line))
            pending_.append(std::move(p));
    });
}

void Parser::films(const QString& text)
{
    const Table films(QStringLiteral("films.tsv"), text,
                      {QStringLiteral("page"), QStringLiteral("row"), QStringLiteral("control"),
                       QStringLiteral("title"), QStringLiteral("address"), QStringLiteral("left"),
                       QStringLiteral("width"), QStringLiteral("bold")},
                      errors_);
    films.forEachRow([&](const Fields& f, int line) {
        bool ok = true;
        Pending p;
        Label& l = p.label;
        const int page = films.number(f[0], "page", line, ok);
        l.window = intern(u"frmphim");
        l.panel = intern(QStringView(QStringLiteral("trang%1").arg(page)));
        l.column = 1;
        l.row = films.number(f[1], "row", line, ok);
        l.control = f[2].toString();
        l.caption = f[3].toString();
        l.address = f[4].toString();
        l.kind = l.address.isEmpty() ? Kind::Inert : Kind::Entry;
        l.vni = true;
        l.bold = films.flag(f[7], "bold", line, ok);
        if (!f[5].isEmpty())
            p.left = films.number(f[5], "left", line, ok);
        if (!f[6].isEmpty())
            p.width = films.number(f[6], "width", line, ok);
        if (!ok)
            return;
        if (page < 1 || l.row < 1) {
            films.error(line, QStringLiteral("page and row count from 1"));
            return;
        }
        if (l.caption.isEmpty()) {
            films.error(line, QStringLiteral("title is empty"));
            return;
        }
        if (!l.address.isEmpty() && !isCatalogueAddress(l.address)) {
            films.error(line, QStringLiteral("address \"%1\" is not an absolute http, rtsp or mms URL")
                                  .arg(l.address));
            return;
        }
        p.panel = knownPanel(films, l.window, l.panel, line);
        if (p.panel < 0)
            return;
        const quint64 at = place(p.panel, l.row, p.left.value_or(120));
        if (places_.contains(at)) {
            films.error(line, QStringLiteral("row %1 of page %2 is taken at that left").arg(l.row).arg(page));
            return;
        }
        places_.insert(at);
        if (p.width && *p.width <= 0) {
            films.error(line, QStringLiteral("width must be positive"));
            return;
        }
        if (claim(films, l.window, l.control, line))
            pending_.append(std::move(p));
    });
}

// Geometry, now that every panel, its columns and its buttons are known.
Catalogue Parser::finish()
{
    QHash<int, int> columns;
    for (const Pending& p : std::as_const(pending_)) {
        int& c = columns[p.panel];
        c = std::max(c, p.label.column);
    }
    QHash<int, QList<const Button*>> panelButtons;
    for (const Button& b : std::as_const(cat_.buttons))
        panelButtons[indexOf(b.window, b.panel)].append(&b);

    cat_.labels.reserve(pending_.size());
    for (Pending& p : pending_) {
        Label& l = p.label;
        const int pk = p.panel;
        const Panel& panel = cat_.panels.at(pk);
        if (!p.explicitTop) {
            QRect r = derivedRect(panel, columns.value(pk), l.column, l.row);
            if (p.left || p.width) {
                r.moveLeft(p.left.value_or(r.left()));
                r.setWidth(p.width.value_or(r.width()));
            } else {
                keepClearOfButtons(r, panelButtons.value(pk));
            }
            l.rect = r;
        }
        cat_.labels.append(std::move(l));
    }
    return std::move(cat_);
}

} // namespace

Catalogue parse(const Tables& tables, QStringList* errors)
{
    Parser parser(errors);
    parser.panels(tables.panels);
    parser.buttons(tables.buttons);
    parser.lines(tables.lines);
    parser.channels(tables.channels);
    parser.films(tables.films);
    return parser.finish();
}

Tables builtInTables()
{
    static const bool registered = (initCatalogueResource(), true);
    (void)registered;
    auto read = [](const char* name) {
        QFile f(QStringLiteral(":/catalogue/") + QLatin1String(name));
        if (!f.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(f.readAll());
    };
    return {read("panels.tsv"), read("channels.tsv"), read("films.tsv"), read("buttons.tsv"),
            read("lines.tsv")};
}

MatchTables builtInMatchTables()
{
    const Tables t = builtInTables(); // registers the resource
    (void)t;
    auto read = [](const char* name) {
        QFile f(QStringLiteral(":/catalogue/") + QLatin1String(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    return {read("countries.tsv"), read("names.tsv")};
}

namespace {

// "window/panel" or "window/heading control" -> country codes.
const QHash<QString, QStringList>& countryRows()
{
    static const QHash<QString, QStringList> rows = [] {
        QHash<QString, QStringList> out;
        const QStringList lines = builtInMatchTables().countries.split(u'\n', Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QStringList f = lines.at(i).split(u'\t');
            if (f.size() != 4)
                continue;
            QStringList codes;
            for (const QString& c : f.at(3).split(u' ', Qt::SkipEmptyParts))
                codes << (c.toUpper() == QLatin1String("UK") ? QStringLiteral("GB") : c.toUpper());
            out.insert(f.at(0) + u'/' + (f.at(2).isEmpty() ? f.at(1) : f.at(2)), codes);
        }
        return out;
    }();
    return rows;
}

} // namespace

QHash<QString, QStringList> entryCountries(const Catalogue& catalogue)
{
    // Panels in the order of their labels, each in display order (column by
    // column, top to bottom): a heading's countries hold for the entries
    // under it, up to the next heading.
    QList<QString> order;
    QHash<QString, QList<const Label*>> byPanel;
    for (const Label& l : catalogue.labels) {
        const QString key = l.window + u'/' + l.panel;
        if (!byPanel.contains(key))
            order << key;
        byPanel[key] << &l;
    }
    QHash<QString, QStringList> out;
    for (const QString& key : std::as_const(order)) {
        QList<const Label*> labels = byPanel.value(key);
        std::stable_sort(labels.begin(), labels.end(), [](const Label* a, const Label* b) {
            return std::pair(a->column, a->row) < std::pair(b->column, b->row);
        });
        QStringList countries = countryRows().value(key);
        for (const Label* l : std::as_const(labels)) {
            const QString lk = l->window + u'/' + l->control;
            if (l->kind == Kind::Heading) {
                countries = countryRows().value(lk, countries);
                continue;
            }
            if (l->clickable())
                out.insert(lk, countries);
        }
    }
    return out;
}

QHash<QString, QStringList> panelCountries(const Catalogue& catalogue)
{
    QHash<QString, QList<const Label*>> byPanel;
    for (const Label& l : catalogue.labels)
        byPanel[l.window + u'/' + l.panel] << &l;
    QHash<QString, QStringList> out;
    for (const Panel& p : catalogue.panels) {
        const QString key = p.window + u'/' + p.name;
        QStringList codes = countryRows().value(key);
        QList<const Label*> labels = byPanel.value(key);
        std::stable_sort(labels.begin(), labels.end(), [](const Label* a, const Label* b) {
            return std::pair(a->column, a->row) < std::pair(b->column, b->row);
        });
        // A heading block's countries, wherever the heading stands now.
        for (const Label* l : std::as_const(labels))
            for (const QString& code : countryRows().value(l->window + u'/' + l->control))
                if (!codes.contains(code))
                    codes << code;
        if (!codes.isEmpty())
            out.insert(key, codes);
    }
    return out;
}

const QHash<QString, QStringList>& otherNames()
{
    static const QHash<QString, QStringList> names = [] {
        QHash<QString, QStringList> out;
        const QStringList lines = builtInMatchTables().names.split(u'\n', Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QStringList f = lines.at(i).split(u'\t');
            if (f.size() == 3)
                out[f.at(0) + u'/' + f.at(1)] << f.at(2);
        }
        return out;
    }();
    return names;
}

QString logoName(const QString& control)
{
    const QStringList names = otherNames().value(QStringLiteral("frmmain/") + control);
    return names.isEmpty() ? control : names.first();
}

QString shownCaption(const Label& label)
{
    if (label.kind == Kind::Logo)
        return logoName(label.control);
    return label.vni ? vniToUnicode(label.caption) : label.caption;
}

} // namespace catalogue
} // namespace miravon
