// What the program does about the public channel lists: the user's answer
// as a state, when the offer is due, and the weekly update on a clock the
// test sets.
#include "addressfiles.h"
#include "channelpolicy.h"
#include "settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace miravon;
using import::ChannelListPolicy;
using import::ListConsent;

Q_DECLARE_METATYPE(import::ListConsent)
Q_DECLARE_METATYPE(import::ChannelListPolicy::Update)

namespace {

void store(const QString& dir, const QString& key, const QString& value)
{
    Settings s = Settings::load(dir);
    s.set(key, value);
    QString error;
    QVERIFY2(s.save(dir, &error), qPrintable(error));
}

void touch(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("window\tcontrol\taddress\n");
}

const QDateTime today = QDateTime(QDate(2026, 12, 11), QTime(9, 0), Qt::UTC);

} // namespace

class TestChannelPolicy : public QObject {
    Q_OBJECT
private slots:
    void consent_data();
    void consent();
    void answerIsKept();
    void offer_data();
    void offer();
    void weekly_data();
    void weekly();
    void clockSetBackWeekStartsToday();
};

void TestChannelPolicy::consent_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<ListConsent>("consent");
    QTest::newRow("never answered") << QString() << ListConsent::Unasked;
    QTest::newRow("yes") << "yes" << ListConsent::Agreed;
    QTest::newRow("never") << "never" << ListConsent::Refused;
    QTest::newRow("not now") << "no" << ListConsent::Unasked;
    QTest::newRow("anything else") << "YES please" << ListConsent::Unasked;
}

void TestChannelPolicy::consent()
{
    QFETCH(QString, stored);
    QTemporaryDir dir;
    if (!stored.isEmpty())
        store(dir.path(), setting::channelConsent, stored);
    QTEST(ChannelListPolicy(dir.path()).consent(), "consent");
}

// "Not now" keeps nothing; the others are kept, off the caller's thread.
void TestChannelPolicy::answerIsKept()
{
    QTemporaryDir dir;
    ChannelListPolicy policy(dir.path());
    bool heard = false;
    policy.answer(ListConsent::Unasked, [&](bool saved, const QString&) { heard = saved; });
    QVERIFY(heard);
    QVERIFY(!QFile::exists(dir.filePath(Settings::fileName())));
    for (ListConsent c : {ListConsent::Refused, ListConsent::Agreed}) {
        heard = false;
        policy.answer(c, [&](bool saved, const QString&) { heard = saved; });
        QTRY_VERIFY_WITH_TIMEOUT(heard, 10000);
        QCOMPARE(policy.consent(), c);
    }
}

void TestChannelPolicy::offer_data()
{
    QTest::addColumn<QString>("consent");
    QTest::addColumn<QString>("file"); // present in the config folder
    QTest::addColumn<bool>("due");
    QTest::newRow("nothing yet") << "" << "" << true;
    QTest::newRow("not now, last time") << "no" << "" << true;
    QTest::newRow("agreed") << "yes" << "" << false;
    QTest::newRow("refused") << "never" << "" << false;
    QTest::newRow("an import") << "" << userdata::importFileName() << false;
    QTest::newRow("the user's own addresses") << "" << userdata::ownFileName() << false;
}

void TestChannelPolicy::offer()
{
    QFETCH(QString, consent);
    QFETCH(QString, file);
    QTemporaryDir dir;
    if (!consent.isEmpty())
        store(dir.path(), setting::channelConsent, consent);
    if (!file.isEmpty())
        touch(dir.filePath(file));
    QTEST(ChannelListPolicy(dir.path()).offerDue(), "due");
}

void TestChannelPolicy::weekly_data()
{
    QTest::addColumn<QString>("consent");
    QTest::addColumn<QString>("updated");
    QTest::addColumn<ChannelListPolicy::Update>("update");
    using U = ChannelListPolicy::Update;
    const auto ago = [](int days) { return today.addDays(-days).toString(Qt::ISODate); };
    QTest::newRow("not agreed, never fetched") << "" << "" << U::NotAgreed;
    QTest::newRow("refused, long ago") << "never" << ago(30) << U::NotAgreed;
    QTest::newRow("agreed, never fetched") << "yes" << "" << U::Due;
    QTest::newRow("yesterday") << "yes" << ago(1) << U::NotDue;
    QTest::newRow("six days ago") << "yes" << ago(6) << U::NotDue;
    QTest::newRow("a week ago") << "yes" << ago(7) << U::Due;
    QTest::newRow("unreadable time") << "yes" << "last week" << U::Due;
}

void TestChannelPolicy::weekly()
{
    QFETCH(QString, consent);
    QFETCH(QString, updated);
    QTemporaryDir dir;
    if (!consent.isEmpty())
        store(dir.path(), setting::channelConsent, consent);
    if (!updated.isEmpty())
        store(dir.path(), setting::channelsUpdated, updated);
    ChannelListPolicy policy(dir.path(), [] { return today; });
    QTEST(policy.update(), "update");
}

// A time stored in the future (a clock set wrong) counts as now and is
// stored as now, so the week counts from today instead of holding the
// update back for years.
void TestChannelPolicy::clockSetBackWeekStartsToday()
{
    QTemporaryDir dir;
    store(dir.path(), setting::channelConsent, QStringLiteral("yes"));
    store(dir.path(), setting::channelsUpdated, today.addYears(3).toString(Qt::ISODate));
    QDateTime now = today;
    ChannelListPolicy policy(dir.path(), [&now] { return now; });
    QCOMPARE(policy.update(), ChannelListPolicy::Update::NotDue);
    QTRY_COMPARE_WITH_TIMEOUT(Settings::load(dir.path()).value(setting::channelsUpdated),
                              today.toString(Qt::ISODate), 10000);
    now = today.addDays(6);
    QCOMPARE(policy.update(), ChannelListPolicy::Update::NotDue);
    now = today.addDays(7);
    QCOMPARE(policy.update(), ChannelListPolicy::Update::Due);
}

QTEST_GUILESS_MAIN(TestChannelPolicy)
#include "test_channelpolicy.moc"
