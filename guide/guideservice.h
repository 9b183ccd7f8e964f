#pragma once

#include "channelmatch.h"
#include "guide.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <functional>

namespace miravon::guide {

class BoundaryTimer;
class GuideWorker;

// Where a guide comes from.
struct GuideSource {
    // An http(s) address, or (added by the user only) the absolute path of a
    // .xml or .xml.gz file of this computer.
    QString address;
    bool byUser = false; // added by the user; else named by a list
    // The country of the list that names it: the country of guide channels
    // whose id names none (for matching by name).
    QString country;
    friend bool operator==(const GuideSource&, const GuideSource&) = default;
};

// The bounds and places of a GuideService; tests make them small.
struct ServiceOptions {
    QString cacheDir;  // the guide's folder; <cache folder>/guide when empty
    QString configDir; // where guide-sources.txt is; the address files' folder when empty
    std::function<QDateTime()> clock; // UTC now; the system's clock when empty
    qint64 maxBytes = 0;   // uncompressed bound of one guide; maxGuideBytes when 0
    int stallMs = 30000;   // no byte for this long: stalled
    int totalMs = 10 * 60 * 1000; // one reading, at most
    int firstCheckMs = 5000;      // after start(), before the first reading
    int checkMs = 10 * 60 * 1000; // how often due sources are looked for
};

// How a source went, as the sources window shows it.
struct SourceState {
    GuideSource source;
    QDateTime read;   // the last reading that got through (UTC); invalid: never
    QDateTime tried;  // the last attempt
    int channels = 0; // of the lists' channels, with programmes, as of `read`
    int programmes = 0;
    QString error;    // why the last attempt gave nothing (Vietnamese); empty when it did
    bool busy = false; // being read now
};

// The guides of this run: the ones the user's lists name in their first
// line (x-tvg-url, url-tvg), given by the caller for lists the user chose
// or agreed to, and the ones the user added (kept in the config folder,
// guide-sources.txt). Each is read at most once a day, and only while the
// program runs: when it has not been read for 24 hours (a failed attempt is
// made again after 3 hours), at start and then whenever one falls due; one
// at a time, on a worker thread of its own: the caller's thread never waits
// for a guide. What was read is kept in the cache folder ($XDG_CACHE_HOME/
// miravon/guide: one store per source, and sources.tsv) and read back at
// start without reading any guide again; a damaged store is dropped and its
// guide read again.
//
// A failure (too large, stalled, broken, unreachable) keeps what the source
// gave before, and says why in its state. Nothing a guide names (icons,
// addresses) is ever fetched.
class GuideService : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>; // UTC now

    using Options = ServiceOptions;

    explicit GuideService(Options options = {}, QObject* parent = nullptr);
    ~GuideService() override;

    // The list channels that want a guide (see ListChannel); may change at
    // any time, the guide is then matched again (without reading any guide).
    void setChannels(QList<ListChannel> channels);
    // The guides the user's lists name, in the lists' order. Only http(s)
    // addresses are taken: a list never names a file of this computer.
    void setListGuides(QList<GuideSource> guides);

    // Adds a guide address of the user's own: http(s), or a .xml / .xml.gz
    // file (a path or a file:// address). False with the reason (Vietnamese)
    // when it is none of these or is there already. It is read at once.
    bool addSource(const QString& address, QString* why);
    // Removes one the user added, with what it gave.
    bool removeSource(const QString& address);
    // Reads a source now, whatever its last reading (a person asked).
    void refresh(const QString& address);

    // Reads the kept guides and begins the schedule. Call once, after the
    // first setChannels() and setListGuides().
    void start();

    // The sources in use: the user's first, then the lists'.
    QList<SourceState> sources() const;
    Guide guide() const { return guide_; }
    QDateTime now() const { return clock_(); }

signals:
    // A new guide: read back at start, read from a source, or matched to
    // changed channels.
    void guideChanged(const miravon::guide::Guide& guide);
    void sourcesChanged(const QList<miravon::guide::SourceState>& sources);
    // A programme began or ended on some channel (what is on has changed).
    void onAirChanged();

private:
    QList<GuideSource> inUse() const;
    void sendSources();
    void check();
    void next();
    void onStates(const QList<miravon::guide::SourceState>& states);
    void onGuide(const miravon::guide::Guide& guide);
    void onFetchEnded(const QString& address);
    bool saveUserSources(QString* why);

    Options options_;
    Clock clock_;
    QString configDir_;
    QStringList userSources_;
    QList<GuideSource> listSources_;
    QList<SourceState> states_; // as the worker last told them
    QStringList queue_;
    QString reading_;
    bool started_ = false;
    bool loaded_ = false;
    Guide guide_;
    QThread thread_;
    GuideWorker* worker_ = nullptr;
    QTimer checkTimer_;
    BoundaryTimer* boundary_ = nullptr;
};

// When a source is to be read next: 24 hours after the last reading that
// got through, 3 hours after a failed attempt; invalid when it never was
// tried (due now).
QDateTime dueAt(const SourceState& state);

} // namespace miravon::guide

Q_DECLARE_METATYPE(miravon::guide::GuideSource)
Q_DECLARE_METATYPE(miravon::guide::SourceState)
