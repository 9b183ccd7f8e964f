#pragma once
// What the player benchmarks share: the loopback server process, the bare
// engine they compare the player with, statistics, RSS, and the one table
// row format that bench/run.sh gathers.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QWidget>
#include <QProcess>
#include <QString>

#include <mpv/client.h>

#include <atomic>
#include <limits>

namespace miravon {
class VideoSurface;
}

namespace miravon::bench {

// ---- statistics -----------------------------------------------------------

struct Stats {
    int n = 0;
    double min = 0, median = 0, p90 = 0;
};
// A sample that could not be taken (no frame within the bound, a failed case).
inline constexpr double failedSample = std::numeric_limits<double>::quiet_NaN();
Stats stats(QList<double> samples); // failed samples are left out

// One row of the table. Reference columns may be empty (n == 0).
struct Row {
    QString bench;     // e.g. "first frame"
    QString caseName;  // e.g. "asx -> wmv, 50 ms, null video"
    QString unit;      // "ms", "MiB"
    Stats subject;     // the player
    QString reference; // what it is compared with: "bare engine", "one idle player"
    Stats ref;
};
// Prints "ROW\t..." for bench/run.sh, and a readable line.
void printRow(const Row& row);

// ---- process --------------------------------------------------------------

// A "Name:   123 kB" line of /proc/self/status ("RssAnon:"), in KiB; -1
// if there is none.
long statusKiB(const char* field);
// Resident set size of this process, in KiB.
inline long residentKiB() { return statusKiB("VmRSS:"); }
// Gives freed heap back to the system, so that RSS shows what is still held.
void trimHeap();

// ---- the loopback server, in its own process ------------------------------

class MediaServer {
public:
    // Starts bench/media_server.py over the test media; `delayMs` before each
    // HTTP answer; `rtsp` adds the running live RTSP mount.
    MediaServer(int delayMs, bool rtsp);
    // The same over the files of `dir`; `more` goes to the server as it is
    // ("--no-nagle").
    MediaServer(const QString& dir, int delayMs, bool rtsp, const QStringList& more = {});
    ~MediaServer();
    bool ok() const { return httpPort_ > 0 && (!rtsp_ || rtspPort_ > 0); }
    QString http(const QString& path) const;
    QString rtsp(const QString& path) const;

private:
    QProcess process_;
    bool rtsp_;
    int httpPort_ = 0;
    int rtspPort_ = 0;
};

// ---- the bare engine ------------------------------------------------------

// A plain engine handle with the player's options and the player's thread
// model: commands from the UI thread, events drained on the UI thread after
// a queued wake-up, video discarded or rendered through the player's own
// render path (the same surface: software rendering on its render thread,
// the newest picture painted on the UI thread).
class BareEngine : public QObject {
    Q_OBJECT
public:
    // `parent` hosts the video surface when `rendered`.
    BareEngine(bool rendered, QWidget* parent);
    ~BareEngine() override;
    QWidget* surface() const;

    void load(const QString& address);
    void stop();

signals:
    void firstFrame();
    void idle();
    void failed();

private:
    void drain();
    void nullFrame();
    void frameRendered();

    mpv_handle* handle_ = nullptr;
    VideoSurface* surface_ = nullptr;
    std::atomic_bool queued_{false};
    bool rendered_;
    bool loaded_ = false;
    bool frameSeen_ = false;
    bool restarted_ = false;
    bool hasVideo_ = false;
};

} // namespace miravon::bench
