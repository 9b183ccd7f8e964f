#pragma once

// Channels of the user's lists for a test or a benchmark: made here and
// written where an import leaves them (the config folder's
// addresses.import.channels.tsv), as writeListChannels() writes them. Their
// streams are loopback addresses nobody opens (the players are fakes).

#include "addressfiles.h"
#include "listchannels.h"
#include "search.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

namespace fixture {

using miravon::catalogue::ListChannel;
using miravon::catalogue::ListStream;

// A channel of `country` with `streams` streams, the first best; `entry`
// ("window/control") when it gave an entry its address.
inline ListChannel channel(const QString& country, const QString& name, int streams = 1, const QString& group = {},
                           const QString& quality = {}, const QString& entry = {})
{
    ListChannel c;
    c.country = country;
    c.name = name;
    c.group = group;
    c.quality = quality;
    c.entry = entry;
    c.key = miravon::catalogue::channelKey(country, {}, name);
    const QString path = miravon::search::fold(name).replace(u' ', u'-');
    for (int i = 0; i < streams; ++i)
        c.streams << ListStream{{QStringLiteral("http://127.0.0.1:9/%1/%2/%3.m3u8").arg(country, path).arg(i + 1),
                                 {{}, {}, miravon::AddressOrigin::Imported}},
                                QStringLiteral("%1.m3u").arg(country.toLower()),
                                i == 0 ? name : QStringLiteral("%1 (%2)").arg(name).arg(i + 1)};
    return c;
}

// The config folder of the current home (XDG_CONFIG_HOME/miravon).
inline QString configDir()
{
    return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/miravon");
}

// Writes `channels` as the import's file of list channels in `dir`.
inline bool writeChannels(const QList<ListChannel>& channels, const QString& dir = configDir())
{
    QDir().mkpath(dir);
    QFile f(dir + u'/' + miravon::userdata::listChannelsFileName());
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && f.write(miravon::catalogue::writeListChannels(channels)) >= 0;
}

} // namespace fixture
