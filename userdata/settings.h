#pragma once

#include <QMap>
#include <QString>

namespace miravon {

// The program's few settings, kept as "key=value" lines in settings.ini of
// the config folder beside the address files (comments start with '#';
// unknown keys are kept as they are). Read without a lock; written as a
// transaction under the folder's lock, so a second writer or a kill never
// loses one.
class Settings {
public:
    // Reads dir/settings.ini (nothing when it is missing or unreadable).
    static Settings load(const QString& dir);

    QString value(const QString& key, const QString& fallback = {}) const;
    void set(const QString& key, const QString& value);
    void remove(const QString& key);

    // Changes only the keys given here in the file as it is now, so that
    // two writers of different keys keep each other's. False with `error`
    // when it cannot be written.
    bool save(const QString& dir, QString* error) const;

    static QString fileName() { return QStringLiteral("settings.ini"); }

private:
    QMap<QString, QString> values_;
    QMap<QString, bool> changed_; // key -> true: set, false: removed
};

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
// The last update of the channel lists tried, whether it changed anything
// or not: when (ISO 8601, UTC), and what it came to, in the user's words.
inline const QString channelsAttempt = QStringLiteral("channels/last-attempt");
inline const QString channelsAttemptResult = QStringLiteral("channels/last-attempt-result");
} // namespace setting

} // namespace miravon
