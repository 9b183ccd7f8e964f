#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>

class QObject;

namespace miravon {

// What the user keeps across runs: the entries played last (newest first,
// at most ten) and the favourite ones, in the data folder
// ($XDG_DATA_HOME/miravon, ~/.local/share/miravon when unset), each a file
// of "window<TAB>control" rows written as a transaction (files::editFile()).
// Read row by row: a row that cannot be read (not UTF-8, not two fields) is
// left out and named, once; the others are kept, and at the next change the
// damaged file is kept aside as NAME.damaged. A file that cannot be read at
// all (too large, not a file, unreadable) is named once and never written
// over in this run. An entry the catalogue no longer has is dropped without
// a word.
class KeptEntries {
public:
    struct Key {
        QString window;
        QString control;
        friend bool operator==(const Key&, const Key&) = default;
    };
    static constexpr int recentCount = 10;

    explicit KeptEntries(QString dataDir = {});

    // Reads both files. `exists` tells the entries the catalogue has;
    // `report` hears of a damaged or unreadable file, once: its name
    // (recentFile() or favouritesFile()) and what is wrong with it, for the
    // log (English, with the path) and said for a person (Vietnamese).
    using Report = std::function<void(const QString& file, const QString& log, const QString& said)>;
    void load(const std::function<bool(const Key&)>& exists, const Report& report);

    const QList<Key>& recent() const { return recent_; }
    const QList<Key>& favourites() const { return favourites_; }
    bool isFavourite(const Key& key) const { return favourites_.contains(key); }

    // Each change is written at once; false (with lastError(), said for a
    // person) when it could not be, the change then stays for this run.
    // Once writeInBackground() is set, a change is handed to the writer
    // thread and false means only a refusal known at once (a file not read
    // at start); a write that fails later is told to `failed`.
    bool played(const Key& key);
    bool setFavourite(const Key& key, bool favourite);
    QString lastError() const { return error_; }

    // Writes off the caller's thread from now on, so that a click never
    // waits for the disk. Changes made faster than the disk takes them are
    // coalesced: the writer writes each file's newest rows. `failed` hears
    // of a write that failed, on `context`'s thread (the file's name and
    // what went wrong, said for a person).
    using Failed = std::function<void(const QString& file, const QString& said)>;
    void writeInBackground(QObject* context, Failed failed);
    // Waits up to `ms` for the writes handed over so far; false when they
    // were not all made by then.
    bool flush(int ms) const;

    QString dataDir() const { return dir_; }
    static QString recentFile() { return QStringLiteral("recent.tsv"); }
    static QString favouritesFile() { return QStringLiteral("favourites.tsv"); }

private:
    bool save(const QString& name, const QList<Key>& keys);

    struct Pending;

    QString dir_;
    QObject* context_ = nullptr;
    Failed failed_;
    std::shared_ptr<Pending> pending_;
    QList<Key> recent_;
    QList<Key> favourites_;
    QSet<QString> unreadable_; // files not to be written over
    QString error_;
};

// The stream that last played for each entry, kept across runs in the
// cache folder ($XDG_CACHE_HOME/miravon, ~/.cache/miravon when unset): the
// next time the entry is chosen, that stream is tried first. Only a cache:
// a damaged or lost file is started anew without a word.
class PlayedStreams {
public:
    explicit PlayedStreams(QString cacheDir = {});

    QString lastFor(const QString& window, const QString& control) const;
    // Remembered at once; false when it could not be written (kept for
    // this run all the same).
    bool played(const QString& window, const QString& control, const QString& address);
    // As KeptEntries::writeInBackground(); a cache, so a failed write is
    // not told.
    void writeInBackground(QObject* context);

    static QString fileName() { return QStringLiteral("streams-played.tsv"); }

private:
    struct Pending;

    QString dir_;
    QObject* context_ = nullptr;
    std::shared_ptr<Pending> pending_;
    QHash<QString, QString> last_; // "window/control" -> address
};

} // namespace miravon
