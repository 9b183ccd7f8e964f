#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace miravon {

// What the user keeps across runs: the entries played last (newest first,
// at most ten) and the favourite ones, in the data folder
// ($XDG_DATA_HOME/miravon, ~/.local/share/miravon when unset), each a file
// of "window<TAB>control" rows written as a transaction. A damaged file is
// reported once and replaced at the next change; an entry the catalogue no
// longer has is dropped without a word.
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
    // `report` hears of a damaged file, once.
    void load(const std::function<bool(const Key&)>& exists, const std::function<void(const QString&)>& report);

    const QList<Key>& recent() const { return recent_; }
    const QList<Key>& favourites() const { return favourites_; }
    bool isFavourite(const Key& key) const { return favourites_.contains(key); }

    // Each change is written at once; false (with lastError()) when it
    // could not be, the change then stays for this run.
    bool played(const Key& key);
    bool setFavourite(const Key& key, bool favourite);
    QString lastError() const { return error_; }

    QString dataDir() const { return dir_; }
    static QString defaultDataDir();
    static QString recentFile() { return QStringLiteral("recent.tsv"); }
    static QString favouritesFile() { return QStringLiteral("favourites.tsv"); }

private:
    bool save(const QString& name, const QList<Key>& keys);

    QString dir_;
    QList<Key> recent_;
    QList<Key> favourites_;
    QString error_;
};

} // namespace miravon
