// Channels without a terminal: the offer of the public lists (asked once,
// nothing fetched without a yes, never again after "Không hỏi lại"), the
// sources window (what is in use, update with progress and cancel, adding a
// list, undo, the report) and the runner that does the work off the
// user-interface thread, one job at a time; all against lists served on a
// loopback server.
#include "accessible.h"
#include "announcer.h"
#include "channeloffer.h"
#include "channelpolicy.h"
#include "httpfixture.h"
#include "importrunner.h"
#include "settings.h"
#include "sourceswindow.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>
#include <QTcpServer>
#include <QTreeWidget>

using namespace miravon;

namespace {

const QString fixtures = QStringLiteral(FIXTURES);
const QStringList served = {"ar", "cl", "cn", "de", "fr", "hu", "kr", "mx", "tr", "uk", "us"};
constexpr int kWait = 30000;

// A loopback port nothing listens on: every list there is refused, as
// when the machine is offline.
int closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// English or a template in a text meant for the user.
bool looksUntranslated(const QString& text)
{
    for (const char* word : {"{code}", "not ", "no list", "could", "http", "cancel", "fewer"})
        if (text.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    return false;
}

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
    void cancelStopsAListAddedByAddress();
    void windowAddsListsAndUndoes();
    void oneJobAtATime();
    void offerNamesItsSourceTakesTheFocusAndIsHeard();
    void offerSaysWhatItWaitsFor();
    void failedUpdateIsSaidAndKept();
    void windowSetsTheListsAddress();
    void windowKeysAndPlace();

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
    installAccessibility(); // Return presses the focused button
    ChannelOffer::setSuccessStayMs(100);
    // Where "Thử" finds a list at once.
    http_.route(QStringLiteral("/try/vn.m3u"), readAll(fixtures + QStringLiteral("/mixed/us.m3u")), "audio/x-mpegurl");
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
    import::ChannelListPolicy policy(config_);
    QVERIFY(policy.offerDue());
    QWidget picture;
    picture.resize(449, 300);
    picture.show();
    const int before = publicHits();
    auto* offer = new ChannelOffer(*runner_, policy, &picture);
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
    // The answer is kept off the windows' thread.
    QTRY_COMPARE_WITH_TIMEOUT(policy.offerDue(), dueAfter, kWait);
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

// "Hủy" while a list the user added by address drips in: the update ends
// within 2 s and leaves the user's files as they were.
void TestSources::cancelStopsAListAddedByAddress()
{
    const QByteArray list = readAll(fixtures + QStringLiteral("/mixed/de.m3u"));
    http_.route(QStringLiteral("/own/de.m3u"), list, "audio/x-mpegurl");
    QSignalSpy finished(runner_.get(), &ImportRunner::finished);
    QVERIFY(runner_->importLists({http_.url(QStringLiteral("/own/de.m3u"))}, true));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kWait);
    QCOMPARE(finished.first().at(1).value<import::ImportOutcome>().status, 0);
    QStringList before;
    for (const QString& name : QDir(config_).entryList(QDir::Files))
        before << name + u'=' + QString::fromLatin1(readAll(config_ + u'/' + name).toHex());

    HttpFixture::Route drip;
    drip.body = list;
    drip.mode = HttpFixture::Mode::Stream;
    drip.burst = 8;
    drip.slice = 1;
    drip.intervalMs = 1000;
    drip.stall = true;
    http_.route(QStringLiteral("/own/de.m3u"), drip);
    SourcesWindow w(*runner_);
    w.setConfigDir(config_);
    w.show();
    const int asked = http_.hits(QStringLiteral("/own/de.m3u"));
    w.findChild<QPushButton*>(QStringLiteral("update"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(http_.hits(QStringLiteral("/own/de.m3u")) > asked, kWait);
    w.findChild<QPushButton*>(QStringLiteral("cancel"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(runner_->busy() == ImportRunner::Job::None, 2000);
    QCOMPARE(w.message(), QStringLiteral("Đã hủy cập nhật; các địa chỉ đã nhập vẫn giữ nguyên."));
    QStringList after;
    for (const QString& name : QDir(config_).entryList(QDir::Files))
        after << name + u'=' + QString::fromLatin1(readAll(config_ + u'/' + name).toHex());
    QCOMPARE(after, before);
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

void TestSources::offerNamesItsSourceTakesTheFocusAndIsHeard()
{
    QWidget picture;
    picture.resize(449, 300);
    picture.show();
    picture.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&picture));
    // The source configured, by its host and port.
    import::ChannelListPolicy policy(config_);
    auto* offer = new ChannelOffer(*runner_, policy, &picture);
    const QString host = QUrl(http_.url(QStringLiteral("/"))).authority();
    QVERIFY2(offer->text().contains(QStringLiteral("(%1)").arg(host)), qPrintable(offer->text()));
    QVERIFY(!offer->text().contains(QStringLiteral("iptv-org")));
    // Its question is told to screen readers as it appears; the keys are on
    // its first answer, and Return gives it.
    QVERIFY(Announcer::instance().lastAnnounced(&picture).startsWith(offer->text().section(u'\n', 0, 0)));
    QCOMPARE(QApplication::focusWidget(), offer->findChild<QPushButton*>(QStringLiteral("yes")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(runner_->busy(), ImportRunner::Job::Update);
    // The keys follow: on Hủy while it runs, then on Đóng.
    QCOMPARE(QApplication::focusWidget(), offer->findChild<QPushButton*>(QStringLiteral("cancel")));
    QTRY_VERIFY_WITH_TIMEOUT(offer->text().startsWith(QStringLiteral("Đã có địa chỉ cho")), kWait);
    QCOMPARE(QApplication::focusWidget(), offer->findChild<QPushButton*>(QStringLiteral("close")));
    QCOMPARE(Announcer::instance().lastAnnounced(&picture), offer->text());
    // A success goes after a moment.
    QTRY_VERIFY_WITH_TIMEOUT(!offer->isVisible(), 5000);
    delete offer;

    // The default source is named as the user knows it.
    Settings s = Settings::load(config_);
    s.remove(setting::channelSource);
    QString error;
    QVERIFY(s.save(config_, &error));
    import::ChannelListPolicy secondPolicy(config_);
    ChannelOffer second(*runner_, secondPolicy, &picture);
    QVERIFY2(second.text().contains(QStringLiteral("(iptv-org)")), qPrintable(second.text()));
}

void TestSources::offerSaysWhatItWaitsFor()
{
    // All lists but the slow one come at once: the progress says it waits
    // for the last, and for how long at most.
    QWidget picture;
    picture.resize(449, 300);
    picture.show();
    import::ChannelListPolicy policy(config_);
    ChannelOffer offer(*runner_, policy, &picture);
    offer.findChild<QPushButton*>(QStringLiteral("yes"))->click();
    auto* bar = offer.findChild<QProgressBar*>();
    QTRY_VERIFY_WITH_TIMEOUT(bar->value() > 0 && bar->value() < bar->maximum()
                                 && offer.progressText().contains(QStringLiteral("đang chờ")),
                             kWait);
    QVERIFY2(offer.progressText().contains(QStringLiteral("trên %1 danh sách").arg(bar->maximum())),
             qPrintable(offer.progressText()));
    QVERIFY(offer.progressText().contains(QStringLiteral("tối đa 60 giây")));
    runner_->cancel();
    QTRY_VERIFY_WITH_TIMEOUT(runner_->busy() == ImportRunner::Job::None, kWait);
}

void TestSources::failedUpdateIsSaidAndKept()
{
    // Offline: every list refused.
    Settings s = Settings::load(config_);
    s.set(setting::channelSource, QStringLiteral("http://127.0.0.1:%1/lists/{code}.m3u").arg(closedPort()));
    QString error;
    QVERIFY(s.save(config_, &error));
    QWidget picture;
    picture.resize(449, 300);
    picture.show();
    import::ChannelListPolicy policy(config_);
    auto* offer = new ChannelOffer(*runner_, policy, &picture);
    offer->findChild<QPushButton*>(QStringLiteral("yes"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(runner_->busy() == ImportRunner::Job::None, kWait);
    const QString said = offer->text();
    QVERIFY2(said.startsWith(QStringLiteral("Không tải được danh sách kênh nào (máy chủ từ chối kết nối).")),
             qPrintable(said));
    QVERIFY2(!looksUntranslated(said), qPrintable(said));
    // It stays until put away, with the way to the sources.
    QTest::qWait(3 * ChannelOffer::successStayMs());
    QVERIFY(offer->isVisible());
    QVERIFY(offer->findChild<QPushButton*>(QStringLiteral("sources"))->isVisible());
    QSignalSpy done(offer, &ChannelOffer::done);
    offer->findChild<QPushButton*>(QStringLiteral("close"))->click();
    QVERIFY(!offer->isVisible());
    QCOMPARE(done.size(), 1);

    // The sources window keeps it as the last attempt, with its time.
    SourcesWindow w(*runner_);
    w.setConfigDir(config_);
    QVERIFY2(w.lastAttempt().startsWith(QStringLiteral("Lần cập nhật gần nhất (")), qPrintable(w.lastAttempt()));
    QVERIFY2(w.lastAttempt().contains(QStringLiteral("): Không tải được danh sách kênh nào (máy chủ từ chối kết nối).")),
             qPrintable(w.lastAttempt()));
    QVERIFY(!looksUntranslated(w.lastAttempt()));
    // As the window says it when it runs the update itself.
    w.findChild<QPushButton*>(QStringLiteral("update"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(runner_->busy() == ImportRunner::Job::None, kWait);
    QVERIFY2(w.message().startsWith(QStringLiteral("Không tải được danh sách kênh nào")), qPrintable(w.message()));
    QVERIFY(!looksUntranslated(w.message()));
}

void TestSources::windowSetsTheListsAddress()
{
    SourcesWindow w(*runner_);
    w.setConfigDir(config_);
    QLineEdit* field = w.templateField();
    QCOMPARE(field->text(), http_.url(QStringLiteral("/lists/{code}.m3u")));

    // Not an address with {code}: refused, nothing kept.
    field->setText(QStringLiteral("ftp://lists.example/{code}.m3u"));
    QVERIFY(!w.saveTemplate());
    QVERIFY2(w.templateResult().startsWith(QStringLiteral("Địa chỉ này không dùng được")), qPrintable(w.templateResult()));
    field->setText(QStringLiteral("http://lists.example/all.m3u"));
    QVERIFY(!w.tryTemplate());
    QCOMPARE(Settings::load(config_).value(setting::channelSource), http_.url(QStringLiteral("/lists/{code}.m3u")));

    // "Thử" fetches one list from it, and says what it holds.
    field->setText(http_.url(QStringLiteral("/try/{code}.m3u")));
    QVERIFY(w.tryTemplate());
    QTRY_VERIFY_WITH_TIMEOUT(w.templateResult().startsWith(QStringLiteral("Thử được")), kWait);
    QVERIFY2(QRegularExpression(QStringLiteral("^Thử được: danh sách “vn” có \\d+ kênh\\.$")).match(w.templateResult()).hasMatch(),
             qPrintable(w.templateResult()));
    field->setText(http_.url(QStringLiteral("/missing/{code}.m3u")));
    QVERIFY(w.tryTemplate());
    QTRY_VERIFY_WITH_TIMEOUT(w.templateResult().startsWith(QStringLiteral("Không tải được")), kWait);

    // Kept, then back to the default.
    field->setText(http_.url(QStringLiteral("/try/{code}.m3u")));
    QVERIFY(w.saveTemplate());
    QCOMPARE(Settings::load(config_).value(setting::channelSource), http_.url(QStringLiteral("/try/{code}.m3u")));
    w.findChild<QPushButton*>(QStringLiteral("defaultTemplate"))->click();
    QCOMPARE(field->text(), import::defaultSourceTemplate());
    QCOMPARE(Settings::load(config_).value(setting::channelSource, QStringLiteral("unset")), QStringLiteral("unset"));

    // An address with {code} added as a list is the lists' address: taken,
    // kept, and the lists read from it.
    const QString lists = http_.url(QStringLiteral("/lists/{code}.m3u"));
    w.addAddress(lists);
    QCOMPARE(runner_->busy(), ImportRunner::Job::Update);
    QCOMPARE(Settings::load(config_).value(setting::channelSource), lists);
    QCOMPARE(field->text(), lists);
    runner_->cancel();
    QTRY_VERIFY_WITH_TIMEOUT(runner_->busy() == ImportRunner::Job::None, kWait);
}

void TestSources::windowKeysAndPlace()
{
    auto* w = new SourcesWindow(*runner_);
    QPointer<SourcesWindow> alive(w);
    w->setConfigDir(config_);
    w->show();
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    // Return on a focused button presses it.
    auto* update = w->findChild<QPushButton*>(QStringLiteral("update"));
    update->setFocus(Qt::TabFocusReason);
    QTest::keyClick(update, Qt::Key_Return);
    QCOMPARE(runner_->busy(), ImportRunner::Job::Update);
    runner_->cancel();
    QTRY_VERIFY_WITH_TIMEOUT(runner_->busy() == ImportRunner::Job::None, kWait);

    // Every cell tells its whole text on hover, for the rows cut short.
    update->click();
    QTRY_VERIFY_WITH_TIMEOUT(runner_->busy() == ImportRunner::Job::None, kWait);
    auto* tree = w->findChild<QTreeWidget*>(QStringLiteral("sources"));
    int cells = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        for (int c = 0; c < tree->columnCount(); ++c)
            if (!(*it)->text(c).isEmpty()) {
                ++cells;
                QVERIFY2(!(*it)->toolTip(c).isEmpty(), qPrintable((*it)->text(c)));
            }
    QVERIFY(cells > 11);

    // Whole on the screen.
    QVERIFY(w->screen()->availableGeometry().contains(w->frameGeometry()));

    // Esc closes it.
    QTest::keyClick(w, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!alive, 2000);
}

QTEST_MAIN(TestSources)
#include "test_sources.moc"
