#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QLoggingCategory>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

namespace miravon {

Q_DECLARE_LOGGING_CATEGORY(lcCatalogue)

namespace catalogue {

// What a label of a panel is. Only entries and logos react to a click.
enum class Kind {
    Entry,   // a clickable label carrying one stream address
    Logo,    // a clickable logo picture (`Image1`..`Image9` of `vn_`)
    Heading, // a country heading, no address
    Inert,   // looks like an entry, has no address (also the film titles without one)
    Hidden,  // has an address but lies outside its panel and can never be clicked
};

// One panel of a viewer window, or one page of the movie window.
struct Panel {
    QString window;
    QString name;
    QRect rect; // twips, in the window's client area
    QString title;
    bool vni = false;
    bool visible = false; // visibility at creation
};

// A label or logo picture inside a panel.
struct Label {
    QString window;
    QString panel;
    int column = 0; // from the left, from 1 (0 for hidden labels)
    int row = 0;    // from the top, from 1 (0 for hidden labels)
    Kind kind = Kind::Entry;
    QString control;
    QString caption;
    bool vni = false;
    bool bold = false;
    QString address;
    QRect rect; // twips, in the panel

    bool clickable() const { return kind == Kind::Entry || kind == Kind::Logo; }
};

// A page button inside a panel.
struct Button {
    QString window;
    QString panel;
    QString control;
    QString tx;
    QRect rect; // twips, in the panel
};

// A separator line inside a panel.
struct Line {
    QString window;
    QString panel;
    QPoint from; // twips, in the panel
    QPoint to;
    qint64 color = 0; // OLE colour
};

// The whole catalogue: the channel panels of the six viewer windows and the
// film pages of the movie window, in file order.
struct Catalogue {
    QList<Panel> panels;
    QList<Label> labels;
    QList<Button> buttons;
    QList<Line> lines;

    // Labels of one window (panels and lines likewise), in file order.
    QList<const Label*> labelsOf(const QString& window) const;
    QList<const Panel*> panelsOf(const QString& window) const;
    const Label* label(const QString& window, const QString& control) const;
    Label* label(const QString& window, const QString& control);
    QStringList windows() const;
};

// The text of the five tables, tab-separated with a header row first.
struct Tables {
    QString panels;
    QString channels;
    QString films;
    QString buttons;
    QString lines;
};

// Parses the tables. Every malformed row is an error, reported in `errors`
// as "<table>.tsv:<line>: <reason>" and left out; a catalogue with errors is
// not fit for use.
Catalogue parse(const Tables& tables, QStringList* errors);

// The tables compiled into the program.
Tables builtInTables();

// The catalogue of this run: the built-in tables, then the user's address
// file (overridePath()) applied. Loaded on first use, fixed afterwards.
const Catalogue& builtIn();

// Where the user's own addresses are read from:
// $XDG_CONFIG_HOME/miravon/addresses.tsv (~/.config/miravon/addresses.tsv).
QString overridePath();

// Whether an address may come from the user's file: an absolute http, https,
// rtsp, mms, mmsh or mmst URL with a host.
bool isAcceptedOverride(const QString& address);

// Applies the user's address file at `path` to `catalogue`: header row
// "window<TAB>control<TAB>address", then one row per label whose address is
// replaced; a heading, inert or title label named there becomes an entry.
// Each bad row is reported through `report` as one line naming the file and
// line, and skipped. A missing file changes nothing and reports nothing.
// Returns the number of rows applied.
using Report = std::function<void(const QString& line)>;
int applyOverrides(Catalogue& catalogue, const QString& path, const Report& report);

// The same rules over the file's bytes (UTF-8, optionally with a byte-order
// mark); `name` stands for the file in the reports. Touches no file.
int applyOverrides(Catalogue& catalogue, const QByteArray& content, const QString& name, const Report& report);

} // namespace catalogue
} // namespace miravon
