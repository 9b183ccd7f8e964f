#include "program.h"

#include "catalogue.h"
#include "look.h"
#include "playback.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("miravon"));
    // The program ends when a viewer window closes, not when the last window
    // goes: the start window unloads itself before frmmain is shown.
    QApplication::setQuitOnLastWindowClosed(false);
    miravon::initPlayback();
    miravon::installFontSubstitutions();
    // Read the catalogue (and the user's address file) now, so that a bad
    // row of that file is reported at launch rather than after the start
    // window.
    (void)miravon::catalogue::builtIn();

    miravon::Program program;
    program.start();
    return QApplication::exec();
}
