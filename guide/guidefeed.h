#pragma once

#include "channelmatch.h"
#include "guideservice.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace miravon::guide {

// What the guide service is fed from the user's lists, as the last import
// kept them: every list channel (by its key, catalogue::ListChannel::key),
// the entries those channels gave an address (so that an entry is asked
// about by its channel's key), and the guides the lists in use name in
// their first line. The lists in use are the ones the user chose (a file,
// an address) or agreed to (the public lists, once the user said yes to
// them): a guide they name is used with that consent.
struct Feed {
    QList<ListChannel> channels;
    QHash<QString, QString> keyOfEntry; // "window/control" -> channel key
    QHash<QString, QString> nameOfKey;  // channel key -> its name as shown
    QList<GuideSource> guides;
};

// Reads the feed from the import's files in `configDir` and the lists'
// copies in `cacheDir` (userdata's folders when empty). Reads the disk:
// never on the windows' thread. What cannot be read gives nothing.
Feed readFeed(const QString& configDir = {}, const QString& cacheDir = {});

// The guides the #EXTM3U line at the head of a list names; empty when
// the bytes begin with none.
QStringList guidesOfList(QByteArrayView head);

} // namespace miravon::guide
