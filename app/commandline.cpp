#include "commandline.h"

namespace miravon {
namespace {

using Action = Invocation::Action;

Invocation failure(const QString& message)
{
    Invocation inv;
    inv.action = Action::Error;
    inv.error = message;
    return inv;
}

bool isOption(const QString& arg) { return arg.startsWith(u'-') && arg.size() > 1; }

// Splits "--name=value" into its two halves; `value` stays null without '='.
QString optionName(const QString& arg, QString* value)
{
    const qsizetype eq = arg.indexOf(u'=');
    if (!arg.startsWith(QLatin1String("--")) || eq < 0)
        return arg;
    *value = arg.mid(eq + 1);
    return arg.left(eq);
}

} // namespace

Invocation parseCommandLine(const QStringList& arguments)
{
    Invocation inv;
    bool countrySeen = false;
    bool dryRunSeen = false;
    bool sourceSeen = false;
    bool jobsSeen = false;

    // One command per line; naming the same one twice is harmless.
    auto setAction = [&inv](Action a) -> bool {
        if (inv.action != Action::Windows && inv.action != a)
            return false;
        inv.action = a;
        return true;
    };

    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString value;
        const QString arg = arguments.at(i);
        const QString name = optionName(arg, &value);
        // The value of an option that takes one: after '=' or the next word.
        auto takeValue = [&](QString* out) -> bool {
            if (!value.isNull()) {
                *out = value;
                return true;
            }
            if (i + 1 >= arguments.size() || isOption(arguments.at(i + 1)))
                return false;
            *out = arguments.at(++i);
            return true;
        };

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            // --help wins over anything else on the line.
            Invocation help;
            help.action = Action::Help;
            return help;
        }
        if (name == QLatin1String("--version") || name == QLatin1String("-V")) {
            if (!setAction(Action::Version))
                return failure(QStringLiteral("--version cannot be combined with other options"));
        } else if (name == QLatin1String("--import-m3u")) {
            if (!value.isNull())
                inv.import.sources.append(value);
            while (i + 1 < arguments.size() && !isOption(arguments.at(i + 1)))
                inv.import.sources.append(arguments.at(++i));
            if (inv.import.sources.isEmpty())
                return failure(QStringLiteral("--import-m3u needs at least one SOURCE"));
            if (!setAction(Action::Import))
                return failure(QStringLiteral("--import-m3u cannot be combined with other commands"));
        } else if (name == QLatin1String("--country")) {
            QString cc;
            if (!takeValue(&cc))
                return failure(QStringLiteral("--country needs a country code"));
            if (countrySeen)
                return failure(QStringLiteral("--country given twice"));
            countrySeen = true;
            inv.import.country = cc;
        } else if (name == QLatin1String("--dry-run") && value.isNull()) {
            dryRunSeen = true;
            inv.import.dryRun = true;
            inv.update.dryRun = true;
        } else if (name == QLatin1String("--update-channels") && value.isNull()) {
            if (!setAction(Action::UpdateChannels))
                return failure(QStringLiteral("--update-channels cannot be combined with other commands"));
        } else if (name == QLatin1String("--source")) {
            QString t;
            if (!takeValue(&t))
                return failure(QStringLiteral("--source needs an address with {code} in it"));
            if (sourceSeen)
                return failure(QStringLiteral("--source given twice"));
            sourceSeen = true;
            inv.update.sourceTemplate = t;
        } else if (name == QLatin1String("--undo-import") && value.isNull()) {
            if (!setAction(Action::UndoImport))
                return failure(QStringLiteral("--undo-import cannot be combined with other commands"));
        } else if (name == QLatin1String("--check") && value.isNull()) {
            if (!setAction(Action::Check))
                return failure(QStringLiteral("--check cannot be combined with other commands"));
        } else if (name == QLatin1String("--jobs")) {
            QString n;
            if (!takeValue(&n))
                return failure(QStringLiteral("--jobs needs a number"));
            bool ok = false;
            const int jobs = n.toInt(&ok);
            if (!ok || jobs < 1 || jobs > 64)
                return failure(QStringLiteral("--jobs needs a number from 1 to 64, not '%1'").arg(n));
            jobsSeen = true;
            inv.jobs = jobs;
        } else if (isOption(arg)) {
            return failure(QStringLiteral("unknown option '%1'").arg(arg));
        } else {
            return failure(QStringLiteral("unexpected argument '%1'").arg(arg));
        }
    }

    if (countrySeen && inv.action != Action::Import)
        return failure(QStringLiteral("--country goes with --import-m3u"));
    if (dryRunSeen && inv.action != Action::Import && inv.action != Action::UpdateChannels)
        return failure(QStringLiteral("--dry-run goes with --import-m3u or --update-channels"));
    if (sourceSeen && inv.action != Action::UpdateChannels)
        return failure(QStringLiteral("--source goes with --update-channels"));
    if (jobsSeen && inv.action != Action::Check)
        return failure(QStringLiteral("--jobs goes with --check"));
    return inv;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: miravon [OPTION]...\n"
        "Live television from many countries and a shelf of films, for Vietnamese-speaking viewers.\n"
        "Without options, opens the program's windows.\n"
        "\n"
        "  -h, --help                  show this help and exit\n"
        "  -V, --version               show the version and exit\n"
        "      --import-m3u SOURCE...  add the stream addresses of M3U playlists (files or\n"
        "                              http(s) addresses) to the catalogue\n"
        "        --country CC            file the imported channels under this country code\n"
        "        --dry-run               show what would be imported, change nothing\n"
        "      --update-channels       fetch the public channel list of every country of the\n"
        "                              catalogue and import them with the lists already in use\n"
        "        --source TEMPLATE       the lists' address, {code} standing for a country\n"
        "        --dry-run               show what would be imported, change nothing\n"
        "      --undo-import           take back the last import\n"
        "      --check                 probe every stream address and report the dead ones\n"
        "        --jobs N                probe N addresses at a time (1 to 64)\n"
        "\n"
        "Exit status: 0 on success, 1 on failure, 2 for a command line that cannot be understood.\n");
}

QString versionText()
{
    return QStringLiteral("miravon " MIRAVON_VERSION "\n");
}

} // namespace miravon
