#pragma once

#include "guide.h"
#include "guideservice.h"
#include "store.h"
#include "xmltv.h"

#include <QHash>
#include <QObject>

#include <memory>

class QNetworkAccessManager;

namespace miravon::guide {

// The guide service's thread: reads guides, keeps their stores and states
// in the cache folder, matches them to the list channels, and tells the
// service what changed. Its functions are called on its own thread (queued
// by the service); it owns everything it touches.
class GuideWorker : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QString cacheDir;
        qint64 maxBytes = maxGuideBytes;
        int stallMs = 30000;
        int totalMs = 600000;
    };
    explicit GuideWorker(Settings settings);
    ~GuideWorker() override;

    void setChannels(const QList<ListChannel>& channels);
    void setSources(const QList<GuideSource>& sources);
    // Reads sources.tsv and the stores of the sources in use.
    void load();
    // Reads one source; fetchEnded() when done, whatever the outcome.
    void fetch(const GuideSource& source, qint64 now);
    // Drops a source's store and state.
    void forget(const QString& address);
    // Drops the stores whose texts were found damaged; their sources fall due.
    void checkStores();

    static QString statesFile() { return QStringLiteral("sources.tsv"); }
    // The store of a source in the cache folder.
    static QString storeFile(const QString& address);

signals:
    void guideBuilt(const miravon::guide::Guide& guide);
    void statesChanged(const QList<miravon::guide::SourceState>& states);
    void fetchEnded(const QString& address);

private:
    class Reading;
    void readingEnded();
    void rebuild();
    void emitStates();
    // Writes the states, and the store of `address` when `store` is given,
    // as one transaction; drops the stores of sources no longer in use.
    bool commit(const QString& address, const QByteArray* store);
    QByteArray statesText() const;
    void dropStore(const QString& address);

    Settings settings_;
    std::shared_ptr<const ChannelMatcher> matcher_ = std::make_shared<const ChannelMatcher>();
    QList<GuideSource> sources_;
    QHash<QString, SourceState> states_;
    QHash<QString, std::shared_ptr<const Store>> stores_;
    QNetworkAccessManager* network_ = nullptr;
    Reading* reading_ = nullptr;
    bool loaded_ = false;
};

} // namespace miravon::guide
