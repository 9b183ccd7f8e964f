// Programme guides at scale: reading, reading through the service without
// holding the calling thread, and reading the stored programmes back at
// start. Fixtures are written at run time into a temporary folder.
//
//   bench_guide [--rounds N] [--big-mb M]
//
// Rows (bench/run.sh gathers them; see bench/README.md):
// - read 10 MB, 12,000 programmes: the XMLTV reader fed from the file in
//   the worker's slices, then packed into a store (goal <= 1 s); plain and
//   gzip. Peak RSS growth of the first, cold reading (goal <= 30 MiB).
// - 150 MB guide through the service: from start() to the new guide on the
//   calling thread (goal <= 15 s); the longest the calling thread was held
//   meanwhile (the longest gap of a 1 ms timer), against the same thread
//   left idle as long: on a loaded machine both are the scheduler's.
// - start-up read of 8,000 channels x 2 days: opening the store (mapped,
//   checked), and opening it and matching it to 8,000 list channels (goal
//   <= 20 ms); then one now-and-next and the next boundary over all channels.
#include "guide.h"
#include "guideservice.h"
#include "store.h"
#include "xmltv.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <malloc.h>

#include <zlib.h>

using namespace miravon::guide;

namespace {

struct Stats {
    int n = 0;
    double min = 0, median = 0, p90 = 0;
};

Stats stats(QList<double> v)
{
    std::sort(v.begin(), v.end());
    Stats s;
    s.n = int(v.size());
    if (!s.n)
        return s;
    s.min = v.first();
    s.median = s.n % 2 ? v.at(s.n / 2) : (v.at(s.n / 2 - 1) + v.at(s.n / 2)) / 2;
    s.p90 = v.at(std::clamp(int(std::ceil(0.9 * s.n)) - 1, 0, s.n - 1));
    return s;
}

QString cell(const Stats& s, int decimals)
{
    if (s.n == 0)
        return QStringLiteral("-");
    if (s.n == 1)
        return QString::number(s.median, 'f', decimals);
    return QStringLiteral("%1 / %2 / %3")
        .arg(s.min, 0, 'f', decimals)
        .arg(s.median, 0, 'f', decimals)
        .arg(s.p90, 0, 'f', decimals);
}

// One row of the table `make bench` prints (the same columns as the
// player's rows, bench/common.h).
void row(const QString& caseName, const QString& unit, const Stats& s, const QString& reference = {},
         const Stats& ref = {}, int decimals = 1)
{
    QString diff = QStringLiteral("-");
    if (s.n && ref.n)
        diff = QStringLiteral("%1%2").arg(s.median >= ref.median ? "+" : "").arg(s.median - ref.median, 0, 'f', decimals);
    const QStringList f = {QStringLiteral("ROW"), QStringLiteral("guide"), caseName, unit,
                           QString::number(std::max(s.n, ref.n)), cell(s, decimals),
                           reference.isEmpty() ? QStringLiteral("-") : reference, cell(ref, decimals), diff};
    std::printf("%s\n", qPrintable(f.join(u'\t')));
    std::fflush(stdout);
}

long statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The peak RSS (VmHWM) starts again from the current RSS.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

const qint64 now = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();

QByteArray stamp(qint64 t)
{
    return QDateTime::fromSecsSinceEpoch(t, Qt::UTC).toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() + " +0000";
}

// A guide of `channels` channels of `perChannel` half-hour programmes each
// from 6 hours before now, each description `descBytes` long, written to
// `path` as it is made; ids "c<n>.vn".
qint64 writeGuide(const QString& path, int channels, int perChannel, int descBytes, bool gzipped)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    gzFile gz = gzipped ? gzdopen(dup(f.handle()), "wb1") : nullptr;
    qint64 written = 0;
    auto put = [&](const QByteArray& b) {
        written += b.size();
        if (gz)
            gzwrite(gz, b.constData(), unsigned(b.size()));
        else
            f.write(b);
    };
    put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE tv SYSTEM \"xmltv.dtd\">\n<tv generator-info-name=\"bench\">\n");
    for (int c = 0; c < channels; ++c)
        put("  <channel id=\"c" + QByteArray::number(c) + ".vn\"><display-name lang=\"vi\">K\xc3\xaanh "
            + QByteArray::number(c) + "</display-name><icon src=\"http://127.0.0.1:9/" + QByteArray::number(c)
            + ".png\"/></channel>\n");
    const QByteArray desc = QString(QStringLiteral("Bản tin thời sự tổng hợp trong nước và quốc tế. "))
                                .repeated(descBytes / 40 + 1)
                                .left(descBytes * 4 / 5) // about descBytes in UTF-8
                                .toUtf8();
    QByteArray block;
    for (int c = 0; c < channels; ++c) {
        block.clear();
        for (int p = 0; p < perChannel; ++p) {
            const qint64 start = now - 6 * 3600 + p * 1800;
            block += "  <programme start=\"" + stamp(start) + "\" stop=\"" + stamp(start + 1800) + "\" channel=\"c"
                + QByteArray::number(c) + ".vn\">\n    <title lang=\"vi\">Ch\xc6\xb0\xc6\xa1ng tr\xc3\xacnh "
                + QByteArray::number(p) + "</title>\n    <title lang=\"en\">Programme " + QByteArray::number(p)
                + "</title>\n    <desc lang=\"vi\">" + desc + "</desc>\n    <category lang=\"vi\">Tin t\xe1\xbb\xa9" "c"
                + "</category>\n  </programme>\n";
        }
        put(block);
    }
    put("</tv>\n");
    if (gz)
        gzclose(gz);
    return written;
}

QList<ListChannel> listChannels(int n)
{
    QList<ListChannel> out;
    out.reserve(n);
    for (int c = 0; c < n; ++c)
        out.append({QStringLiteral("k%1").arg(c), QStringLiteral("c%1.vn").arg(c), {QStringLiteral("Kênh %1").arg(c)},
                    QStringLiteral("VN"), QStringLiteral("vi")});
    return out;
}

// Reads the file as the worker does (1 MiB slices) and packs the store.
int readFile(const QString& path, const std::shared_ptr<const ChannelMatcher>& matcher)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    XmltvReader reader(matcher, ReadOptions{now, maxGuideBytes, {}});
    QByteArray buffer(1024 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = f.read(buffer.data(), buffer.size());
        if (n <= 0)
            break;
        if (!reader.feed(QByteArrayView(buffer.constData(), n)))
            break;
    }
    if (!reader.finish()) {
        std::fprintf(stderr, "reading failed: %s\n", qPrintable(failureText(reader.failure(), reader.detail())));
        return -1;
    }
    const ReadOutcome r = reader.take();
    (void)Store::encode(r.channels);
    return r.programmes;
}

void readMedium(const QTemporaryDir& dir, int rounds)
{
    const QString plain = dir.filePath(QStringLiteral("10mb.xml")), packed = dir.filePath(QStringLiteral("10mb.xml.gz"));
    // 200 channels x 60 programmes.
    const qint64 bytes = writeGuide(plain, 200, 60, 500, false);
    writeGuide(packed, 200, 60, 500, true);
    const auto matcher = std::make_shared<const ChannelMatcher>(listChannels(200));
    const QString what = QStringLiteral("%1 MB, 12,000 programmes").arg(bytes / 1e6, 0, 'f', 1);

    malloc_trim(0);
    const long before = statusKiB("VmRSS:");
    resetPeak();
    QElapsedTimer t;
    t.start();
    const int programmes = readFile(plain, matcher);
    const double cold = t.nsecsElapsed() / 1e6;
    const long peak = statusKiB("VmHWM:");
    if (programmes != 12000)
        std::fprintf(stderr, "read %d programmes, not 12000\n", programmes);
    std::printf("read %s: first (cold) %.0f ms, peak RSS %+.1f MiB\n", qPrintable(what), cold, (peak - before) / 1024.0);

    for (const auto& [file, name] : {std::pair{plain, QStringLiteral("plain")}, std::pair{packed, QStringLiteral("gzip")}}) {
        QList<double> ms;
        (void)readFile(file, matcher); // warm
        for (int i = 0; i < rounds; ++i) {
            t.restart();
            readFile(file, matcher);
            ms << t.nsecsElapsed() / 1e6;
        }
        row(QStringLiteral("read %1, %2 (goal <= 1000)").arg(what, name), QStringLiteral("ms"), stats(ms));
    }
    Stats rss;
    rss.n = 1;
    rss.min = rss.median = rss.p90 = (peak - before) / 1024.0;
    row(QStringLiteral("read %1, peak RSS growth, cold (goal <= 30)").arg(what), QStringLiteral("MiB"), rss);
}

// The longest gap between the ticks of a 1 ms timer on this thread until
// `done` returns true (or `boundMs` runs out).
double longestHold(const std::function<bool()>& done, int boundMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 t = clock.nsecsElapsed();
        longest = std::max(longest, (t - last) / 1e6);
        last = t;
    });
    tick.start(1);
    while (!done() && clock.elapsed() < boundMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return longest;
}

void readBig(const QTemporaryDir& dir, int rounds, int megabytes)
{
    const QString path = dir.filePath(QStringLiteral("big.xml"));
    // 2,000 channels x 100 programmes = 200,000 programmes of ~750 bytes.
    const int perChannel = 100;
    const int channels = std::max(1, int(qint64(megabytes) * 1000 * 1000 / (perChannel * 880)));
    const qint64 bytes = writeGuide(path, channels, perChannel, 560, false);
    const QString what = QStringLiteral("%1 MB, %2 programmes, all wanted").arg(bytes / 1e6, 0, 'f', 0).arg(channels * perChannel);
    QList<double> ms, held, idle;
    for (int i = 0; i < rounds; ++i) {
        QTemporaryDir home;
        ServiceOptions options;
        options.cacheDir = home.filePath(QStringLiteral("cache"));
        options.configDir = home.filePath(QStringLiteral("config"));
        options.clock = [] { return QDateTime::fromSecsSinceEpoch(now, Qt::UTC); };
        options.firstCheckMs = 0;
        GuideService service(options);
        service.setChannels(listChannels(channels));
        QString why;
        QElapsedTimer t;
        t.start();
        service.start();
        if (!service.addSource(path, &why)) {
            std::fprintf(stderr, "%s\n", qPrintable(why));
            return;
        }
        bool got = false;
        QObject::connect(&service, &GuideService::guideChanged, [&](const Guide& g) { got = got || !g.isEmpty(); });
        held << longestHold([&] { return got; }, 120000);
        ms << t.nsecsElapsed() / 1e6;
        const SourceState s = service.sources().value(0);
        if (!got || !s.error.isEmpty())
            std::fprintf(stderr, "not read: %s\n", qPrintable(s.error));
        // The same thread, idle as long: the machine's own noise.
        QElapsedTimer idleFor;
        idleFor.start();
        idle << longestHold([&] { return idleFor.elapsed() > qint64(ms.last()); }, 120000);
    }
    row(QStringLiteral("%1 through the service (goal <= 15000)").arg(what), QStringLiteral("ms"), stats(ms), {}, {}, 0);
    row(QStringLiteral("%1: calling thread held, longest").arg(what), QStringLiteral("ms"), stats(held),
        QStringLiteral("idle thread"), stats(idle));
}

void startUp(const QTemporaryDir& dir, int rounds)
{
    // 8,000 channels, a programme every 40 minutes over the 54 hours kept.
    const int channels = 8000, perChannel = 54 * 60 / 40;
    QList<ChannelRecord> records;
    records.reserve(channels);
    const QString desc = QStringLiteral("Phim truyện nhiều tập, tập %1: một câu chuyện về gia đình và bè bạn ở thành phố.");
    for (int c = 0; c < channels; ++c) {
        ChannelRecord r{QStringLiteral("c%1.vn").arg(c), QStringLiteral("VN"), {foldName(QStringLiteral("Kênh %1").arg(c))}, {}};
        r.programmes.reserve(perChannel);
        for (int p = 0; p < perChannel; ++p) {
            // Boundaries of channels a few minutes apart, as guides have them.
            const qint64 start = now - 6 * 3600 + p * 2400 + (c % 12) * 300;
            r.programmes.append({quint32(start), quint32(start + 2400),
                                 packTexts({QStringLiteral("Chương trình %1").arg(p % 17), QString(), desc.arg(p),
                                            QStringLiteral("Phim")})});
        }
        records.append(std::move(r));
    }
    const QString path = dir.filePath(QStringLiteral("startup.guide"));
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(Store::encode(records));
    }
    records.clear();
    const ChannelMatcher matcher(listChannels(channels));
    const QString what = QStringLiteral("8,000 channels x 2 days (%1 programmes, %2 MiB)")
                             .arg(channels * perChannel)
                             .arg(QFile(path).size() / 1048576.0, 0, 'f', 1);
    QList<double> open, openMatch, nowNext, boundary;
    QString why;
    for (int i = 0; i <= rounds; ++i) {
        QElapsedTimer t;
        t.start();
        auto store = Store::open(path, &why);
        const double o = t.nsecsElapsed() / 1e6;
        if (!store) {
            std::fprintf(stderr, "store: %s\n", qPrintable(why));
            return;
        }
        const Guide g = Guide::build({store}, matcher);
        const double om = t.nsecsElapsed() / 1e6;
        const QDateTime at = QDateTime::fromSecsSinceEpoch(now + i * 60, Qt::UTC);
        t.restart();
        const NowNext n = g.nowNext(QStringLiteral("k%1").arg(i * 97 % channels), at);
        const double nn = t.nsecsElapsed() / 1e3;
        t.restart();
        (void)g.nextBoundary(at);
        const double b = t.nsecsElapsed() / 1e6;
        if (!n.now.isValid() || g.channelCount() != channels)
            std::fprintf(stderr, "store read wrong\n");
        if (i == 0) {
            std::printf("start-up read, first: open %.2f ms, with matching %.2f ms\n", o, om);
            continue; // the first round warms up
        }
        open << o;
        openMatch << om;
        nowNext << nn;
        boundary << b;
    }
    row(QStringLiteral("start-up: open the store of %1").arg(what), QStringLiteral("ms"), stats(open), {}, {}, 2);
    row(QStringLiteral("start-up: open and match to 8,000 list channels (goal <= 20)"), QStringLiteral("ms"),
        stats(openMatch), {}, {}, 2);
    row(QStringLiteral("now and next of one channel, texts unpacked"), QStringLiteral("us"), stats(nowNext), {}, {}, 0);
    row(QStringLiteral("next boundary over 8,000 channels"), QStringLiteral("ms"), stats(boundary), {}, {}, 2);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int rounds = qEnvironmentVariableIsSet("BENCH_QUICK") ? 3 : 7;
    int bigRounds = qEnvironmentVariableIsSet("BENCH_QUICK") ? 1 : 3;
    int megabytes = 150;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--rounds"))
            rounds = bigRounds = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--big-mb"))
            megabytes = std::max(1, args.at(i + 1).toInt());
    }
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // BENCH_KEEP=1 leaves the fixtures for a look.
    if (qEnvironmentVariableIsSet("BENCH_KEEP")) {
        dir.setAutoRemove(false);
        std::printf("fixtures in %s\n", qPrintable(dir.path()));
    }
    if (!qEnvironmentVariableIsSet("BENCH_ONLY_BIG")) {
        readMedium(dir, rounds);
        startUp(dir, rounds * 3);
    }
    readBig(dir, bigRounds, megabytes);
    return 0;
}
