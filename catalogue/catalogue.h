#pragma once

#include "addressfiles.h"
#include "listchannels.h"
#include "origin.h"
#include "search.h"
#include "streamaddress.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QLoggingCategory>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QThread;

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
    // No layer gave it an address: it has only its built-in stand-in
    // (standin.h), which can never play.
    bool withoutAddress() const;
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

// The countries (codes, in display order, each once) every panel of the
// viewer windows stands for, by "window/panel": its own row of
// countries.tsv and those of the heading blocks inside it.
QHash<QString, QStringList> panelCountries(const Catalogue& catalogue);

// The parsed built-in tables, without any address file; parsed once.
const Catalogue& pristine();

// The channels of the user's lists as one read of their file gave them
// (listchannels.h), with what the windows look them up by. Made whole off
// the UI thread, then only read, and shared by whoever shows them: a newer
// read makes a new set, never changes this one.
class ListChannelSet {
public:
    ListChannelSet();
    ListChannelSet(QList<ListChannel> channels, QStringList problems);

    const QList<ListChannel>& channels() const { return channels_; }
    // The rows of the file that could not be read.
    const QStringList& problems() const { return problems_; }
    // By key (ListChannel::key); null when there is none.
    const ListChannel* channel(const QString& key) const;
    // The channel that gave the entry `window`/`control` its address.
    const ListChannel* ofEntry(const QString& window, const QString& control) const;
    // A country's other channels: those that gave no entry its address,
    // by name (folded, as names are compared).
    QList<const ListChannel*> others(const QString& country) const;
    qsizetype otherCount(const QString& country) const { return others_.value(country).size(); }
    // Every country that has other channels.
    QStringList countries() const { return others_.keys(); }
    // The channels as the finder searches them, folded once here.
    const std::shared_ptr<const search::Segment>& found() const { return found_; }

private:
    QList<ListChannel> channels_;
    QStringList problems_;
    QHash<QString, int> byKey_;
    QHash<QString, int> byEntry_;
    QHash<QString, QList<int>> others_;
    std::shared_ptr<const search::Segment> found_;
};

// Reads the list channels of `configDir` as the last finished import left
// them (a file that is missing or cannot be read gives an empty set; what
// went wrong is told on standard error). Touches nothing but the file:
// made to run off the UI thread.
std::shared_ptr<const ListChannelSet> readListChannelSet(const QString& configDir);

// Whether `key` could be a list channel's key: "<country>/<id>", a
// two-letter upper-case code, an id of printable characters.
bool isChannelKey(const QString& key);

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
    //
    // The channels of the user's lists (listChannelsFileName()) are read
    // on a thread of their own, so that thousands of them cost the start
    // nothing: listChannels() is empty until they arrive, and
    // channelsChanged() says when they do.
    explicit RunningCatalogue(QString configDir = {}, QObject* parent = nullptr);
    // Waits for a read still under way (it is short) before going.
    ~RunningCatalogue() override;

    const Catalogue& catalogue() const { return catalogue_; }
    QString configDir() const { return configDir_; }

    // Reads both address files again and applies them over the built-in
    // addresses, then emits addressesChanged(); reads the list channels
    // again when their file changed. Call it from the thread that uses the
    // catalogue.
    void reload();

    // The channels of the user's lists as last read; never null.
    std::shared_ptr<const ListChannelSet> listChannels() const { return channels_; }
    // False while a read of them is under way.
    bool channelsRead() const { return !readPending_; }
    // The user's own address for a list channel (a row of addresses.tsv
    // whose window is listWindow()); null when there is none.
    const StreamAddress* ownAddress(const QString& key) const;
    // What a list channel plays, in turn: the user's own address first,
    // then its streams, best first.
    QList<StreamAddress> streams(const ListChannel& channel) const;

signals:
    void addressesChanged();
    // The list channels arrived or changed.
    void channelsChanged();

private:
    void applyLayers();
    void readChannels();

    QString configDir_;
    Catalogue catalogue_;
    QHash<QString, StreamAddress> ownChannels_; // by key
    std::shared_ptr<const ListChannelSet> channels_;
    // What the last read was of (the file's identity), and the read under
    // way: only the newest read's channels are taken.
    QByteArray channelsFile_;
    bool readPending_ = false;
    quint64 readNumber_ = 0;
    QList<QPointer<QThread>> readers_;
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
// `catalogue` (the window and label must exist); a row whose window is
// listWindow() gives a list channel its address, by a key that
// isChannelKey() (whether the lists have that channel is not asked). `origin` is the layer the
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
// becomes an entry, and the label's origin is `origin`. Rows for list
// channels are left to the running catalogue. Returns the number of rows
// applied to labels.
int applyOverrides(Catalogue& catalogue, const QString& path, AddressOrigin origin, const Report& report);

// The same over a file's bytes, as readAddressFile() reads them.
int applyOverrides(Catalogue& catalogue, const QByteArray& content, const QString& name, AddressOrigin origin,
                   const Report& report);

} // namespace catalogue
} // namespace miravon
