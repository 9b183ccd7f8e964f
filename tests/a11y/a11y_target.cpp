// The program's windows with a recording player, for the screen-reader test:
// frmmain on its Vietnamese panel and the chooser beside it, as after the
// world-television command. Every put on a player is printed on standard
// output as "put <window> <address>". With "--find", frmmain's find box is
// open instead, with nothing typed. With "--channels", the user's lists
// hold three French channels that match no entry, and frmmain3 shows the
// French panel with its link to them.
#include "accessible.h"
#include "fakeplayer.h"
#include "focusring.h"
#include "listfixture.h"
#include "look.h"
#include "navigation.h"
#include "player.h"
#include "program.h"
#include "viewerwindow.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>

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
    if (args.contains(QStringLiteral("--channels"))) {
        fixture::writeChannels({fixture::channel("FR", "Arte", 3, "Culture", "1080p"),
                                fixture::channel("FR", "France 24", 1, "News", "720p"),
                                fixture::channel("FR", "TV5Monde", 2)});
    }
    miravon::Program program;
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
