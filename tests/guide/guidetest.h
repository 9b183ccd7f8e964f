#pragma once

// What the guide tests share: small XMLTV guides written out, gzip, a
// guide read through the reader and its store, and programmes as one line
// each for comparisons.

#include "guide.h"
#include "store.h"
#include "xmltv.h"

#include <QDateTime>
#include <QStringList>

#include <zlib.h>

namespace guidetest {

using namespace miravon::guide;

// Seconds since the epoch of an ISO time ("2024-05-01T12:00:00Z").
inline qint64 at(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toSecsSinceEpoch(); }
inline QDateTime utc(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC(); }

// The moment the tests' guides are read at.
inline const char* nowIso = "2024-05-01T12:00:00Z";

inline QByteArray gzip(const QByteArray& data)
{
    z_stream z{};
    deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(data.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

struct Prog {
    QString channel;
    QString start; // XMLTV times as written
    QString stop;
    QString title;
};

// A guide of `channels` ("id" -> display names) and `programmes`.
inline QByteArray xmltv(const QList<std::pair<QString, QStringList>>& channels, const QList<Prog>& programmes)
{
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n"
                                 "<tv generator-info-name=\"test\">\n");
    for (const auto& [id, names] : channels) {
        out += QStringLiteral("  <channel id=\"%1\">").arg(id.toHtmlEscaped());
        for (const QString& n : names)
            out += QStringLiteral("<display-name>%1</display-name>").arg(n.toHtmlEscaped());
        out += QStringLiteral("<icon src=\"http://127.0.0.1:9/icon.png\"/></channel>\n");
    }
    for (const Prog& p : programmes) {
        out += QStringLiteral("  <programme start=\"%1\"%2 channel=\"%3\"><title>%4</title></programme>\n")
                   .arg(p.start, p.stop.isNull() ? QString() : QStringLiteral(" stop=\"%1\"").arg(p.stop),
                        p.channel.toHtmlEscaped(), p.title.toHtmlEscaped());
    }
    return (out + QStringLiteral("</tv>\n")).toUtf8();
}

// A guide read whole through the reader, `piece` bytes at a time (all at
// once when 0), into a store and matched to `channels`. A failed reading
// gives an empty guide; `failure` tells why.
inline Guide read(const QByteArray& bytes, const QList<ListChannel>& channels, qsizetype piece = 0,
                  ReadFailure* failure = nullptr, ReadOutcome* outcome = nullptr, ReadOptions options = {},
                  QString* detail = nullptr)
{
    auto matcher = std::make_shared<const ChannelMatcher>(channels);
    if (options.now == 0)
        options.now = at(nowIso);
    XmltvReader reader(matcher, options);
    bool ok = true;
    const qsizetype step = piece > 0 ? piece : std::max<qsizetype>(1, bytes.size());
    for (qsizetype i = 0; ok && i < bytes.size(); i += step)
        ok = reader.feed(QByteArrayView(bytes).sliced(i, std::min(step, bytes.size() - i)));
    ok = ok && reader.finish();
    if (failure)
        *failure = reader.failure();
    if (detail)
        *detail = reader.detail();
    if (!ok)
        return {};
    ReadOutcome r = reader.take();
    if (outcome)
        *outcome = r;
    QString why;
    const auto store = Store::fromBytes(Store::encode(r.channels), &why);
    return store ? Guide::build({store}, *matcher) : Guide();
}

// "HH:mm-HH:mm title" (UTC) of each programme of `key` from 00:00 of the
// tests' day for two days.
inline QStringList lines(const Guide& g, const QString& key)
{
    QStringList out;
    for (const Programme& p : g.programmes(key, utc("2024-04-30T00:00:00Z"), utc("2024-05-04T00:00:00Z")))
        out << QStringLiteral("%1-%2 %3").arg(p.start.toString(QStringLiteral("dd HH:mm")),
                                             p.stop.toString(QStringLiteral("dd HH:mm")), p.title);
    return out;
}

inline ListChannel channel(const QString& key, const QString& tvgId, const QStringList& names, const QString& country,
                           const QString& language = {})
{
    return ListChannel{key, tvgId, names, country, language};
}

} // namespace guidetest
