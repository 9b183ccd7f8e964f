#pragma once

#include "windowid.h"

#include "catalogue.h"
#include "search.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

namespace miravon {

class Program;

// Goes to an entry exactly as the chooser, the menus and the page buttons
// would (the right window shown, the right panel visible, the chooser page
// turned), then plays it as a click does. False when there is no such
// entry or no way to it.
bool goToEntry(Program& program, WindowId from, const QString& window, const QString& control);
// Goes to a channel of the user's lists by its key: to its country's panel
// as goToEntry() would (a country without one: the window `from`), opens
// its country's list of other channels there with the channel chosen, and
// plays it. A channel that gave an entry its address goes to that entry.
// False when the lists have no such channel or there is no way to it.
bool goToChannel(Program& program, WindowId from, const QString& key);

// What the finder searches: every entry and film of the running catalogue,
// then every other channel of the user's lists, with the names, countries
// and place it is found by. Kept up to date as addresses and channels
// change (an entry with an address ranks first, an entry without last).
class EntryIndex : public QObject {
    Q_OBJECT
public:
    explicit EntryIndex(Program& program);
    const search::Index& index() const { return index_; }
    // The entry as the finder lists it; null when the catalogue has no
    // such entry (or it cannot be played).
    const search::Entry* entry(const QString& window, const QString& control) const;

private:
    void rebuild();
    Program& program_;
    search::Index index_;
    QHash<QString, int> at_; // "window/control" -> index entry
    std::shared_ptr<const catalogue::ListChannelSet> channels_;
    mutable QHash<QString, int> channelAt_; // key -> entry of channels_->found()
};

} // namespace miravon
