#pragma once

#include "guide.h"
#include "guidefeed.h"
#include "guideservice.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimeZone>

namespace miravon {

// The programme guide of a run, as the windows ask it: what is on the
// channel of an entry (an entry matched to a list channel is asked about
// by that channel's key) or of a list channel, now and next, and its
// schedule. Owned by the Program. Nothing is read, and no guide fetched,
// before start(), which the program calls once it is used (its first
// viewer window shown, the sources window opened); the user's lists are
// then read off the windows' thread, and the service reads the guides on
// its own thread, each at most once a day.
class ProgramGuide : public QObject {
    Q_OBJECT
public:
    // `options` go to the service (tests give a clock, folders, small
    // bounds); the folders are the user's when empty.
    explicit ProgramGuide(guide::ServiceOptions options = {}, QObject* parent = nullptr);
    ~ProgramGuide() override;

    // The program is in use: the service is made, the lists read, and the
    // guides' schedule begun. Once; later calls do nothing.
    void start();
    bool started() const { return service_ != nullptr; }
    // The lists changed (an import): their channels and guides are read
    // again; the guides already read are matched again, none is fetched.
    void reload();

    // The service (sources window); starts the guide when not yet.
    guide::GuideService& service();

    // The key of the list channel that stands for `window`/`control`: an
    // entry that a list channel gave its address, or a list channel itself
    // (catalogue::listWindow()); empty when none.
    QString keyOf(const QString& window, const QString& control) const;
    // Its name as the lists show it.
    QString nameOf(const QString& key) const { return feed_.nameOfKey.value(key); }
    bool hasGuide(const QString& key) const { return service_ && service_->guide().has(key); }
    guide::NowNext nowNext(const QString& key) const;
    // Its programmes of today and tomorrow (local days).
    QList<guide::Programme> schedule(const QString& key) const;
    QDateTime now() const;
    // The zone times are shown in: the system's (tests set their own).
    QTimeZone zone() const { return zone_; }
    void setZone(const QTimeZone& zone) { zone_ = zone; }

    // "Đang phát 20:00–21:00 Thời sự · Tiếp theo 21:00 Phim truyện" for
    // `window`/`control`; empty when its channel has no guide, or nothing
    // is known of now or next.
    QString nowNextText(const QString& window, const QString& control) const;

signals:
    // What is on may read differently: a new guide, a programme began or
    // ended, the lists changed.
    void changed();

private:
    void readFeed();
    void takeFeed(guide::Feed feed);

    guide::ServiceOptions options_;
    guide::GuideService* service_ = nullptr;
    guide::Feed feed_;
    QTimeZone zone_ = QTimeZone::systemTimeZone();
    bool reading_ = false;
    bool readAgain_ = false;
};

// The options every Program gives its guide: the user's folders and the
// system's clock, unless a test set others before making the Program.
guide::ServiceOptions& programGuideOptions();

// "20:00–21:00" in `zone`.
QString timeSpan(const guide::Programme& p, const QTimeZone& zone);
// "Đang phát 20:00–21:00 Thời sự · Tiếp theo 21:00 Phim truyện", or one
// of the two halves; empty when neither is known.
QString nowNextText(const guide::NowNext& nn, const QTimeZone& zone);
// A programme as one line: "20:00–21:00 Thời sự: sub-title".
QString programmeText(const guide::Programme& p, const QTimeZone& zone);

} // namespace miravon
