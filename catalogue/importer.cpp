#include "importer.h"

#include "catalogue.h"
#include "importreport.h"
#include "matcher.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

namespace miravon::import {
namespace {

const QString tsvName = QStringLiteral("addresses.import.tsv");
const QString txtName = QStringLiteral("addresses.import.txt");
const QString bakSuffix = QStringLiteral(".bak");

bool isWebAddress(const QString& source)
{
    return source.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || source.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

// Fetches a playlist within the bounds; only this one document, never what
// it points to.
bool fetch(const QUrl& url, QByteArray* body, QString* error)
{
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setTransferTimeout(fetchNoProgressMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxFetchRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Miravon/1.0"));
    QNetworkReply* reply = network.get(request);
    bool tooBig = false;
    bool timedOut = false;
    auto refuse = [&] {
        tooBig = true;
        reply->abort();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxFetchBytes)
            refuse();
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [&](qint64 received, qint64) {
        if (received > maxFetchBytes)
            refuse();
    });
    QEventLoop loop;
    QTimer total;
    total.setSingleShot(true);
    QObject::connect(&total, &QTimer::timeout, reply, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    total.start(fetchTotalMs);
    if (!reply->isFinished())
        loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    bool ok = false;
    if (tooBig)
        *error = QStringLiteral("larger than %1 KiB; not fetched").arg(maxFetchBytes / 1024);
    else if (timedOut || reply->error() == QNetworkReply::TimeoutError
             || reply->error() == QNetworkReply::OperationCanceledError)
        *error = QStringLiteral("no answer in time");
    else if (status >= 400)
        *error = QStringLiteral("the server answered %1 %2")
                     .arg(status)
                     .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    else if (reply->error() != QNetworkReply::NoError)
        *error = reply->errorString();
    else {
        *body = reply->readAll();
        ok = body->size() <= maxFetchBytes;
        if (!ok)
            *error = QStringLiteral("larger than %1 KiB; not fetched").arg(maxFetchBytes / 1024);
    }
    delete reply;
    return ok;
}

bool readFile(const QString& path, QByteArray* body, QString* error)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        *error = QStringLiteral("is a folder, not a playlist file");
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot be read (%1)").arg(f.errorString());
        return false;
    }
    if (f.size() > maxFileBytes) {
        *error = QStringLiteral("larger than %1 MiB; not read").arg(maxFileBytes / (1024 * 1024));
        return false;
    }
    *body = f.readAll();
    return true;
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
        *error = QStringLiteral("%1: not an M3U playlist (no #EXTM3U header and no #EXTINF entry)").arg(source);
        return false;
    }
    return true;
}

// Replaces `path` whole, first keeping what was there as path.bak (an empty
// .bak records that there was nothing).
bool replaceKeepingBackup(const QString& path, const QByteArray& data, QString* error)
{
    const QString bak = path + bakSuffix;
    QFile::remove(bak);
    const bool had = QFile::exists(path);
    if (had ? !QFile::copy(path, bak) : !QFile(bak).open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1: cannot be written").arg(bak);
        return false;
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.commit()) {
        *error = QStringLiteral("%1: cannot be written (%2)").arg(path, f.errorString());
        return false;
    }
    return true;
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

    const QString dir = options.configDir.isEmpty() ? catalogue::configDir() : options.configDir;
    const QString tsv = dir + u'/' + tsvName;
    QList<catalogue::AddressRow> own = catalogue::readAddressFile(cat, dir + QStringLiteral("/addresses.tsv"),
                                                                  [](const QString&) {});
    ReportInput in{all, sources, result, own, options.dryRun, tsv};
    outcome.report = buildReport(in);
    outcome.written = options.dryRun ? 0 : int(result.matches.size());
    if (options.dryRun)
        return outcome;

    QString error;
    if (!QDir().mkpath(dir) || !replaceKeepingBackup(tsv, importTable(all, result), &error)
        || !replaceKeepingBackup(dir + u'/' + txtName, outcome.report.toUtf8(), &error)) {
        outcome.status = 2;
        outcome.error = error.isEmpty() ? QStringLiteral("%1: cannot be created").arg(dir) : error;
        outcome.written = 0;
    }
    return outcome;
}

UndoOutcome undoImport(const QString& configDir)
{
    const QString dir = configDir.isEmpty() ? catalogue::configDir() : configDir;
    const QString tsv = dir + u'/' + tsvName;
    if (!QFile::exists(tsv + bakSuffix))
        return {1, QStringLiteral("%1%2: not found; there is no import to undo").arg(tsv, bakSuffix)};
    bool ok = true;
    bool restored = false;
    for (const QString& path : {tsv, dir + u'/' + txtName}) {
        const QString bak = path + bakSuffix;
        if (!QFile::exists(bak))
            continue;
        const bool nothingBefore = QFileInfo(bak).size() == 0;
        QFile::remove(path);
        if (nothingBefore)
            ok = QFile::remove(bak) && ok;
        else
            ok = QFile::rename(bak, path) && ok;
        if (path == tsv)
            restored = !nothingBefore;
    }
    if (!ok)
        return {2, QStringLiteral("%1: cannot be restored").arg(tsv)};
    return {0, restored ? QStringLiteral("%1: the addresses imported before the last import are back").arg(tsv)
                        : QStringLiteral("%1: removed; no addresses were imported before the last import").arg(tsv)};
}

} // namespace miravon::import
