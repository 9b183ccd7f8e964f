#pragma once

#include "importer.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

// What the program does about the public channel lists, decided here and
// shown by the windows: whether to offer them, the user's answer, the
// weekly update once the user agreed, and the sources in use. Qt Core only;
// the settings and the import's files are its memory.
namespace miravon::import {

// The user's answer to the offer of the public lists.
enum class ListConsent {
    Unasked, // never answered, or answered "not now": offered at the next start
    Agreed,  // fetched, and updated every week
    Refused, // never offered again
};

class ChannelListPolicy : public QObject {
    Q_OBJECT
public:
    // The wall clock, or a test's.
    using Clock = std::function<QDateTime()>;
    // How often the lists are fetched again once the user agreed.
    static constexpr int updateDays = 7;

    explicit ChannelListPolicy(QString configDir, Clock now = {}, QObject* parent = nullptr);

    ListConsent consent() const;
    // Keeps the answer (off the calling thread; Unasked keeps nothing, so
    // "not now" asks again next time); `done` hears how it went.
    void answer(ListConsent consent, std::function<void(bool saved, const QString& error)> done = {});

    // Whether the offer is due: the user has neither agreed nor refused,
    // and there is neither an import nor an address file of the user's.
    bool offerDue() const;

    enum class Update {
        NotAgreed, // the user has not agreed: never fetched unasked
        NotDue,    // fetched less than updateDays ago
        Due,       // never fetched, or updateDays or more ago
    };
    // The weekly update, at the clock's now. A last update stored in the
    // future (a clock that was wrong) counts as now, and now is stored in
    // its place, so that the week counts from today.
    Update update();

    // The lists the import reads, as the sources window lists them.
    QList<SourceRecord> sourcesInUse() const;

private:
    QString configDir_;
    Clock now_;
};

} // namespace miravon::import
