// The real player in a window, for the screen-reader test of its status:
// it plays a short clip of this computer to its end (no sound, no picture
// output needed) and says "ready" on standard output first.
#include "mpvplayer.h"
#include "playback.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("miravon-a11y-player"));
    miravon::initPlayback();
    miravon::setPlaybackOutputs({QStringLiteral("null"), QStringLiteral("null")});
    QWidget window;
    window.setWindowTitle(QStringLiteral("Miravon v1.0"));
    window.resize(480, 360);
    auto* layout = new QVBoxLayout(&window);
    miravon::MpvPlayer player(&window);
    layout->addWidget(player.widget());
    window.show();
    QTimer::singleShot(0, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });
    // Played once the reader listens: it writes a line on standard input.
    const QString clip = QUrl::fromLocalFile(QString::fromLocal8Bit(argc > 1 ? argv[1] : "")).toString();
    QSocketNotifier go(0, QSocketNotifier::Read);
    QObject::connect(&go, &QSocketNotifier::activated, &player, [&] {
        go.setEnabled(false);
        player.setUrl(clip, miravon::StreamOptions{{}, {}, miravon::AddressOrigin::Own});
    });
    return QApplication::exec();
}
