#pragma once

#include "streamaddress.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// The channels of the user's lists, whole: every channel an import read,
// with every stream it has, kept by the import beside its address files
// (listChannelsFileName(), part of the import layer: written in the same
// transaction, kept as .bak, put back by an undo). Most of them match no
// entry of the catalogue; the windows show those as a country's other
// channels. The ones that gave an entry its address are kept too, naming
// the entry, so that what is known of a channel (its programme guide id,
// its other streams) reaches the entry.
namespace miravon::catalogue {

// The window a list channel is named under wherever an entry is named by
// window and control (the kept lists, the played streams, the user's own
// address file, the finder): its control is the channel's key. No window of
// the program has this name.
inline constexpr char16_t listWindowName[] = u"danhsach";
inline QString listWindow() { return QString::fromUtf16(listWindowName); }

// One stream of a list channel.
struct ListStream {
    StreamAddress address; // origin AddressOrigin::Imported
    QString list;          // the list it came from: its file name or address
    QString title;         // its name in that list, as written there
    friend bool operator==(const ListStream&, const ListStream&) = default;
};

struct ListChannel {
    // "<country>/<id>", the same from one import to the next: the id is the
    // list's tvg-id without its feed ("VTV5.vn@HD" gives "VTV5.vn"), or,
    // without one, the name folded as names are compared. See channelKey().
    QString key;
    QString name;    // as shown: the list's name without its quality mark and notes
    QString group;   // the list's group (group-title or #EXTGRP); may be empty
    QString quality; // "1080p", "720p", ...: the best its streams' names give; may be empty
    QString tvgId;   // as the list writes it, feed included; may be empty
    QString country; // ISO 3166-1 alpha-2, upper case ("GB" for the United Kingdom)
    QString logo;    // the list's logo address; shown never fetched
    // "window/control" of the catalogue entry this channel gave its address,
    // empty for a channel no entry stands for (one of the country's other
    // channels).
    QString entry;
    QList<ListStream> streams; // best first; never empty
    friend bool operator==(const ListChannel&, const ListChannel&) = default;
};

// The key of a channel of `country` with this tvg-id or, without one, this
// name (as shown, quality mark already taken out).
QString channelKey(const QString& country, const QString& tvgId, const QString& name);

// The file's rows: a header, then one row per stream, the streams of one
// channel together and in order. Values hold no tab or line break (they are
// written as blanks).
QByteArray writeListChannels(const QList<ListChannel>& channels);
// Reads what writeListChannels() wrote. A row that cannot be read is
// skipped and said in `problems` (one line each, naming the line); a file
// whose header is not this one gives nothing and one problem.
QList<ListChannel> readListChannels(QByteArrayView bytes, QStringList* problems = nullptr);

// The file is not read past this size; an import never writes past it.
inline constexpr qint64 maxListChannelsFileBytes = 64 * 1024 * 1024;

} // namespace miravon::catalogue
