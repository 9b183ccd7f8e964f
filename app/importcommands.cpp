// `--import-m3u` and `--undo-import`: run on a QCoreApplication, no display.
#include "commands.h"

#include "importer.h"

#include <cstdio>

#include <unistd.h>

namespace miravon {
namespace {

void print(std::FILE* to, const QString& text)
{
    std::fputs(qUtf8Printable(text), to);
    std::fflush(to);
}

} // namespace

int runImport(const ImportRequest& request)
{
    import::ImportOptions options;
    options.sources = request.sources;
    options.country = request.country;
    options.dryRun = request.dryRun;
    const import::ImportOutcome outcome = import::importPlaylists(options);
    if (outcome.status != 0) {
        print(stderr, QStringLiteral("miravon: %1\n").arg(outcome.error));
        return outcome.status;
    }
    print(stdout, outcome.report);
    return 0;
}

int runUpdateChannels(const UpdateRequest& request)
{
    import::UpdateOptions options;
    options.sourceTemplate = request.sourceTemplate;
    options.dryRun = request.dryRun;
    // On a terminal, one line kept up to date while the lists come; never
    // in a file or a pipe.
    const bool terminal = ::isatty(::fileno(stderr)) == 1;
    if (terminal) {
        print(stderr, QStringLiteral("miravon: fetching the channel lists (at most %1 minutes)…")
                          .arg(import::updateTimeLimitMs / 60000));
        options.progress = [](int done, int total) {
            print(stderr, QStringLiteral("\r\033[Kmiravon: channel lists: %1 of %2 done").arg(done).arg(total));
        };
    }
    const import::ImportOutcome outcome = import::updateChannels(options);
    if (terminal)
        print(stderr, QStringLiteral("\n"));
    // The report says which lists were read and which were skipped, also
    // when the import in use is kept.
    if (!outcome.report.isEmpty())
        print(stdout, outcome.report);
    if (outcome.status != 0) {
        print(stderr, QStringLiteral("miravon: %1\n").arg(outcome.error));
        // No list read: every list's reason.
        if (outcome.listsRead == 0)
            for (const QString& line : outcome.skipped)
                print(stderr, QStringLiteral("  %1\n").arg(line));
        return outcome.status;
    }
    return 0;
}

int runUndoImport()
{
    const import::UndoOutcome outcome = import::undoImport();
    print(outcome.status == 0 ? stdout : stderr,
          (outcome.status == 0 ? QString() : QStringLiteral("miravon: ")) + outcome.message + u'\n');
    return outcome.status;
}

} // namespace miravon
