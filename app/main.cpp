#include "program.h"

#include "catalogue.h"
#include "commands.h"
#include "look.h"
#include "playback.h"

#include <QApplication>
#include <QByteArray>

int main(int argc, char** argv)
{
    // miravon --check [--jobs N]: probes every entry's address; no display.
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--check") == 0) {
            QCoreApplication core(argc, argv);
            int jobs = 8;
            for (int j = 1; j + 1 < argc; ++j) {
                if (qstrcmp(argv[j], "--jobs") == 0)
                    jobs = QByteArray(argv[j + 1]).toInt();
            }
            return miravon::runCheck(jobs);
        }
    }
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
