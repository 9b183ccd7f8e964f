#pragma once

#include "listchannels.h"
#include "matcher.h"

#include <QHash>
#include <QList>
#include <QString>

namespace miravon::import {

// Gathers the streams of the lists into whole channels (listchannels.h),
// one stream at a time: a stream joins the channel of its key
// (catalogue::channelKey(): its tvg-id without the feed, else its name
// folded, within its country). Everything kept is copied out of the stream
// as it is added, so that the builder holds memory in proportion to the
// channels it keeps, never to the lists read: it can be fed from lists read
// as a stream.
class ChannelBuilder {
public:
    // Adds a stream of the list named `list` (its file name or address).
    // Returns its channel's index, or -1 for a stream no channel keeps: an
    // address that cannot be used, names past the limits, no country, no
    // name at all.
    int add(const Stream& stream, const QString& list);
    // The channel gave the entry "window/control" an address; the first
    // entry named for a channel is the one it keeps.
    void setEntry(int channel, const QString& entry);
    qsizetype size() const { return channels_.size(); }

    // The channels, country by country (in the order of their codes), in
    // the order each was first met. A channel's streams come best first
    // (matcher.h: StreamRank, then the order read), each address once; its
    // name is what its streams' names have in common ("DW" for "DW English"
    // and "DW Arabic"), else its best stream's name; its quality is the
    // best its streams give. Leaves the builder empty.
    QList<catalogue::ListChannel> take();

private:
    struct Kept {
        catalogue::ListStream stream;
        StreamRank rank;
        QString name; // without quality mark and notes
        int order = 0;
    };
    struct Building {
        catalogue::ListChannel channel; // streams empty until take()
        QList<Kept> streams;
        int resolution = 0;
    };
    QHash<QString, int> byKey_;
    QList<Building> channels_;
    int added_ = 0;
};

} // namespace miravon::import
