// The program's windows with a recording player, for the screen-reader test:
// frmmain on its Vietnamese panel and the chooser beside it, as after the
// world-television command. Every put on a player is printed on standard
// output as "put <window> <address>". With "--find", frmmain's find box is
// open instead, with nothing typed.
#include "accessible.h"
#include "fakeplayer.h"
#include "focusring.h"
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
    miravon::Program program;
    program.show(miravon::WindowId::frmmain);
    if (QCoreApplication::arguments().contains(QStringLiteral("--find")))
        program.viewer(miravon::WindowId::frmmain).openFind();
    else
        miravon::runMenuCommand(program, miravon::WindowId::frmmain, QStringLiteral("thegioi"));
    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}
