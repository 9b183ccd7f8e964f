// Stages the windows for the screenshots of the lists' other channels
// (scripts/screenshots-channels.sh takes them): with the real player, the
// user's lists holding French, Kenyan and Andorran channels whose streams
// are the clip served at BASE (argument 1), and a few entries given an
// address by an import. At each scene it prints "shot <name>" and waits for
// a line on standard input before the next.
#include "accessible.h"
#include "channellist.h"
#include "chooserwindow.h"
#include "findbox.h"
#include "focusring.h"
#include "listfixture.h"
#include "look.h"
#include "navigation.h"
#include "playback.h"
#include "program.h"
#include "steps.h"
#include "viewerwindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>

using namespace miravon;

namespace {

void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void shot(const char* name)
{
    pause(1500);
    std::printf("shot %s\n", name);
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString base = QCoreApplication::arguments().value(1);
    const QString clip = base + QStringLiteral("/clip.mp4");
    QList<catalogue::ListChannel> channels = {
        fixture::channel("FR", "Arte", 2, "Culture", "1080p"),
        fixture::channel("FR", "France 24", 1, "News", "720p"),
        fixture::channel("FR", "France Info", 1, "News"),
        fixture::channel("FR", "LCI", 1, "News", "720p"),
        fixture::channel("FR", "TV5Monde", 2, "General"),
        fixture::channel("FR", "Euronews Français", 1, "News", "1080p"),
        fixture::channel("FR", "KTO", 1, "Religious"),
        fixture::channel("FR", "BFM TV", 1, "News", {}, "frmmain3/phap_2"),
        fixture::channel("KE", "KTN News", 1, "News"),
        fixture::channel("KE", "Citizen TV", 1, "General"),
        fixture::channel("AD", "Andorra Televisió", 1, "General"),
    };
    for (catalogue::ListChannel& c : channels)
        for (catalogue::ListStream& s : c.streams)
            s.address.url = clip;
    fixture::writeChannels(channels);
    QFile imported(fixture::configDir() + QStringLiteral("/addresses.import.tsv"));
    if (imported.open(QIODevice::WriteOnly))
        imported.write(("window\tcontrol\taddress\nfrmmain3\tphap_2\t" + clip + "\nfrmmain3\tphap_8\t" + clip
                        + "\n")
                           .toUtf8());
    imported.close();
    QFile settings(fixture::configDir() + QStringLiteral("/settings.ini"));
    if (settings.open(QIODevice::WriteOnly))
        settings.write("channels/consent=never\n");
    settings.close();

    initPlayback();
    installFontSubstitutions();
    installAccessibility();
    FocusRing::install();
    Program program;
    while (!program.catalogue().channelsRead())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    // France from the chooser, which is then closed.
    program.show(WindowId::frmmain);
    pause(500);
    runMenuCommand(program, WindowId::frmmain, QStringLiteral("thegioi"));
    runChooserControl(program, QStringLiteral("cont"));
    runChooserControl(program, QStringLiteral("LabelUni12"));
    runChooserControl(program, QStringLiteral("ButtonUni1"));
    ViewerWindow& france = program.viewer(WindowId::frmmain3);
    shot("panel-link");

    france.otherChannelsLink(QStringLiteral("phap"))->click();
    france.channelList()->select(catalogue::channelKey("FR", {}, "Arte"));
    france.playChannel(catalogue::channelKey("FR", {}, "Arte"));
    pause(600); // the clip lasts 4 s: caught playing
    shot("country-list-playing");

    runMenuCommand(program, WindowId::frmmain3, QStringLiteral("thegioi"));
    auto& chooser = static_cast<ChooserWindow&>(program.window(WindowId::chonkenh));
    chooser.standBeside(WindowId::frmmain3);
    chooser.openOtherCountries();
    shot("other-countries");

    runChooserControl(program, QStringLiteral("ButtonUni1"));
    france.closeChannelList();
    france.activateWindow();
    france.openFind(QStringLiteral("f"));
    france.findBox()->field()->setText(QStringLiteral("france"));
    QListWidget* results = france.findBox()->results();
    for (int i = 0; i < results->count(); ++i)
        if (results->item(i)->data(Qt::UserRole).toString() == catalogue::listWindow()) {
            results->setCurrentRow(i);
            break;
        }
    shot("find-list-channel");
    return 0;
}
