#include "importer.h"

#include "addresspolicy.h"
#include "catalogue.h"
#include "fetcher.h"
#include "importreport.h"
#include "matcher.h"
#include "userfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace miravon::import {
namespace {

const QString txtName = QStringLiteral("addresses.import.txt");
const QString bakSuffix = QStringLiteral(".bak");

// How long an import or undo waits for another one to finish writing.
constexpr int lockWaitMs = 5000;

// Fetches a channel list within its bounds: only this one document, never
// what it names.
bool fetch(const QUrl& url, QByteArray* body, QString* error)
{
    const FetchResult result = fetchAndWait(url, {}, listFetchLimits);
    if (result.failure != PlayFailure::None) {
        *error = fetchFailureText(result);
        return false;
    }
    *body = result.body;
    return true;
}

bool readFile(const QString& path, QByteArray* body, QString* error)
{
    switch (files::readRegularFile(path, maxPlaylistFileBytes, body, error)) {
    case ReadResult::Ok:
        return true;
    case ReadResult::Missing:
        *error = QStringLiteral("cannot be read (no such file)");
        return false;
    case ReadResult::Failed:
        break;
    }
    return false;
}

// Why bytes that are no M3U playlist are not one, where that can be told.
QString notAPlaylist(const QByteArray& body)
{
    if (body.isEmpty())
        return QStringLiteral("the file is empty");
    const bool bom16 = body.startsWith("\xFF\xFE") || body.startsWith("\xFE\xFF");
    // Unmarked UTF-16: ASCII text has a NUL in every other byte.
    qsizetype evenNul = 0, oddNul = 0;
    const qsizetype sample = std::min<qsizetype>(body.size(), 4096);
    for (qsizetype i = 0; i < sample; ++i)
        if (body.at(i) == 0)
            ++(i % 2 ? oddNul : evenNul);
    if (bom16 || (sample >= 4 && std::max(evenNul, oddNul) * 3 >= sample && std::min(evenNul, oddNul) * 10 < sample))
        return QStringLiteral("UTF-16 text; save it as UTF-8 and import it again");
    if (body.contains('\0'))
        return QStringLiteral("binary data (it holds NUL bytes), not a text playlist");
    return QStringLiteral("not an M3U playlist (no #EXTM3U header and no #EXTINF entry)");
}

// Reads one source. On failure `error` is the one line that names it.
bool readSource(const QString& source, Source* out, QString* error)
{
    QByteArray body;
    QString why;
    bool ok = false;
    if (isWebAddress(source)) {
        const QUrl url(source);
        ok = url.isValid() && !url.host().isEmpty();
        if (!ok)
            why = QStringLiteral("is not a valid address");
        else
            ok = fetch(url, &body, &why);
        out->name = source;
    } else {
        QString path = source;
        const qsizetype colon = source.indexOf(QLatin1String("://"));
        if (source.startsWith(QLatin1String("file://"), Qt::CaseInsensitive)) {
            path = QUrl(source).toLocalFile();
        } else if (colon > 0) {
            *error = QStringLiteral("%1: only files and http or https addresses can be imported").arg(source);
            return false;
        }
        ok = readFile(path, &body, &why);
        out->name = QFileInfo(path).fileName();
    }
    if (!ok) {
        *error = QStringLiteral("%1: %2").arg(source, why);
        return false;
    }
    out->playlist = m3u::parse(body);
    if (!out->playlist.isPlaylist) {
        *error = QStringLiteral("%1: %2").arg(source, notAPlaylist(body));
        return false;
    }
    if (out->playlist.entries.isEmpty()) {
        *error = QStringLiteral("%1: holds no stream (no address after its #EXTINF lines)").arg(source);
        return false;
    }
    return true;
}

// The config folder's lock, for the write phase only: reading and matching
// need none. A second import waits for the first, briefly.
std::unique_ptr<files::FolderLock> takeLock(const QString& dir, QString* error)
{
    bool busy = false;
    std::unique_ptr<files::FolderLock> lock = files::FolderLock::take(dir, lockWaitMs, &busy, error);
    if (busy)
        *error = QStringLiteral("%1: another import is running; try again when it has finished").arg(dir);
    return lock;
}

QByteArray importTable(const QList<Target>& targets, const Result& result)
{
    QByteArray out = "window\tcontrol\taddress\treferrer\tuser_agent\n";
    for (const Match& m : result.matches) {
        const Target& t = targets.at(m.target);
        const m3u::Entry& e = *result.streams.at(m.candidates.first().stream).entry;
        out += QStringList{t.window, t.control, e.url, e.referrer, e.userAgent}.join(u'\t').toUtf8() + '\n';
    }
    return out;
}

} // namespace

ImportOutcome importPlaylists(const ImportOptions& options)
{
    ImportOutcome outcome;
    if (options.sources.isEmpty()) {
        outcome.status = 2;
        outcome.error = QStringLiteral("no playlist given");
        return outcome;
    }
    if (!options.country.isEmpty() && countryCode(options.country).isEmpty()) {
        outcome.status = 2;
        outcome.error = QStringLiteral("--country %1: not a two-letter country code").arg(options.country);
        return outcome;
    }
    QList<Source> sources;
    for (const QString& s : options.sources) {
        Source source;
        if (!readSource(s, &source, &outcome.error)) {
            outcome.status = 2;
            return outcome;
        }
        sources << source;
    }

    const catalogue::Catalogue cat = catalogue::parse(catalogue::builtInTables(), nullptr);
    const QList<Target> all = targets(cat, builtInMatchData());
    const Result result = match(all, sources, options.country);
    // A list none of whose streams can be used says nothing: it must not
    // replace what the last import gave.
    QList<int> usable(sources.size(), 0);
    for (const Stream& stream : result.streams)
        usable[stream.source] += stream.usable ? 1 : 0;
    for (qsizetype i = 0; i < sources.size(); ++i) {
        if (usable.at(i) == 0) {
            outcome.status = 2;
            outcome.error = QStringLiteral("%1: none of its %2 streams can be used (an address must be an http, "
                                           "https, rtsp, mms, mmsh or mmst URL; names and addresses of a sane length)")
                                .arg(options.sources.at(i))
                                .arg(sources.at(i).playlist.entries.size());
            return outcome;
        }
    }

    const QString dir = options.configDir.isEmpty() ? catalogue::configDir() : options.configDir;
    const QString tsv = dir + u'/' + catalogue::importFileName();
    QList<catalogue::AddressRow> own = catalogue::readAddressFile(cat, dir + u'/' + catalogue::ownFileName(),
                                                                  AddressOrigin::Own, [](const QString&) {});
    ReportInput in{all, sources, result, own, options.dryRun, tsv};
    outcome.report = buildReport(in);
    outcome.written = options.dryRun ? 0 : int(result.matches.size());
    if (options.dryRun)
        return outcome;

    std::unique_ptr<files::FolderLock> lock = takeLock(dir, &outcome.error);
    QString error;
    if (!lock || !files::recover(dir, &error)) {
        outcome.status = 2;
        if (lock)
            outcome.error = error;
        outcome.written = 0;
        return outcome;
    }
    files::Transaction change(dir);
    change.replace(catalogue::importFileName(), importTable(all, result), true);
    change.replace(txtName, outcome.report.toUtf8(), true);
    switch (change.commit(&error)) {
    case files::Transaction::Outcome::Done:
        break;
    case files::Transaction::Outcome::DoneLater:
        // The new addresses are what every reader sees; the last renames
        // are done by the next import or undo.
        qCWarning(lcCatalogue, "%s", qUtf8Printable(error));
        break;
    case files::Transaction::Outcome::Failed:
        outcome.status = 2;
        outcome.error = error;
        outcome.written = 0;
        break;
    }
    return outcome;
}

UndoOutcome undoImport(const QString& configDir)
{
    const QString dir = configDir.isEmpty() ? catalogue::configDir() : configDir;
    const QString tsvName = catalogue::importFileName();
    const QString tsv = dir + u'/' + tsvName;
    if (!files::existsCommitted(dir, tsvName + bakSuffix))
        return {1, QStringLiteral("%1%2: not found; there is no import to undo").arg(tsv, bakSuffix)};
    QString error;
    std::unique_ptr<files::FolderLock> lock = takeLock(dir, &error);
    if (!lock || !files::recover(dir, &error))
        return {2, error};
    // Looked at again under the lock: another undo may have used it up.
    QByteArray before;
    const ReadResult bak = files::readRegularFile(tsv + bakSuffix, catalogue::maxAddressFileBytes, &before, &error);
    if (bak == ReadResult::Missing)
        return {1, QStringLiteral("%1%2: not found; there is no import to undo").arg(tsv, bakSuffix)};
    if (bak == ReadResult::Failed)
        return {2, QStringLiteral("%1%2: %3").arg(tsv, bakSuffix, error)};
    files::Transaction change(dir);
    change.restoreBackup(tsvName);
    // The report goes back with its addresses; with no report kept from
    // then, none describes them.
    if (QFile::exists(dir + u'/' + txtName + bakSuffix))
        change.restoreBackup(txtName);
    else
        change.remove(txtName);
    if (change.commit(&error) == files::Transaction::Outcome::Failed)
        return {2, QStringLiteral("%1: cannot be restored (%2)").arg(tsv, error)};
    return {0, !before.isEmpty()
                   ? QStringLiteral("%1: the addresses imported before the last import are back").arg(tsv)
                   : QStringLiteral("%1: removed; no addresses were imported before the last import").arg(tsv)};
}

} // namespace miravon::import
