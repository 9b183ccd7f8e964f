// The programme guide in the windows: an entry a list channel gave its
// address says in its tooltip what is on now and next; while it plays, a
// line under the status line says it (and goes when the channel fails,
// leaving the status line's own text alone); its menu opens the schedule
// of today and tomorrow with the programme on now marked; the sources
// window lists the guides, adds and removes the user's own. When a
// programme ends, all of it follows, on the guide's clock.
#include "fakeplayer.h"

#include "guidesection.h"
#include "labeluni.h"
#include "listchannels.h"
#include "onairline.h"
#include "playerstates.h"
#include "program.h"
#include "programguide.h"
#include "schedulewindow.h"
#include "sourceswindow.h"
#include "viewerwindow.h"

#include "channellist.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace miravon;

namespace {

bool writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QDateTime utc(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate).toUTC(); }

// The guide's clock: a minute before nine in the evening in Hà Nội.
QDateTime fakeNow;

const QTimeZone hanoi = QTimeZone(7 * 3600);

QByteArray programme(const char* start, const char* stop, const char* title, const char* channel = "VTV1.vn")
{
    return QByteArray("<programme start=\"") + start + " +0000\" stop=\"" + stop + " +0000\" channel=\"" + channel
        + "\"><title lang=\"vi\">" + title + "</title><desc lang=\"vi\">Về " + title + "</desc></programme>\n";
}

const QByteArray guideXml = QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n"
                                       "<channel id=\"VTV1.vn\"><display-name>VTV1</display-name></channel>\n"
                                       "<channel id=\"HTV7.vn\"><display-name>HTV7</display-name></channel>\n")
    + programme("20261211120000", "20261211130000", "Chuyển động 24h")
    + programme("20261211130000", "20261211140000", "Thời sự")
    + programme("20261211140000", "20261211153000", "Phim truyện")
    + programme("20261211153000", "20261211170000", "Bóng đá")
    + programme("20261212010000", "20261212020000", "Chào buổi sáng")
    + programme("20261211130000", "20261211140000", "Tin tức", "HTV7.vn")
    + programme("20261211130000", "20261211140000", "Elsewhere", "Other.vn") + "</tv>\n";

} // namespace

class TestGuideUi : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void tooltipAndLineFollowTheGuide();
    void scheduleOfTodayAndTomorrow();
    void guidesInTheSourcesWindow();
    void listRowsSayWhatIsOn();

private:
    // A program with the guide read, over frmmain.
    std::unique_ptr<Program> programWithGuide();

    QTemporaryDir home_;
    QString config_;
    QString guideFile_;
    QString key_;
};

void TestGuideUi::initTestCase()
{
    QVERIFY(home_.isValid());
    qputenv("XDG_CONFIG_HOME", home_.filePath("config").toUtf8());
    qputenv("XDG_CACHE_HOME", home_.filePath("cache").toUtf8());
    config_ = home_.filePath("config/miravon");
    // VTV1 has an address from a list whose channel has a guide id; VTV3
    // has one and no guide.
    QVERIFY(writeFile(config_ + "/addresses.import.tsv", "window\tcontrol\taddress\treferrer\tuser_agent\n"
                                                         "frmmain\tImage4\thttp://s.example/vtv1\t\t\n"
                                                         "frmmain\tImage5\thttp://s.example/vtv3\t\t\n"));
    catalogue::ListChannel vtv1;
    vtv1.key = QStringLiteral("VN/VTV1.vn");
    vtv1.name = QStringLiteral("VTV1");
    vtv1.tvgId = QStringLiteral("VTV1.vn@HD");
    vtv1.country = QStringLiteral("VN");
    vtv1.entry = QStringLiteral("frmmain/Image4");
    catalogue::ListStream s;
    s.address = StreamAddress{QStringLiteral("http://s.example/vtv1"), {}};
    s.address.options.origin = AddressOrigin::Imported;
    s.list = QStringLiteral("vn.m3u");
    s.title = QStringLiteral("VTV1 HD");
    vtv1.streams << s;
    key_ = vtv1.key;
    // HTV7 gives no entry an address: one of the Vietnamese panel's other channels.
    catalogue::ListChannel htv7 = vtv1;
    htv7.key = QStringLiteral("VN/HTV7.vn");
    htv7.name = QStringLiteral("HTV7");
    htv7.tvgId = QStringLiteral("HTV7.vn");
    htv7.entry.clear();
    htv7.streams.first().address.url = QStringLiteral("http://s.example/htv7");
    htv7.streams.first().title = QStringLiteral("HTV7");
    QVERIFY(writeFile(config_ + "/addresses.import.channels.tsv", catalogue::writeListChannels({vtv1, htv7})));
    guideFile_ = home_.filePath("vn.xml");
    QVERIFY(writeFile(guideFile_, guideXml));
    programGuideOptions().clock = [] { return fakeNow; };
    programGuideOptions().firstCheckMs = 0;
    useFakePlayers();
}

void TestGuideUi::init()
{
    fakeNow = utc("2026-12-11T13:59:59Z");
    QDir(home_.filePath("cache")).removeRecursively();
    QFile::remove(config_ + "/guide-sources.txt");
}

std::unique_ptr<Program> TestGuideUi::programWithGuide()
{
    auto program = std::make_unique<Program>([] {});
    ProgramGuide& guide = program->guide();
    guide.setZone(hanoi);
    QString why;
    if (!guide.service().addSource(guideFile_, &why))
        qWarning() << why;
    [&] { QTRY_VERIFY_WITH_TIMEOUT(guide.hasGuide(key_), 20000); }();
    return program;
}

void TestGuideUi::tooltipAndLineFollowTheGuide()
{
    const auto program = programWithGuide();
    QVERIFY(program->guide().hasGuide(key_));
    ViewerWindow& w = program->viewer(WindowId::frmmain);
    auto* vtv1 = w.findChild<LabelUni*>(QStringLiteral("Image4"));
    auto* vtv3 = w.findChild<LabelUni*>(QStringLiteral("Image5"));
    const QString before = QStringLiteral("Đang phát 20:00–21:00 Thời sự · Tiếp theo 21:00 Phim truyện");
    QVERIFY2(vtv1->toolTip().contains(before), qPrintable(vtv1->toolTip()));
    QVERIFY2(!vtv3->toolTip().contains(QStringLiteral("Đang phát")), qPrintable(vtv3->toolTip()));

    // Given to the player, it is not playing yet: nothing is said.
    auto& player = static_cast<FakePlayer&>(w.player());
    OnAirLine* line = w.onAirLine();
    const QString statusAtStart = w.status()->caption();
    emit vtv1->clicked();
    player.raiseOpenState(1);
    QVERIFY(line->isHidden());
    player.raiseStreamPlaying(0);
    QVERIFY(line->isVisibleTo(&w));
    QCOMPARE(line->text(), before);
    QVERIFY(!line->geometry().intersects(w.status()->geometry()));
    // How it went and what is on, both in the tooltip.
    QVERIFY2(vtv1->toolTip().contains(QStringLiteral("Lần này: đang phát")), qPrintable(vtv1->toolTip()));
    QVERIFY(vtv1->toolTip().contains(before));

    // Nine o'clock passes while the program runs.
    fakeNow = utc("2026-12-11T14:00:01Z");
    const QString after = QStringLiteral("Đang phát 21:00–22:30 Phim truyện · Tiếp theo 22:30 Bóng đá");
    QTRY_COMPARE_WITH_TIMEOUT(line->text(), after, 5000);
    QVERIFY2(vtv1->toolTip().contains(after), qPrintable(vtv1->toolTip()));

    // A failure: the line goes, the status line has its own text back.
    player.raisePlayState(PlayState::Ready);
    QVERIFY(line->isHidden());
    QCOMPARE(w.status()->caption(), statusAtStart);
}

void TestGuideUi::scheduleOfTodayAndTomorrow()
{
    const auto program = programWithGuide();
    ViewerWindow& w = program->viewer(WindowId::frmmain);
    auto* vtv1 = w.findChild<LabelUni*>(QStringLiteral("Image4"));
    QMenu* menu = w.showEntryMenu(*program->catalogue().catalogue().label("frmmain", "Image4"), vtv1->mapToGlobal(QPoint()));
    QAction* item = menu->findChild<QAction*>(QStringLiteral("schedule"));
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("Lịch phát sóng"));
    item->trigger();
    menu->close();
    // An entry no list channel stands for has none.
    QMenu* other = w.showEntryMenu(*program->catalogue().catalogue().label("frmmain", "Image5"), QPoint());
    QVERIFY(!other->findChild<QAction*>(QStringLiteral("schedule")));
    other->close();

    ScheduleWindow* s = scheduleWindow();
    QVERIFY(s);
    QVERIFY(s->isVisible());
    QCOMPARE(s->list()->accessibleName(), QStringLiteral("Lịch phát sóng của VTV1"));
    QStringList rows;
    for (int i = 0; i < s->list()->count(); ++i)
        rows << s->list()->item(i)->text();
    QCOMPARE(rows, (QStringList{
                       QStringLiteral("Hôm nay, Thứ Sáu, 11/12/2026"),
                       QStringLiteral("19:00–20:00 Chuyển động 24h"),
                       QStringLiteral("▶ 20:00–21:00 Thời sự — đang phát"),
                       QStringLiteral("21:00–22:30 Phim truyện"),
                       QStringLiteral("22:30–00:00 Bóng đá"),
                       QStringLiteral("Ngày mai, Thứ Bảy, 12/12/2026"),
                       QStringLiteral("08:00–09:00 Chào buổi sáng"),
                   }));
    QCOMPARE(s->list()->currentRow(), 2);
    QCOMPARE(s->list()->item(2)->toolTip(), QStringLiteral("Về Thời sự"));
    // Headings are not programmes to choose.
    QVERIFY(!(s->list()->item(0)->flags() & Qt::ItemIsSelectable));

    fakeNow = utc("2026-12-11T14:00:01Z");
    QTRY_COMPARE_WITH_TIMEOUT(s->list()->currentRow(), 3, 5000);
    QCOMPARE(s->list()->item(3)->text(), QStringLiteral("▶ 21:00–22:30 Phim truyện — đang phát"));
    s->close();
}

void TestGuideUi::guidesInTheSourcesWindow()
{
    Program program([] {});
    program.guide().setZone(hanoi);
    SourcesWindow& window = openSourcesWindow(program);
    auto* section = window.findChild<GuideSection*>();
    QVERIFY(section);
    QCOMPARE(openSourcesWindow(program).findChildren<GuideSection*>().size(), 1);

    QVERIFY(!section->add(QStringLiteral("ftp://epg.example/guide.xml")));
    QVERIFY2(!section->message().isEmpty(), "says why an address is refused");
    QVERIFY(!section->add(home_.filePath("guide.txt")));

    QVERIFY(section->add(guideFile_));
    QTreeWidget* guides = section->guides();
    QTRY_COMPARE_WITH_TIMEOUT(guides->topLevelItemCount() == 1 ? guides->topLevelItem(0)->text(2) : QString(),
                              QStringLiteral("2"), 20000);
    QTreeWidgetItem* row = guides->topLevelItem(0);
    QCOMPARE(row->text(0), guideFile_);
    QCOMPARE(row->text(1), QDateTime(utc("2026-12-11T13:59:59Z")).toLocalTime().toString("dd/MM/yyyy HH:mm"));
    QCOMPARE(row->text(3), QStringLiteral("6"));
    QCOMPARE(row->text(4), QString());

    guides->setCurrentItem(row);
    window.findChild<QPushButton*>(QStringLiteral("removeGuide"))->click();
    QTRY_VERIFY(guides->topLevelItemCount() == 1 && guides->topLevelItem(0)->data(0, Qt::UserRole).isNull());
    window.close();
}

// A row of a channel list shows the title on now, its tooltip now and
// next, and both follow a programme's end.
void TestGuideUi::listRowsSayWhatIsOn()
{
    const auto program = programWithGuide();
    QTRY_VERIFY_WITH_TIMEOUT(program->guide().hasGuide(QStringLiteral("VN/HTV7.vn")), 20000);
    ViewerWindow& w = program->viewer(WindowId::frmmain);
    QTRY_VERIFY_WITH_TIMEOUT(program->catalogue().listChannels()->channel(QStringLiteral("VN/HTV7.vn")), 10000);
    ChannelList* list = w.openChannelList({QStringLiteral("VN")});
    QVERIFY(list);
    const int row = list->model()->rowOf(QStringLiteral("VN/HTV7.vn"));
    QVERIFY(row >= 0);
    const auto at = [&](int role) { return list->model()->index(row).data(role).toString(); };
    QCOMPARE(at(ChannelListModel::NowRole), QStringLiteral("Đang phát: Tin tức"));
    QVERIFY2(at(Qt::ToolTipRole).contains(QStringLiteral("Đang phát 20:00–21:00 Tin tức")), qPrintable(at(Qt::ToolTipRole)));
    QVERIFY2(at(Qt::AccessibleTextRole).endsWith(QStringLiteral("Đang phát: Tin tức")),
             qPrintable(at(Qt::AccessibleTextRole)));
    fakeNow = utc("2026-12-11T14:00:01Z");
    QTRY_COMPARE_WITH_TIMEOUT(at(ChannelListModel::NowRole), QString(), 5000);
}

QTEST_MAIN(TestGuideUi)
#include "test_guideui.moc"
