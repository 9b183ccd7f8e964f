#pragma once

#include <QDateTime>
#include <QMap>
#include <QObject>
#include <QString>

#include <functional>

namespace miravon {

// The program's few settings, kept as "key=value" lines in settings.ini of
// the config folder beside the address files (lines starting with '#', ';'
// or '[' are notes; unknown keys are kept as they are). Read without a
// lock, line by line: a line that is not UTF-8 or not "key=value" is left
// out and named, the others are read. Written as a transaction of the
// folder the file is really in (files::editFile(): through a symbolic
// link, under that folder's lock), so a second writer or a kill never loses
// one; never written over when it could not be read, never made read-only
// again, never past the size it is read up to.
class Settings {
public:
    // Reads dir/settings.ini (nothing when it is missing or unreadable).
    static Settings load(const QString& dir);

    // How the file was found: there was none, it was read (perhaps with
    // lines left out), or it could not be read (too large, not a file,
    // unreadable): it is then never written over.
    enum class State { Missing, Read, Unreadable };
    State state() const { return state_; }
    // What is wrong with the file, to be told once at start: on standard
    // error (English, with its path) and in the window (Vietnamese). Empty
    // when nothing is.
    QString problem() const { return problem_; }
    QString problemText() const { return problemText_; }

    QString value(const QString& key, const QString& fallback = {}) const;
    void set(const QString& key, const QString& value);
    void remove(const QString& key);

    // Changes only the keys given here in the file as it is now, so that
    // two writers of different keys keep each other's; lines left out as
    // unreadable are dropped, the file as it was kept as settings.ini.damaged
    // in the same change. Waits at most `waitMs` for the folder's lock (by
    // default the calling thread's bound, files::lockWait()). False with
    // `error` (English) when it is not written: the file could not be read
    // when loaded or now, was made read-only, or the folder is busy.
    bool save(const QString& dir, QString* error, int waitMs = -1) const;

    static QString fileName() { return QStringLiteral("settings.ini"); }

private:
    QMap<QString, QString> values_;
    QMap<QString, bool> changed_; // key -> true: set, false: removed
    State state_ = State::Missing;
    QString problem_;
    QString problemText_;
};

// Saves `settings` on the thread that writes the user's files
// (files::inBackground()), for the windows, whose thread never waits for a
// folder; `done`, when given, hears on `context`'s thread how it went.
void saveInBackground(const Settings& settings, const QString& dir, QObject* context,
                      std::function<void(bool saved, const QString& error)> done = {});

// The weekly update of the channel lists: whether it is due at `now` (a
// week or more since the last one, or none yet). A last update stored in
// the future (a clock that was wrong) counts as `now`; `*correction` is then
// set to store `now` in its place, so that the week counts from today.
bool channelUpdateDue(const Settings& settings, const QDateTime& now, Settings* correction);

// The keys in use.
namespace setting {
// The channel lists' address template, "{code}" standing for a country.
inline const QString channelSource = QStringLiteral("channels/source");
// The user's answer to the offer of the public lists: "yes", "no" (this
// time) or "never".
inline const QString channelConsent = QStringLiteral("channels/consent");
// "no" turns the player's hardware decoding off.
inline const QString hardwareDecoding = QStringLiteral("player/hardware-decoding");
// When the channel lists were last updated (ISO 8601, UTC).
inline const QString channelsUpdated = QStringLiteral("channels/updated");
} // namespace setting

} // namespace miravon
