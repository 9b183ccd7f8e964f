#pragma once

#include "channelmatch.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QTimeZone>

#include <memory>

namespace miravon::guide {

class Store;

// One programme as shown. Times are UTC; show them with toLocalTime() (or
// in the zone of choice).
struct Programme {
    QDateTime start;
    QDateTime stop;
    QString title;
    QString subTitle;
    QString description;
    QString category; // ", " between several
    bool isValid() const { return start.isValid(); }
};

struct NowNext {
    Programme now;  // invalid when nothing is on
    Programme next; // the next to begin after `t` (after `now` ends)
};

// What is on every list channel that has a guide, as of one reading of the
// guides: an immutable value, cheap to copy, safe to ask from any thread
// (GuideService hands a new one over when the guides change). Keys are
// those of the ListChannel list it was matched with.
class Guide {
public:
    Guide() = default;

    // The programmes of `stores` (the first serves a channel before a
    // later one, but any one serving it by tvg-id wins over those serving
    // it by name) matched to the list channels of `matcher`.
    static Guide build(const QList<std::shared_ptr<const Store>>& stores, const ChannelMatcher& matcher);

    bool isEmpty() const { return !d_ || d_->byKey.isEmpty(); }
    // List channels that have a guide.
    int channelCount() const { return d_ ? int(d_->byKey.size()) : 0; }
    bool has(const QString& key) const { return d_ && d_->byKey.contains(key); }

    // What is on `key` at `t`, and what comes next.
    NowNext nowNext(const QString& key, const QDateTime& t) const;
    // The programmes of `key` that are on at some time of [from, to).
    QList<Programme> programmes(const QString& key, const QDateTime& from, const QDateTime& to) const;
    // Those of `day` and the day after, from midnight to midnight in `zone`.
    QList<Programme> schedule(const QString& key, QDate day,
                              const QTimeZone& zone = QTimeZone::systemTimeZone()) const;

    // The first time after `t` at which a programme of any channel begins
    // or ends: what is on changes then. Invalid when none does.
    QDateTime nextBoundary(const QDateTime& t) const;

private:
    struct Ref {
        int store = 0;
        int channel = 0;
    };
    struct Data {
        QList<std::shared_ptr<const Store>> stores;
        QHash<QString, Ref> byKey;
        QList<Ref> refs; // each once
    };
    Programme programme(const Ref& ref, int index) const;

    std::shared_ptr<const Data> d_;
};

} // namespace miravon::guide

Q_DECLARE_METATYPE(miravon::guide::Guide)
