// The stored guide: what is written is read back (mapped) as it was, a
// damaged store is refused or tells its damage without a wrong answer,
// several stores are matched to the list channels by rule, a day's
// schedule is a local day, and the boundary timer follows a programme's end.
#include "boundarytimer.h"
#include "guidetest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

using namespace miravon::guide;
using namespace guidetest;

namespace {

ProgrammeRecord prog(const char* start, const char* stop, const QString& title, const QString& description = {})
{
    return {quint32(at(start)), quint32(at(stop)), packTexts({title, QStringLiteral("sub ") + title, description,
                                                              QStringLiteral("Tin tức")})};
}

// Two channels, one of them without programmes, texts of every kind.
QList<ChannelRecord> sample()
{
    ChannelRecord a{QStringLiteral("VTV1.vn"), QStringLiteral("VN"), {QStringLiteral("vtv 1")}, {}};
    a.programmes = {prog("2024-05-01T11:00:00Z", "2024-05-01T12:00:00Z", QStringLiteral("Chào buổi sáng")),
                    prog("2024-05-01T12:00:00Z", "2024-05-01T12:30:00Z", QStringLiteral("Thời sự"),
                         QString(2000, QChar(0x1EA0))),
                    prog("2024-05-01T12:30:00Z", "2024-05-01T14:00:00Z", QString())};
    ChannelRecord b{QStringLiteral("quiet"), QString(), {QStringLiteral("quiet"), QStringLiteral("silent")}, {}};
    return {a, b};
}

QString write(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = dir.filePath(QStringLiteral("store.guide"));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
    return path;
}

} // namespace

class TestGuideStore : public QObject {
    Q_OBJECT
private slots:
    void roundTrip();
    void damaged_data();
    void damaged();
    void severalStores();
    void localDays();
    void boundaryPasses();
};

void TestGuideStore::roundTrip()
{
    QTemporaryDir dir;
    QString why;
    const auto store = Store::open(write(dir, Store::encode(sample())), &why);
    QVERIFY2(store, qPrintable(why));
    QCOMPARE(store->channelCount(), 2);
    QCOMPARE(store->programmeCount(), 3);
    const Store::ChannelMeta b = store->channel(1);
    QCOMPARE(b.id, "quiet");
    QCOMPARE(b.country, "");
    QCOMPARE(b.names, (QStringList{"quiet", "silent"}));
    QCOMPARE(store->programmeCountOf(1), 0);

    const Guide g = Guide::build({store}, ChannelMatcher({channel("k", "VTV1.vn", {}, "VN"),
                                                          channel("q", "", {"Quiet"}, "")}));
    QCOMPARE(g.channelCount(), 2);
    const NowNext n = g.nowNext("k", utc("2024-05-01T12:10:00Z"));
    QCOMPARE(n.now.title, QStringLiteral("Thời sự"));
    QCOMPARE(n.now.subTitle, QStringLiteral("sub Thời sự"));
    QCOMPARE(n.now.description, QString(2000, QChar(0x1EA0)));
    QCOMPARE(n.now.category, QStringLiteral("Tin tức"));
    QCOMPARE(n.now.start, utc("2024-05-01T12:00:00Z"));
    QCOMPARE(n.now.stop, utc("2024-05-01T12:30:00Z"));
    QCOMPARE(n.next.title, QString());
    QCOMPARE(n.next.start, utc("2024-05-01T12:30:00Z"));
    QVERIFY(!g.nowNext("q", utc("2024-05-01T12:10:00Z")).now.isValid());
    QCOMPARE(g.nextBoundary(utc("2024-05-01T10:00:00Z")), utc("2024-05-01T11:00:00Z"));
    // Read again and again: the unpacked blocks kept give the same.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(g.nowNext("k", utc("2024-05-01T11:10:00Z")).now.title, QStringLiteral("Chào buổi sáng"));

    // The same from memory, and an empty store.
    QVERIFY(Store::fromBytes(Store::encode(sample()), &why));
    const auto empty = Store::fromBytes(Store::encode({}), &why);
    QVERIFY(empty);
    QCOMPARE(empty->channelCount(), 0);
}

// Any byte changed or cut: the store is refused at once, or (in a block of
// texts) tells its damage; never a crash, never another programme's text.
void TestGuideStore::damaged_data()
{
    QTest::addColumn<int>("change"); // the byte changed; -1: cut by one byte, -2: cut to the header
    QTest::addColumn<bool>("opens");

    const QByteArray bytes = Store::encode(sample());
    auto offset = [&](int at) {
        qint64 v = 0;
        std::memcpy(&v, bytes.constData() + at, 8);
        return int(v);
    };
    QTest::newRow("magic") << 0 << false;
    QTest::newRow("version") << 8 << false;
    QTest::newRow("fold version") << 16 << false;
    QTest::newRow("a count") << 20 << false;
    QTest::newRow("an offset") << 41 << false;
    QTest::newRow("the size") << 56 << false;
    QTest::newRow("the channel table") << 64 + 9 << false;
    QTest::newRow("a name") << offset(32) + 3 << false;
    QTest::newRow("the programme table") << offset(40) + 5 << false;
    QTest::newRow("the texts") << offset(48) + 10 << true;
    QTest::newRow("the texts' checksum") << int(bytes.size() - 1) << true;
    QTest::newRow("cut by one byte") << -1 << false;
    QTest::newRow("cut to the header") << -2 << false;
}

void TestGuideStore::damaged()
{
    QFETCH(int, change);
    QFETCH(bool, opens);
    QByteArray bytes = Store::encode(sample());
    if (change == -1)
        bytes.chop(1);
    else if (change == -2)
        bytes.truncate(64);
    else
        bytes[change] = char(bytes.at(change) ^ 0x5a);

    QTemporaryDir dir;
    QString why;
    const auto store = Store::open(write(dir, bytes), &why);
    QCOMPARE(bool(store), opens);
    if (!store) {
        QVERIFY(!why.isEmpty());
        return;
    }
    const Guide g = Guide::build({store}, ChannelMatcher({channel("k", "VTV1.vn", {}, "VN")}));
    const NowNext n = g.nowNext("k", utc("2024-05-01T12:10:00Z"));
    QVERIFY(store->damaged());
    QCOMPARE(n.now.start, utc("2024-05-01T12:00:00Z")); // the times are sound
    QCOMPARE(n.now.title, QString());
}

// Of several stores, the first that serves a list channel does, unless a
// later one serves it by its tvg-id.
void TestGuideStore::severalStores()
{
    auto one = [](const QString& id, const QString& name, const QString& title) {
        ChannelRecord c{id, QStringLiteral("VN"), {foldName(name)}, {}};
        c.programmes = {prog("2024-05-01T11:00:00Z", "2024-05-01T13:00:00Z", title)};
        QString why;
        return Store::fromBytes(Store::encode({c}), &why);
    };
    const auto first = one("Y.vn", "Shared", "first, by name");
    const auto second = one("X.vn", "Other", "second, by id");
    const auto third = one("Z.vn", "Shared", "third, by name");
    const ChannelMatcher matcher({channel("byid", "X.vn", {"Shared"}, "VN"), channel("byname", "", {"Shared"}, "VN")});
    const Guide g = Guide::build({first, second, third}, matcher);
    QCOMPARE(g.nowNext("byid", utc(nowIso)).now.title, "second, by id");
    QCOMPARE(g.nowNext("byname", utc(nowIso)).now.title, "first, by name");
    QCOMPARE(Guide::build({third, first}, matcher).nowNext("byname", utc(nowIso)).now.title, "third, by name");
}

// Today and tomorrow are days where the person is: in Hà Nội, 1 May runs
// from 30 April 17:00 UTC.
void TestGuideStore::localDays()
{
    ChannelRecord c{QStringLiteral("a.vn"), QStringLiteral("VN"), {}, {}};
    c.programmes = {prog("2024-04-30T16:00:00Z", "2024-04-30T16:30:00Z", "30 April"),
                    prog("2024-04-30T16:30:00Z", "2024-04-30T17:30:00Z", "across midnight"),
                    prog("2024-05-01T17:00:00Z", "2024-05-02T16:59:00Z", "2 May"),
                    prog("2024-05-02T17:00:00Z", "2024-05-02T18:00:00Z", "3 May")};
    QString why;
    const Guide g = Guide::build({Store::fromBytes(Store::encode({c}), &why)},
                                 ChannelMatcher({channel("k", "a.vn", {}, "VN")}));
    QStringList titles;
    for (const Programme& p : g.schedule("k", QDate(2024, 5, 1), QTimeZone("Asia/Ho_Chi_Minh")))
        titles << p.title;
    QCOMPARE(titles, (QStringList{"across midnight", "2 May"}));
    titles.clear();
    for (const Programme& p : g.schedule("k", QDate(2024, 4, 30), QTimeZone("UTC")))
        titles << p.title;
    QCOMPARE(titles, (QStringList{"30 April", "across midnight", "2 May"}));
}

// The timer is armed to the next boundary by the clock it is given; when
// the boundary passes, what is on is the next programme, and it is armed
// to the one after.
void TestGuideStore::boundaryPasses()
{
    ChannelRecord a{QStringLiteral("a.vn"), QStringLiteral("VN"), {}, {}};
    a.programmes = {prog("2024-05-01T12:00:00Z", "2024-05-01T13:00:00Z", "ending"),
                    prog("2024-05-01T13:00:00Z", "2024-05-01T14:00:00Z", "beginning")};
    ChannelRecord b{QStringLiteral("b.vn"), QStringLiteral("VN"), {}, {}};
    b.programmes = {prog("2024-05-01T13:30:00Z", "2024-05-01T15:00:00Z", "later")};
    QString why;
    const Guide g = Guide::build({Store::fromBytes(Store::encode({a, b}), &why)},
                                 ChannelMatcher({channel("a", "a.vn", {}, "VN"), channel("b", "b.vn", {}, "VN")}));

    QElapsedTimer real;
    real.start();
    const QDateTime base = utc("2024-05-01T12:59:59Z").addMSecs(700);
    BoundaryTimer timer([&] { return base.addMSecs(real.elapsed()); });
    QSignalSpy passed(&timer, &BoundaryTimer::passed);
    timer.setGuide(g);
    QCOMPARE(timer.armedFor(), utc("2024-05-01T13:00:00Z"));
    QCOMPARE(g.nowNext("a", base).now.title, "ending");
    QTRY_COMPARE_WITH_TIMEOUT(passed.size(), 1, 5000);
    QVERIFY(base.addMSecs(real.elapsed()) >= utc("2024-05-01T13:00:00Z"));
    QCOMPARE(g.nowNext("a", base.addMSecs(real.elapsed())).now.title, "beginning");
    QCOMPARE(timer.armedFor(), utc("2024-05-01T13:30:00Z"));

    timer.setGuide(Guide());
    QVERIFY(!timer.armedFor().isValid());
}

QTEST_GUILESS_MAIN(TestGuideStore)
#include "test_guidestore.moc"
