// The channels in the windows: an entry gives its player every stream the
// import found, the one that played last for it first (across runs); its
// tooltip says where its address comes from and how it went; the sources
// are a menu item away; and the first window after the start offers the
// public lists when nothing gives the channels an address.
#include "fakeplayer.h"

#include "catalogue.h"
#include "channeloffer.h"
#include "labeluni.h"
#include "menuxpuni.h"
#include "playerstates.h"
#include "program.h"
#include "settings.h"
#include "sourceswindow.h"
#include "viewerwindow.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace miravon;

namespace {

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

const QString one = QStringLiteral("http://one.stream.example/vtv1");
const QString two = QStringLiteral("http://two.stream.example/vtv1");
const QString three = QStringLiteral("http://three.stream.example/vtv1");

QStringList urlsOf(const QList<StreamAddress>& streams)
{
    QStringList out;
    for (const StreamAddress& s : streams)
        out << s.url;
    return out;
}

} // namespace

class TestChannels : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void streamsInTurnRememberedAcrossRuns();
    void tooltipsSayWhereAddressesComeFrom();
    void sourcesAreAMenuItemAway();
    void firstWindowOffersThePublicLists();

private:
    QTemporaryDir home_;
    QString config_;
};

void TestChannels::initTestCase()
{
    QVERIFY(home_.isValid());
    qputenv("XDG_CONFIG_HOME", home_.filePath("config").toUtf8());
    qputenv("XDG_CACHE_HOME", home_.filePath("cache").toUtf8());
    config_ = home_.filePath("config/miravon");
    QVERIFY(QDir().mkpath(config_));
    // An import that found three streams for VTV1 and one for VTV3; the
    // user's own file gives HTV7.
    QVERIFY(writeFile(config_ + "/addresses.import.tsv",
                      "window\tcontrol\taddress\treferrer\tuser_agent\n"
                      "frmmain\tImage4\t" + one.toUtf8() + "\t\t\n"
                      "frmmain\tImage5\thttp://only.stream.example/vtv3\t\t\n"));
    QVERIFY(writeFile(config_ + "/addresses.import.streams.tsv",
                      userdata::streamsHeader().toUtf8() + "frmmain\tImage4\t" + one.toUtf8() + "\t\t\tvn.m3u\tVTV1 HD\n"
                      "frmmain\tImage4\t" + two.toUtf8() + "\t\t\tvn.m3u\tVTV1\n"
                      "frmmain\tImage4\t" + three.toUtf8() + "\t\t\tvn_extra.m3u\tVTV 1\n"
                      "frmmain\tImage5\thttp://only.stream.example/vtv3\t\t\tvn.m3u\tVTV3\n"));
    QVERIFY(writeFile(config_ + "/addresses.tsv",
                      "window\tcontrol\taddress\nfrmmain\tImage1\thttps://mine.example/htv7\n"));
    useFakePlayers();
}

void TestChannels::streamsInTurnRememberedAcrossRuns()
{
    {
        Program program([] {});
        ViewerWindow& w = program.viewer(WindowId::frmmain);
        auto& player = static_cast<FakePlayer&>(w.player());
        auto* vtv1 = w.findChild<LabelUni*>(QStringLiteral("Image4"));
        emit vtv1->clicked();
        QCOMPARE(urlsOf(player.streams), (QStringList{one, two, three}));
        QCOMPARE(player.streams.at(2).options.origin, AddressOrigin::Imported);
        QCOMPARE(w.markedEntry(), vtv1);
        // The first refused, the second a 404: the third plays.
        player.raiseStreamPlaying(2);
        QVERIFY2(vtv1->toolTip().contains(QStringLiteral("Lần này: đang phát (nguồn 3/3)")), qPrintable(vtv1->toolTip()));
    }
    // The next run tries it first.
    Program program([] {});
    ViewerWindow& w = program.viewer(WindowId::frmmain);
    emit w.findChild<LabelUni*>(QStringLiteral("Image4"))->clicked();
    QCOMPARE(urlsOf(static_cast<FakePlayer&>(w.player()).streams), (QStringList{three, one, two}));
}

void TestChannels::tooltipsSayWhereAddressesComeFrom()
{
    Program program([] {});
    ViewerWindow& w = program.viewer(WindowId::frmmain);
    auto tip = [&w](const char* control) { return w.findChild<LabelUni*>(QLatin1String(control))->toolTip(); };
    QCOMPARE(tip("Image4"), QStringLiteral("VTV1\nTừ danh sách vn.m3u: “VTV1 HD” (và 2 luồng khác)"));
    QCOMPARE(tip("Image5"), QStringLiteral("VTV3\nTừ danh sách vn.m3u: “VTV3”"));
    QCOMPARE(tip("Image1"), QStringLiteral("HTV7\nĐịa chỉ riêng của bạn (addresses.tsv)"));
    QCOMPARE(tip("Image2"), QStringLiteral("HTVC\nKênh này chưa có địa chỉ xem được: các danh sách kênh không có nó. Hãy cập nhật "
                                           "danh sách (Thực đơn › Nguồn kênh), hoặc tự cho nó một địa chỉ (chuột "
                                           "phải › Đặt địa chỉ…)."));
    // How it went in this run joins it.
    emit w.findChild<LabelUni*>(QStringLiteral("Image5"))->clicked();
    static_cast<FakePlayer&>(w.player()).raisePlayState(PlayState::Ready);
    QCOMPARE(tip("Image5"), QStringLiteral("VTV3\nTừ danh sách vn.m3u: “VTV3”\nLần này: không phát được"));
}

void TestChannels::sourcesAreAMenuItemAway()
{
    Program program([] {});
    ViewerWindow& w = program.viewer(WindowId::frmmain3);
    QAction* item = nullptr;
    for (QAction* a : w.findChildren<QAction*>())
        if (a->text().remove(u'&') == QStringLiteral("Nguồn kênh"))
            item = a;
    QVERIFY(item);
    item->trigger();
    QTRY_VERIFY(sourcesWindow() && sourcesWindow()->isVisible());
    sourcesWindow()->close();
    // The same from the player's face, where a channel has no address.
    emit w.player().sourcesRequested();
    QTRY_VERIFY(sourcesWindow() && sourcesWindow()->isVisible());
    sourcesWindow()->close();
}

// After the start window: the first viewer window offers the lists, once,
// over its picture; not when the user said never.
void TestChannels::firstWindowOffersThePublicLists()
{
    for (const bool never : {false, true}) {
        QTemporaryDir elsewhere;
        qputenv("XDG_CONFIG_HOME", elsewhere.path().toUtf8());
        if (never) {
            Settings s;
            s.set(setting::channelConsent, QStringLiteral("never"));
            QString error;
            QVERIFY(s.save(elsewhere.filePath("miravon"), &error));
        }
        Program program([] {});
        program.start();
        QTRY_VERIFY_WITH_TIMEOUT(program.isLoaded(WindowId::frmmain) && program.window(WindowId::frmmain).isVisible(),
                                 20000);
        ViewerWindow& w = program.viewer(WindowId::frmmain);
        auto* offer = w.findChild<ChannelOffer*>();
        QCOMPARE(offer != nullptr, !never);
        if (offer) {
            QCOMPARE(offer->parentWidget(), w.player().widget());
            QVERIFY(offer->isVisible());
        }
        // Another viewer window shown later offers nothing.
        program.show(WindowId::frmmain2);
        QVERIFY(!program.viewer(WindowId::frmmain2).findChild<ChannelOffer*>());
    }
    qputenv("XDG_CONFIG_HOME", home_.filePath("config").toUtf8());
}

QTEST_MAIN(TestChannels)
#include "test_channels.moc"
