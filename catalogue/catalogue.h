#pragma once

#include "addressfiles.h"
#include "origin.h"
#include "streamaddress.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
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

// One stream an import found for a label: its address and headers, the
// list it came from and its name there.
struct ImportedStream {
    StreamAddress address;
    QString list;
    QString title;
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
    // Request headers the address needs, from an address file; empty for
    // the built-in addresses. The player sends them for this address only.
    QString referrer;
    QString userAgent;
    // The layer that gave the address (built-in, import, the user's file).
    AddressOrigin origin = AddressOrigin::BuiltIn;
    // With an imported address: every stream the import found for the
    // label, best first (the first is the address above), when the import
    // kept them (addresses.import.streams.tsv). With an own address over an
    // imported one: the import's streams (at least its address), tried
    // after the own.
    QList<ImportedStream> imported;
    QRect rect; // twips, in the panel

    bool clickable() const { return kind == Kind::Entry || kind == Kind::Logo; }
    // The address with what goes with it.
    StreamAddress stream() const { return {address, {referrer, userAgent, origin}}; }
    // The streams to try, in order: the address, then the import's others
    // (after an own address, all of the import's).
    QList<StreamAddress> streams() const;
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

// The tables beside them that name what the labels stand for: the
// countries of every channel panel and of every heading block inside the
// panels that hold several countries (countries.tsv), and the channel names
// of the logos and the other names an entry is known by (names.tsv).
struct MatchTables {
    QString countries;
    QString names;
};
MatchTables builtInMatchTables();

// The countries (ISO 3166-1 alpha-2 codes) of every clickable label of the
// viewer windows, by "window/control": its panel's, or those of the heading
// it stands under, from countries.tsv.
QHash<QString, QStringList> entryCountries(const Catalogue& catalogue);

// The parsed built-in tables, without any address file; parsed once.
const Catalogue& pristine();

// The catalogue of this run, in layers: the built-in tables, then the
// imported addresses (importPath()), then the user's own address file
// (overridePath()), so that a hand-written row always wins. Made by the
// program and handed to its windows; only reload() changes it afterwards.
// Labels keep their place: a pointer to one stays valid for the object's
// life and reads the current address.
class RunningCatalogue : public QObject {
    Q_OBJECT
public:
    // Reads the layers of `configDir` (configDir() when empty); bad rows
    // are reported on standard error.
    explicit RunningCatalogue(QString configDir = {}, QObject* parent = nullptr);

    const Catalogue& catalogue() const { return catalogue_; }
    QString configDir() const { return configDir_; }

    // Reads both address files again and applies them over the built-in
    // addresses, then emits addressesChanged(). Call it from the thread
    // that uses the catalogue.
    void reload();

signals:
    void addressesChanged();

private:
    void applyLayers();

    QString configDir_;
    Catalogue catalogue_;
};

// The other names a label is known by (a logo's channel, a channel's older
// or shorter names), by "window/control", from names.tsv.
const QHash<QString, QStringList>& otherNames();

// A label's caption as the user reads it: converted from VNI where flagged;
// for a logo picture, the channel it stands for (logoName()).
QString shownCaption(const Label& label);

// The channel a logo picture of panel vn_ stands for, by control ("Image4"
// is "VTV1"): the first name names.tsv gives it; the control's name when
// there is none.
QString logoName(const QString& control);

// One good row of an address file.
struct AddressRow {
    QString window;
    QString control;
    QString address;
    QString referrer;
    QString userAgent;
    int line = 0;
    AddressOrigin origin = AddressOrigin::Own;
};

// Reads an address file: the header row "window<TAB>control<TAB>address",
// optionally followed by "<TAB>referrer" and "<TAB>user_agent", then one row
// per label with as many columns as the header. Each bad row is reported
// through `report` as one line naming the file and line, and skipped. A
// missing file gives no rows and reports nothing. Rows are checked against
// `catalogue` (the window and label must exist). `origin` is the layer the
// file is: only the user's own (AddressOrigin::Own) may name a file of this
// computer; such a row in any other layer is reported and skipped. Only a
// regular file is read (never a FIFO or a device), at most
// maxAddressFileBytes.
using Report = std::function<void(const QString& line)>;
QList<AddressRow> readAddressFile(const Catalogue& catalogue, const QString& path, AddressOrigin origin,
                                  const Report& report);

// The same rules over a file's bytes (UTF-8, optionally with a byte-order
// mark); `name` stands for the file in the reports. Touches no file.
QList<AddressRow> readAddressFile(const Catalogue& catalogue, const QByteArray& content, const QString& name,
                                  AddressOrigin origin, const Report& report);

// Applies the address file at `path` to `catalogue`: each row replaces the
// label's address and headers; a heading, inert or title label named there
// becomes an entry, and the label's origin is `origin`. Returns the number
// of rows applied.
int applyOverrides(Catalogue& catalogue, const QString& path, AddressOrigin origin, const Report& report);

// The same over a file's bytes, as readAddressFile() reads them.
int applyOverrides(Catalogue& catalogue, const QByteArray& content, const QString& name, AddressOrigin origin,
                   const Report& report);

} // namespace catalogue
} // namespace miravon
