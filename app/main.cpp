#include "commandline.h"
#include "commands.h"
#include "display.h"

#include "program.h"

#include "accessible.h"
#include "catalogue.h"
#include "focusring.h"
#include "look.h"
#include "playback.h"
#include "settings.h"
#include "videopath.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>

namespace {

int runWindows(int argc, char** argv)
{
    // Qt ends the process with a long advice text when no display can be
    // reached; the guard turns that into one line and exit status 1.
    miravon::DisplayGuard guard;
    QApplication app(argc, argv);
    guard.release();
    QApplication::setApplicationName(QStringLiteral("miravon"));
    QApplication::setApplicationVersion(QStringLiteral(MIRAVON_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(MIRAVON_APP_ID));
    // The program ends when a viewer window closes, not when the last window
    // goes: the start window unloads itself before frmmain is shown.
    QApplication::setQuitOnLastWindowClosed(false);
    miravon::initPlayback();
    // The stored player setting may turn hardware decoding off (a driver
    // that decodes wrongly).
    // A settings file that cannot be read (or lost lines) is said here on
    // standard error, and in the first viewer window (Program::start()).
    const miravon::Settings settings = miravon::Settings::load(miravon::userdata::configDir());
    if (!settings.problem().isEmpty())
        std::fprintf(stderr, "miravon: %s\n", qUtf8Printable(settings.problem()));
    if (settings.value(miravon::setting::hardwareDecoding) == QLatin1String("no")) {
        miravon::PlaybackOutputs outputs = miravon::playbackOutputs();
        outputs.hardwareDecoding = false;
        miravon::setPlaybackOutputs(outputs);
    }
    // The video path is chosen now, while the program starts: the probe
    // makes an OpenGL context (about a tenth of a second), which the
    // first click on a channel must not wait for.
    (void)miravon::videoPath();
    miravon::installFontSubstitutions();
    miravon::installAccessibility();
    miravon::FocusRing::install();
    // The program reads the catalogue (and the user's address files) as it
    // is made, so that a bad row is reported at launch rather than after
    // the start window.
    miravon::Program program;
    program.start();
    return QApplication::exec();
}

// Commands that print and end; they never need a display.
int runCommand(int argc, char** argv, const miravon::Invocation& inv)
{
    using Action = miravon::Invocation::Action;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("miravon"));
    QCoreApplication::setApplicationVersion(QStringLiteral(MIRAVON_VERSION));
    switch (inv.action) {
    case Action::Import:
        return miravon::runImport(inv.import);
    case Action::UpdateChannels:
        return miravon::runUpdateChannels(inv.update);
    case Action::UndoImport:
        return miravon::runUndoImport();
    case Action::Check:
        return miravon::runCheck(inv.jobs);
    default:
        return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    using Action = miravon::Invocation::Action;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const miravon::Invocation inv = miravon::parseCommandLine(arguments);

    switch (inv.action) {
    case Action::Windows:
        return runWindows(argc, argv);
    case Action::Help:
        std::fputs(miravon::usageText().toLocal8Bit().constData(), stdout);
        return 0;
    case Action::Version:
        std::fputs(miravon::versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case Action::Error:
        std::fprintf(stderr, "miravon: %s\n", qPrintable(inv.error));
        std::fputs(miravon::usageText().toLocal8Bit().constData(), stderr);
        return miravon::usageExitStatus;
    default:
        return runCommand(argc, argv, inv);
    }
}
