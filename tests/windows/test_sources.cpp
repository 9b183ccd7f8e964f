// Channels without a terminal: the offer of the public lists (asked once,
// nothing fetched without a yes, never again after "Không hỏi lại"), the
// sources window (what is in use, update with progress and cancel, adding a
// list, undo, the report) and the runner that does the work off the
// user-interface thread, one job at a time; all against lists served on a
// loopback server.
#include "channeloffer.h"
#include "httpfixture.h"
#include "importrunner.h"
#include "settings.h"
#include "sourceswindow.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace miravon;

namespace {

const QString fixtures = QStringLiteral(FIXTURES);
const QStringList served = {"ar", "cl", "cn", "de", "fr", "hu", "kr", "mx", "tr", "uk", "us"};
constexpr int kWait = 30000;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(miravon::ImportRunner::Job)

class TestSources : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void offerIsAskedOnceAndFetchesOnlyOnYes_data();
    void offerIsAskedOnceAndFetchesOnlyOnYes();
    void windowUpdatesWithProgressAndCancel();
    void windowAddsListsAndUndoes();
    void oneJobAtATime();

private:
    int publicHits() const
    {
        int n = 0;
        for (const QString& code : served)
            n += http_.hits(QStringLiteral("/lists/%1.m3u").arg(code));
        return n;
    }
    HttpFixture http_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString config_;
    std::unique_ptr<ImportRunner> runner_;
};

void TestSources::initTestCase()
{
    for (const QString& code : served)
        http_.route(QStringLiteral("/lists/%1.m3u").arg(code), readAll(fixtures + QStringLiteral("/mixed/%1.m3u").arg(code)),
                    "audio/x-mpegurl");
    // A slow list, so that an update can be caught while it runs.
    HttpFixture::Route slow;
    slow.mode = HttpFixture::Mode::Stream;
    slow.body = QByteArray("#EXTM3U\n") + QByteArray(200 * 1024, '#');
    slow.slice = 1024;
    http_.route(QStringLiteral("/lists/vn.m3u"), slow);
}

void TestSources::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    config_ = dir_->filePath(QStringLiteral("config"));
    runner_ = std::make_unique<ImportRunner>();
    runner_->setFolders(config_, dir_->filePath(QStringLiteral("cache")));
    FetchLimits quick = import::listFetchLimits;
    quick.noProgressMs = 2000;
    runner_->setUpdateLimits(quick);
    // The lists come from the loopback server, as a user may set it.
    Settings s;
    s.set(setting::channelSource, http_.url(QStringLiteral("/lists/{code}.m3u")));
    QString error;
    QVERIFY2(s.save(config_, &error), qPrintable(error));
}

void TestSources::offerIsAskedOnceAndFetchesOnlyOnYes_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("dueAfter");
    QTest::addColumn<bool>("fetches");
    QTest::newRow("Có") << "yes" << false << true;
    QTest::newRow("Không: asked again next time") << "no" << true << false;
    QTest::newRow("Không hỏi lại") << "never" << false << false;
}

void TestSources::offerIsAskedOnceAndFetchesOnlyOnYes()
{
    QFETCH(QString, button);
    QFETCH(bool, dueAfter);
    QFETCH(bool, fetches);
    QVERIFY(ChannelOffer::isDue(config_));
    QWidget picture;
    picture.resize(449, 300);
    picture.show();
    const int before = publicHits();
    auto* offer = new ChannelOffer(*runner_, config_, &picture);
    QVERIFY(offer->isVisible());
    QVERIFY(offer->geometry().intersects(picture.rect()));
    QSignalSpy done(offer, &ChannelOffer::done);
    QCOMPARE(publicHits(), before); // nothing without a yes
    offer->findChild<QPushButton*>(button)->click();
    if (fetches) {
        QTRY_VERIFY_WITH_TIMEOUT(offer->text().startsWith(QStringLiteral("Đã có địa chỉ cho")), kWait);
        QVERIFY(publicHits() > before);
        QVERIFY(QFile::exists(config_ + QStringLiteral("/addresses.import.tsv")));
    } else {
        QCOMPARE(done.size(), 1);
        QVERIFY(!offer->isVisible());
        QCOMPARE(publicHits(), before);
    }
    // The answer is saved off the window's thread.
    QTRY_COMPARE_WITH_TIMEOUT(ChannelOffer::isDue(config_), dueAfter, kWait);
}

void TestSources::windowUpdatesWithProgressAndCancel()
{
    SourcesWindow w(*runner_);
    w.setConfigDir(config_);
    w.show();
    auto* tree = w.findChild<QTreeWidget*>(QStringLiteral("sources"));
    QCOMPARE(tree->topLevelItemCount(), 1); // "no source yet"
    auto* progress = w.findChild<QProgressBar*>(QStringLiteral("progress"));
    QVERIFY(!progress->isVisible());

    w.findChild<QPushButton*>(QStringLiteral("update"))->click();
    QVERIFY(progress->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(progress->value() > 0 && progress->maximum() > 90, kWait);
    QCOMPARE(progress->text(), QStringLiteral("%1 / %2 danh sách").arg(progress->value()).arg(progress->maximum()));
    QTRY_VERIFY_WITH_TIMEOUT(runner_->busy() == ImportRunner::Job::None, kWait);
    QVERIFY2(w.message().startsWith(QStringLiteral("Đã cập nhật: ")), qPrintable(w.message()));
    QVERIFY(!progress->isVisible());
    const QString group = tree->topLevelItem(0)->text(0);
    QVERIFY2(group.startsWith(QStringLiteral("Danh sách kênh công khai (")), qPrintable(group));
    QVERIFY(group.contains(QStringLiteral(", 11 đọc được)")));
    QVERIFY(!w.findChild<QPlainTextEdit*>(QStringLiteral("report"))->toPlainText().startsWith(u'('));
    const QByteArray layer = readAll(config_ + QStringLiteral("/addresses.import.tsv"));

    // Cancel while the slow list comes: nothing changes.
    w.findChild<QPushButton*>(QStringLiteral("update"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(progress->value() > 0, kWait);
    w.findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(runner_->busy() == ImportRunner::Job::None, kWait);
    QCOMPARE(w.message(), QStringLiteral("Đã hủy cập nhật; các địa chỉ đã nhập vẫn giữ nguyên."));
    QCOMPARE(readAll(config_ + QStringLiteral("/addresses.import.tsv")), layer);
}

void TestSources::windowAddsListsAndUndoes()
{
    SourcesWindow w(*runner_);
    w.setConfigDir(config_);
    QSignalSpy changed(runner_.get(), &ImportRunner::layerChanged);
    w.addFiles({fixtures + QStringLiteral("/vn.m3u")});
    QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 1, kWait);
    QVERIFY2(w.message().startsWith(QStringLiteral("Đã nhập: ")), qPrintable(w.message()));
    w.addAddress(http_.url(QStringLiteral("/lists/de.m3u")));
    QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 2, kWait);
    auto* tree = w.findChild<QTreeWidget*>(QStringLiteral("sources"));
    QStringList shown;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        shown << tree->topLevelItem(i)->text(0);
    QCOMPARE(shown, (QStringList{fixtures + QStringLiteral("/vn.m3u"), http_.url(QStringLiteral("/lists/de.m3u"))}));
    // Not an address: said in the window, nothing started.
    w.addAddress(QStringLiteral("ftp://lists.example/de.m3u"));
    QVERIFY(w.message().contains(QStringLiteral("không phải địa chỉ http hoặc https")));
    QCOMPARE(runner_->busy(), ImportRunner::Job::None);

    auto* undo = w.findChild<QPushButton*>(QStringLiteral("undo"));
    QVERIFY(undo->isEnabled());
    undo->click();
    QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 3, kWait);
    QCOMPARE(w.message(), QStringLiteral("Đã hoàn tác lần nhập trước."));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->text(0), fixtures + QStringLiteral("/vn.m3u"));
}

void TestSources::oneJobAtATime()
{
    QSignalSpy finished(runner_.get(), &ImportRunner::finished);
    QVERIFY(runner_->updateChannels());
    QCOMPARE(runner_->busy(), ImportRunner::Job::Update);
    QVERIFY(!runner_->importLists({fixtures + QStringLiteral("/vn.m3u")}, true));
    QVERIFY(!runner_->undo());
    runner_->cancel();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kWait);
    QVERIFY(finished.first().at(1).value<import::ImportOutcome>().cancelled);
    QVERIFY(runner_->importLists({fixtures + QStringLiteral("/vn.m3u")}, true));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, kWait);
}

QTEST_MAIN(TestSources)
#include "test_sources.moc"
