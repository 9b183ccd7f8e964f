#include "program.h"

#include "catalogue.h"
#include "commands.h"
#include "look.h"
#include "playback.h"

#include <QApplication>
#include <cstring>

// The import commands, read here until the program has its option parser:
// --import-m3u SOURCE... [--country CC] [--dry-run], --undo-import.
static int importCommand(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("miravon"));
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.value(0) == QLatin1String("--undo-import"))
        return miravon::runUndoImport();
    miravon::ImportRequest request;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--dry-run"))
            request.dryRun = true;
        else if (args.at(i) == QLatin1String("--country") && i + 1 < args.size())
            request.country = args.at(++i);
        else
            request.sources << args.at(i);
    }
    return miravon::runImport(request);
}

// miravon --check [--jobs N]: probes every entry's address; no display.
static int checkCommand(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("miravon"));
    const QStringList args = QCoreApplication::arguments().mid(2);
    int jobs = 8;
    if (args.value(0) == QLatin1String("--jobs"))
        jobs = args.value(1).toInt();
    return miravon::runCheck(jobs);
}

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--import-m3u") == 0 || std::strcmp(argv[1], "--undo-import") == 0))
        return importCommand(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--check") == 0)
        return checkCommand(argc, argv);
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
