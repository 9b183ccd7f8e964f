// The program's first viewer window with its real player, for the test of
// what a screen reader speaks of outcomes: frmmain on its Vietnamese panel,
// the catalogue read from the test's own config folder (its own addresses,
// its settings). Engines sound nowhere, and draw nowhere unless MIRAVON_A11Y_DRAW=1. Says "ready" on standard
// output, then takes one command a line:
//   focus CONTROL    the keyboard focus on frmmain's entry CONTROL
//   where CONTROL    prints "at X Y", the entry's middle on the screen
//   address CONTROL  the address window of frmmain's entry CONTROL
//   offer            the offer of the public lists over frmmain's picture
//   sources          the sources window
//   quit
// and answers each with one line: "at X Y" for where, "done" for the others.
#include "accessible.h"
#include "addressdialog.h"
#include "channeloffer.h"
#include "focusring.h"
#include "labeluni.h"
#include "look.h"
#include "playback.h"
#include "player.h"
#include "program.h"
#include "sourceswindow.h"
#include "translations.h"
#include "viewerwindow.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

namespace {

void answer(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("miravon-a11y-outcomes"));
    QApplication::setQuitOnLastWindowClosed(false);
    miravon::initPlayback();
    // MIRAVON_A11Y_DRAW=1 (the screenshots) keeps the program's own video
    // output, so that the picture shows; sound goes nowhere either way.
    miravon::PlaybackOutputs outputs = miravon::playbackOutputs();
    outputs.audio = QStringLiteral("null");
    if (qEnvironmentVariableIntValue("MIRAVON_A11Y_DRAW") != 1)
        outputs.video = QStringLiteral("null");
    miravon::setPlaybackOutputs(outputs);
    miravon::installFontSubstitutions();
    miravon::installQtTranslation();
    miravon::installAccessibility();
    miravon::FocusRing::install();
    miravon::Program program;
    program.show(miravon::WindowId::frmmain);
    miravon::ViewerWindow& main = program.viewer(miravon::WindowId::frmmain);
    main.activateWindow();

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            QApplication::quit();
            return;
        }
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QStringList words = QString::fromUtf8(pending.left(end)).split(u' ', Qt::SkipEmptyParts);
            pending.remove(0, end + 1);
            const QString command = words.value(0);
            auto* entry = main.findChild<miravon::LabelUni*>(words.value(1));
            if (command == QLatin1String("focus") && entry) {
                main.activateWindow();
                entry->setFocus(Qt::TabFocusReason);
            } else if (command == QLatin1String("where") && entry) {
                const QPoint at = entry->mapToGlobal(entry->rect().center());
                answer(QStringLiteral("at %1 %2").arg(at.x()).arg(at.y()));
                continue;
            } else if (command == QLatin1String("address") && entry) {
                const miravon::catalogue::Label* label =
                    program.catalogue().catalogue().label(QStringLiteral("frmmain"), words.value(1));
                main.openAddressDialog(miravon::addressTarget(*label));
            } else if (command == QLatin1String("offer")) {
                new miravon::ChannelOffer(program.imports(), program.channelLists(), main.player().widget());
            } else if (command == QLatin1String("sources")) {
                miravon::showSourcesWindow(program.imports());
            } else if (command == QLatin1String("quit")) {
                QApplication::quit();
            }
            answer(QStringLiteral("done"));
        }
    });
    QTimer::singleShot(0, &app, [] { answer(QStringLiteral("ready")); });
    return QApplication::exec();
}
