#include "common.h"
#include "subject.h"
#include "videosurface.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <malloc.h>

namespace miravon::bench {

Stats stats(QList<double> samples)
{
    samples.removeIf([](double v) { return std::isnan(v); });
    std::sort(samples.begin(), samples.end());
    Stats s;
    s.n = int(samples.size());
    if (s.n == 0)
        return s;
    // Nearest rank.
    auto rank = [&](double q) { return samples.at(std::clamp(int(std::ceil(q * s.n)) - 1, 0, s.n - 1)); };
    s.min = samples.first();
    s.median = s.n % 2 ? samples.at(s.n / 2) : (samples.at(s.n / 2 - 1) + samples.at(s.n / 2)) / 2;
    s.p90 = rank(0.9);
    return s;
}

void printRow(const Row& r)
{
    auto cell = [](const Stats& s, int n) {
        return s.n == 0 ? QStringLiteral("-")
            : n > 1     ? QStringLiteral("%1 / %2 / %3").arg(s.min, 0, 'f', 1).arg(s.median, 0, 'f', 1).arg(s.p90, 0, 'f', 1)
                        : QString::number(s.median, 'f', 1);
    };
    const int n = std::max(r.subject.n, r.ref.n);
    QString diff = QStringLiteral("-");
    if (r.subject.n && r.ref.n) {
        const double d = r.subject.median - r.ref.median;
        diff = QStringLiteral("%1%2").arg(d >= 0 ? QStringLiteral("+") : QString()).arg(d, 0, 'f', 1);
        // A share of a reference near zero (an idle window) says nothing.
        if (r.unit == QLatin1String("ms") && r.ref.median >= 5)
            diff += QStringLiteral(" (%1%2%)").arg(d >= 0 ? QStringLiteral("+") : QString()).arg(100 * d / r.ref.median, 0, 'f', 0);
    }
    const QStringList fields = {QStringLiteral("ROW"), r.bench, r.caseName, r.unit, QString::number(n),
                                cell(r.subject, n), r.reference.isEmpty() ? QStringLiteral("-") : r.reference,
                                cell(r.ref, n), diff};
    std::printf("%s\n", qPrintable(fields.join(QLatin1Char('\t'))));
    std::fflush(stdout);
}

long statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const qsizetype skip = qstrlen(field);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(skip).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void trimHeap() { malloc_trim(0); }

MediaServer::MediaServer(int delayMs, bool rtsp)
    : MediaServer(QStringLiteral(MEDIA_DIR), delayMs, rtsp)
{
}

MediaServer::MediaServer(const QString& dir, int delayMs, bool rtsp, const QStringList& more)
    : rtsp_(rtsp)
{
    QStringList args = QStringList{QStringLiteral(BENCH_DIR "/media_server.py"), dir,
                                   QStringLiteral("--delay-ms"), QString::number(delayMs)}
        + more;
    if (rtsp)
        args << QStringLiteral("--rtsp");
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("/usr/bin/python3"), args);
    if (!process_.waitForStarted(5000))
        return;
    for (int lines = 0; lines < (rtsp ? 2 : 1); ++lines) {
        while (!process_.canReadLine() && process_.waitForReadyRead(15000)) {
        }
        const QByteArray line = process_.readLine().trimmed();
        if (line.startsWith("HTTP "))
            httpPort_ = line.mid(5).toInt();
        else if (line.startsWith("RTSP "))
            rtspPort_ = line.mid(5).toInt();
    }
}

MediaServer::~MediaServer()
{
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000))
        process_.kill();
}

QString MediaServer::http(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(httpPort_).arg(path);
}

QString MediaServer::rtsp(const QString& path) const
{
    return QStringLiteral("rtsp://127.0.0.1:%1%2").arg(rtspPort_).arg(path);
}

// ---- bare engine ----------------------------------------------------------

namespace {
enum : quint64 { PropVid = 1 };
}

BareEngine::BareEngine(bool rendered, QWidget* parent)
    : rendered_(rendered)
{
    handle_ = mpv_create();
    for (const EngineOption& o : subjectEngineOptions(rendered))
        mpv_set_option_string(handle_, o.name.constData(), o.value.constData());
    mpv_initialize(handle_);
    mpv_observe_property(handle_, PropVid, "vid", MPV_FORMAT_INT64);
    mpv_set_wakeup_callback(handle_, [](void* ctx) {
        auto* self = static_cast<BareEngine*>(ctx);
        if (!self->queued_.exchange(true))
            QMetaObject::invokeMethod(self, &BareEngine::drain, Qt::QueuedConnection);
    }, this);
    if (rendered) {
        surface_ = new VideoSurface(parent);
        surface_->setBlank(false);
        connect(surface_, &VideoSurface::frameRendered, this, &BareEngine::frameRendered);
        surface_->attach(handle_);
    }
}

BareEngine::~BareEngine()
{
    mpv_set_wakeup_callback(handle_, nullptr, nullptr);
    // The surface's render thread frees its render context on its own; the
    // engine's destruction waits for it.
    delete surface_;
    mpv_terminate_destroy(handle_);
}

QWidget* BareEngine::surface() const { return surface_; }

void BareEngine::load(const QString& address)
{
    loaded_ = frameSeen_ = restarted_ = false;
    const QByteArray url = address.toUtf8();
    const char* args[] = {"loadfile", url.constData(), "replace", nullptr};
    mpv_command_async(handle_, 1, args);
}

void BareEngine::stop()
{
    const char* args[] = {"stop", nullptr};
    mpv_command_async(handle_, 0, args);
}

void BareEngine::drain()
{
    queued_ = false;
    while (true) {
        mpv_event* e = mpv_wait_event(handle_, 0);
        switch (e->event_id) {
        case MPV_EVENT_NONE:
            return;
        case MPV_EVENT_FILE_LOADED:
            loaded_ = true;
            break;
        case MPV_EVENT_PROPERTY_CHANGE: {
            const auto* p = static_cast<mpv_event_property*>(e->data);
            if (e->reply_userdata == PropVid) {
                hasVideo_ = p->format == MPV_FORMAT_INT64;
                nullFrame();
            }
            break;
        }
        case MPV_EVENT_PLAYBACK_RESTART:
            restarted_ = true;
            nullFrame();
            break;
        case MPV_EVENT_END_FILE:
            if (static_cast<mpv_event_end_file*>(e->data)->reason == MPV_END_FILE_REASON_ERROR)
                emit failed();
            break;
        case MPV_EVENT_IDLE:
            emit idle();
            break;
        default:
            break;
        }
    }
}

void BareEngine::nullFrame()
{
    // As the player: with null video, a frame is shown once playback has
    // (re)started with a video track, whichever of the two is heard last.
    if (!rendered_ && restarted_ && hasVideo_ && !frameSeen_) {
        frameSeen_ = true;
        emit firstFrame();
    }
}

void BareEngine::frameRendered()
{
    if (loaded_ && !frameSeen_) {
        frameSeen_ = true;
        emit firstFrame();
    }
}

} // namespace miravon::bench
