// The program's windows with a recording player, for the screen-reader test:
// frmmain on its Vietnamese panel and the chooser beside it, as after the
// world-television command. Every put on a player is printed on standard
// output as "put <window> <address>". With "--find", frmmain's find box is
// open instead, with nothing typed. With "--channels", the user's lists
// hold three French channels that match no entry, and frmmain3 shows the
// French panel with its link to them.
// With "--guide", VTV1 of frmmain has a
// programme guide (a list channel gave it its address), read on a guide
// clock fixed at 20:59:59 in Hà Nội, and its schedule window is open.
#include "accessible.h"
#include "fakeplayer.h"
#include "focusring.h"
#include "listfixture.h"
#include "look.h"
#include "navigation.h"
#include "player.h"
#include "program.h"
#include "programguide.h"
#include "schedulewindow.h"

#include "folders.h"
#include "listchannels.h"
#include "viewerwindow.h"
#include "labeluni.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <QToolTip>
#include <QWidget>
#include <cstdio>

namespace {

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray programme(const char* start, const char* stop, const char* title)
{
    return QByteArray("<programme start=\"") + start + " +0000\" stop=\"" + stop
        + " +0000\" channel=\"VTV1.vn\"><title>" + title + "</title></programme>\n";
}

// VTV1's list channel with its guide id, and a guide for it.
QString prepareGuide()
{
    const QString config = miravon::userdata::configDir();
    writeFile(config + QStringLiteral("/addresses.import.tsv"),
              "window\tcontrol\taddress\treferrer\tuser_agent\nfrmmain\tImage4\thttp://127.0.0.1:9/vtv1\t\t\n");
    miravon::catalogue::ListChannel vtv1;
    vtv1.key = QStringLiteral("VN/VTV1.vn");
    vtv1.name = QStringLiteral("VTV1");
    vtv1.tvgId = QStringLiteral("VTV1.vn");
    vtv1.country = QStringLiteral("VN");
    vtv1.entry = QStringLiteral("frmmain/Image4");
    miravon::catalogue::ListStream s;
    s.address = miravon::StreamAddress{QStringLiteral("http://127.0.0.1:9/vtv1"), {}};
    s.address.options.origin = miravon::AddressOrigin::Imported;
    s.list = QStringLiteral("vn.m3u");
    s.title = QStringLiteral("VTV1");
    vtv1.streams << s;
    writeFile(config + QStringLiteral("/addresses.import.channels.tsv"), miravon::catalogue::writeListChannels({vtv1}));
    const QString guide = miravon::userdata::cacheDir() + QStringLiteral("/test-guide.xml");
    writeFile(guide, QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tv>\n"
                                "<channel id=\"VTV1.vn\"><display-name>VTV1</display-name></channel>\n")
                  + programme("20261211130000", "20261211140000", "Thời sự")
                  + programme("20261211140000", "20261211153000", "Phim truyện")
                  + programme("20261212010000", "20261212020000", "Chào buổi sáng") + "</tv>\n");
    miravon::programGuideOptions().clock = [] {
        return QDateTime(QDate(2026, 12, 11), QTime(13, 59, 59), Qt::UTC);
    };
    return guide;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("miravon-a11y-target"));
    QApplication::setQuitOnLastWindowClosed(false);
    miravon::installFontSubstitutions();
    miravon::installAccessibility();
    miravon::FocusRing::install();
    useFakePlayers();
    FakePlayer::observer() = [](const QString& call, const FakePlayer& player) {
        if (call == QLatin1String("url")) {
            std::printf("put %s %s\n", qPrintable(player.windowName()), qPrintable(player.url));
            std::fflush(stdout);
        }
    };
    const QStringList args = QCoreApplication::arguments();
    const bool guide = args.contains(QStringLiteral("--guide"));
    const QString guideFile = guide ? prepareGuide() : QString();
    if (args.contains(QStringLiteral("--channels"))) {
        fixture::writeChannels({fixture::channel("FR", "Arte", 3, "Culture", "1080p"),
                                fixture::channel("FR", "France 24", 1, "News", "720p"),
                                fixture::channel("FR", "TV5Monde", 2)});
    }
    miravon::Program program;
    if (guide) {
        miravon::ProgramGuide& g = program.guide();
        g.setZone(QTimeZone(7 * 3600));
        QString why;
        if (!g.service().addSource(guideFile, &why))
            qFatal("%s", qPrintable(why));
        // Ready once the guide is read and the window shows it.
        auto* poll = new QTimer(&program);
        QObject::connect(poll, &QTimer::timeout, &program, [&program, poll] {
            if (!program.guide().hasGuide(QStringLiteral("VN/VTV1.vn")))
                return;
            poll->stop();
            program.show(miravon::WindowId::frmmain);
            miravon::ViewerWindow& w = program.viewer(miravon::WindowId::frmmain);
            auto* vtv1 = w.findChild<miravon::LabelUni*>(QStringLiteral("Image4"));
            // "--stage tooltip" and "--stage playing" set the screenshots' scenes.
            const QStringList stageArgs = QCoreApplication::arguments();
            const QString stage = stageArgs.value(stageArgs.indexOf(QStringLiteral("--stage")) + 1);
            if (stage == QLatin1String("tooltip")) {
                // Once the window is on the screen.
                QTimer::singleShot(700, vtv1, [vtv1] {
                    QToolTip::showText(vtv1->mapToGlobal(QPoint(vtv1->width() / 2, vtv1->height())), vtv1->toolTip(),
                                       vtv1);
                });
            } else if (stage == QLatin1String("playing")) {
                emit vtv1->clicked();
                auto& player = static_cast<FakePlayer&>(w.player());
                player.raiseOpenState(1);
                player.raiseStreamPlaying(0);
            } else {
                miravon::showScheduleWindow(program, QStringLiteral("frmmain"), QStringLiteral("Image4"),
                                            QStringLiteral("VTV1"));
            }
            std::printf("ready\n");
            std::fflush(stdout);
        });
        poll->start(50);
        return QApplication::exec();
    }
    auto ready = [] {
        std::printf("ready\n");
        std::fflush(stdout);
    };
    if (args.contains(QStringLiteral("--channels"))) {
        program.show(miravon::WindowId::frmmain3);
        program.setPanelVisible(miravon::WindowId::frmmain3, QStringLiteral("phap"), true);
        QObject::connect(&program.catalogue(), &miravon::catalogue::RunningCatalogue::channelsChanged, &program, ready);
    } else {
        program.show(miravon::WindowId::frmmain);
        if (args.contains(QStringLiteral("--find")))
            program.viewer(miravon::WindowId::frmmain).openFind();
        else
            miravon::runMenuCommand(program, miravon::WindowId::frmmain, QStringLiteral("thegioi"));
        ready();
    }
    return QApplication::exec();
}
