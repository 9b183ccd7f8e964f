#pragma once

#include "channelmatch.h"
#include "store.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

namespace miravon::guide {

// A guide larger than this, uncompressed, is not read.
inline constexpr qint64 maxGuideBytes = qint64(200) * 1024 * 1024;
// Programmes kept: from this long before now...
inline constexpr qint64 keepBeforeSecs = 6 * 3600;
// ...to this long after.
inline constexpr qint64 keepAfterSecs = 48 * 3600;

// An XMLTV time, "YYYYMMDDhhmmss" or a prefix of it down to the day
// ("200807150030", "20080715"), then optionally a zone: "+hhmm", "-hhmm",
// "+hh:mm", "Z", "UTC" or "GMT", with or without a blank before it. No zone
// is UTC (as the format says). In seconds since the epoch; nothing when
// malformed or out of range.
std::optional<qint64> parseXmltvTime(QStringView text);

// Why a guide could not be read.
enum class ReadFailure {
    None,
    TooLarge,      // past the bound on its uncompressed size
    Stalled,       // no byte came for the bound on silence
    TimedOut,      // the whole read took too long
    Unreachable,   // the server or the file could not be reached or read
    NotXmltv,      // readable, but no XMLTV guide (another root, not XML)
    Malformed,     // broken XML, or cut short
    Entities,      // declares entities: never expanded, the guide is not read
    NoProgrammes,  // read, but nothing of the lists' channels from 6 hours ago on
    Cancelled,
};

// The reason in a sentence for the person (Vietnamese); `detail` is added.
QString failureText(ReadFailure failure, const QString& detail = {});

struct ReadOptions {
    qint64 now = 0;               // seconds since the epoch: the window is around it
    qint64 maxBytes = maxGuideBytes;
    QString country;              // of the lists that name the guide, for ids that name none
};

// What a guide gave: the channels the lists want, with their programmes
// from 6 hours before now to 48 hours after.
struct ReadOutcome {
    QList<ChannelRecord> channels;
    int programmes = 0;    // kept, in all
    int malformed = 0;     // programmes dropped for bad or missing times
    qint64 bytes = 0;      // uncompressed bytes read
};

// Reads an XMLTV guide as its bytes come, a piece at a time, never holding
// the document: gzip (told by its first bytes, not by a name) is inflated
// as it streams, the declared encoding is honoured, and only the channels
// that `matcher` serves are kept (by id, else by display name within their
// country; see ChannelMatcher).
//
// Texts (title, sub-title, desc, category) are taken in Vietnamese if the
// guide has them, else in the channel's own language (the hint of the list
// channel it serves), else untagged, else any. Programmes are kept in time
// order; one that starts before the previous one ends cuts it short; one
// without a stop ends where the next begins (the last such one is
// dropped); malformed or reversed times drop the programme.
//
// Never followed: entities (a guide that declares any is refused, so no
// expansion can grow without bound), external documents, and whatever a
// guide names (icons, addresses). Bounded: `maxBytes` uncompressed, and a
// single token (a text, a tag) of at most a few MiB.
class XmltvReader {
public:
    XmltvReader(std::shared_ptr<const ChannelMatcher> matcher, ReadOptions options);
    ~XmltvReader();
    XmltvReader(const XmltvReader&) = delete;
    XmltvReader& operator=(const XmltvReader&) = delete;

    // The next bytes of the document. False once reading has failed.
    bool feed(QByteArrayView bytes);
    // The document has ended: false when it failed or was cut short.
    bool finish();

    ReadFailure failure() const;
    QString detail() const;
    // After finish() returned true.
    ReadOutcome take();

    // Bytes given to feed(), as they came (compressed or not).
    qint64 bytesIn() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace miravon::guide
