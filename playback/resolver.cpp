#include "resolver.h"

#include "playback.h"
#include "probe.h"
#include "standin.h"
#include "addresspolicy.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>

namespace miravon {

namespace {
// Web addresses with no playlist's name that answered with a playlist once
// the engine could not read them. The first time, such an address is
// fetched twice (by the engine, then here); from then on this run fetches
// it here first. Shared by every player; touched on the UI thread only.
QSet<QUrl>& knownPlaylists()
{
    static QSet<QUrl> known;
    return known;
}
constexpr int maxKnownPlaylists = 512;

void rememberPlaylist(const QUrl& url)
{
    QSet<QUrl>& known = knownPlaylists();
    if (known.size() >= maxKnownPlaylists)
        known.clear();
    known.insert(url);
}
} // namespace

AddressResolver::AddressResolver(QObject* parent)
    : QObject(parent)
{
    fetchBound_.setSingleShot(true);
    connect(&fetchBound_, &QTimer::timeout, this, [this] {
        qCDebug(lcPlayer) << "playlist fetch: no progress within" << fetchBoundMs_ << "ms";
        dropFetch();
        nextAlternative(PlayFailure::TimedOut);
    });
}

AddressResolver::~AddressResolver() { cancel(); }

void AddressResolver::setFetchBound(int ms) { fetchBoundMs_ = std::max(1, ms); }

void AddressResolver::later(std::function<void()> step)
{
    const quint64 gen = generation_;
    QTimer::singleShot(0, this, [this, gen, step = std::move(step)] {
        if (gen == generation_)
            step();
    });
}

QList<QUrl> AddressResolver::expand(const QUrl& url)
{
    // Like the classic control, mms:// rolls over from MMS over HTTP to MMS over TCP.
    if (url.scheme().compare(QLatin1String("mms"), Qt::CaseInsensitive) == 0) {
        QUrl overHttp = url;
        overHttp.setScheme(QStringLiteral("mmsh"));
        QUrl overTcp = url;
        overTcp.setScheme(QStringLiteral("mmst"));
        return {overHttp, overTcp};
    }
    return {url};
}

void AddressResolver::cancel()
{
    generation_++;
    dropFetch();
    queue_.clear();
    visited_.clear();
    current_.clear();
    active_ = false;
}

void AddressResolver::start(const QString& address, const StreamOptions& options)
{
    cancel();
    active_ = true;
    options_ = options;
    viaPlaylist_ = false;
    refused_ = 0;
    engineTries_ = 0;
    best_ = PlayFailure::None;
    const QUrl url(address.trimmed(), QUrl::TolerantMode);
    if (isStandInAddress(url)) {
        // A name or number reserved for examples: nothing to contact.
        later([this] {
            active_ = false;
            emit failed(PlayFailure::NoAddressYet);
        });
        return;
    }
    if (options.origin == AddressOrigin::Own && isLocalFileAddress(address.trimmed())) {
        // Only a regular file: the engine would block on a FIFO, and a
        // device is no film. Looked at without opening it.
        const QFileInfo info(url.toLocalFile());
        if (info.exists() && !info.isFile()) {
            later([this] {
                active_ = false;
                emit failed(PlayFailure::UnsupportedAddress);
            });
            return;
        }
        // The user's own file: straight to the engine, never read as a
        // playlist here.
        Entry file;
        file.alternatives = {url};
        file.sniffed = true;
        queue_ << file;
        later([this] { advance(); });
        return;
    }
    if (!url.isValid() || !isAllowedScheme(url) || url.host().isEmpty()) {
        // The windows only hand over network addresses; anything else is
        // not opened.
        later([this] {
            active_ = false;
            emit failed(PlayFailure::UnsupportedAddress);
        });
        return;
    }
    Entry first;
    first.alternatives = expand(url);
    queue_ << first;
    later([this] { advance(); });
}

void AddressResolver::advance()
{
    current_.clear();
    while (!queue_.isEmpty()) {
        Entry& e = queue_.first();
        if (e.next >= e.alternatives.size()) {
            queue_.removeFirst();
            continue;
        }
        const QUrl url = e.alternatives.at(e.next);
        if ((e.playlistRef || isPlaylistAddress(url) || knownPlaylists().contains(url)) && !e.sniffed) {
            if (e.depth >= maxPlaylistDepth || visited_.contains(url)) {
                qCDebug(lcPlayer) << "playlist refused (nesting)" << url;
                refused_++;
                best_ = moreInformative(best_, PlayFailure::PlaylistRefused);
                e.next++;
                continue;
            }
            startFetch(url, e.depth, false);
            return;
        }
        e.sniffed = false;
        current_ = url;
        engineTries_++;
        emit candidate(url);
        return;
    }
    active_ = false;
    emit failed(finalFailure());
}

PlayFailure AddressResolver::finalFailure() const
{
    if (!viaPlaylist_)
        return best_ == PlayFailure::None ? PlayFailure::NotMedia : best_;
    if (engineTries_ == 0 && refused_ > 0)
        return PlayFailure::PlaylistRefused;
    return PlayFailure::NoPlayableEntry;
}

void AddressResolver::nextAlternative(PlayFailure reason)
{
    best_ = moreInformative(best_, reason);
    current_.clear();
    if (!queue_.isEmpty())
        queue_.first().next++;
    advance();
}

void AddressResolver::candidateFailed(PlayFailure reason)
{
    if (!active_ || current_.isEmpty())
        return;
    current_.clear();
    later([this, reason] { nextAlternative(reason); });
}

void AddressResolver::candidateUnreadable()
{
    if (!active_ || current_.isEmpty())
        return;
    const QUrl url = current_;
    // A web address the engine cannot read may be a playlist the player can
    // (a live mount point answering with a [Reference] file, for one).
    if (isWebAddress(url) && !queue_.isEmpty() && !visited_.contains(url) && queue_.first().depth < maxPlaylistDepth) {
        current_.clear();
        const int depth = queue_.first().depth;
        later([this, url, depth] { startFetch(url, depth, true); });
        return;
    }
    candidateFailed(PlayFailure::NotMedia);
}

void AddressResolver::candidateEnded()
{
    if (!active_)
        return;
    current_.clear();
    // This entry is done; a playlist goes on with its next entry.
    if (!queue_.isEmpty())
        queue_.removeFirst();
    if (queue_.isEmpty()) {
        active_ = false;
        later([this] { emit finished(); });
        return;
    }
    later([this] { advance(); });
}

void AddressResolver::dropFetch()
{
    fetchBound_.stop();
    if (fetch_) {
        fetch_->disconnect(this);
        fetch_->abort();
        fetch_->deleteLater();
        fetch_ = nullptr;
    }
}

void AddressResolver::startFetch(const QUrl& url, int depth, bool sniff)
{
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    visited_ << url;
    emit fetchStarted();
    QNetworkReply* reply = network_->get(playlistRequest(url, options_));
    fetch_ = reply;
    fetchBound_.start(fetchBoundMs_);
    auto refuse = [this, reply](PlayFailure why) {
        qCDebug(lcPlayer) << "playlist fetch given up" << reply->url() << int(why);
        if (why == PlayFailure::PlaylistRefused)
            refused_++;
        dropFetch();
        nextAlternative(why);
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply, refuse] {
        fetchBound_.start(fetchBoundMs_);
        emit fetchAnswering();
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > maxPlaylistBytes)
            refuse(PlayFailure::PlaylistRefused);
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this, refuse](qint64 received, qint64) {
        fetchBound_.start(fetchBoundMs_);
        if (received > maxPlaylistBytes)
            refuse(PlayFailure::PlaylistRefused);
    });
    if (sniff) {
        // The engine could not read this address: see whether it is a
        // playlist, but do not download a stream to find out.
        connect(reply, &QNetworkReply::readyRead, this, [reply, refuse] {
            if (reply->bytesAvailable() < 512 && !reply->isFinished())
                return;
            const QString head = decodePlaylistText(reply->peek(512)).trimmed();
            static const QStringList starts = {QStringLiteral("["), QStringLiteral("<"), QStringLiteral("#"),
                                               QStringLiteral("http"), QStringLiteral("mms"), QStringLiteral("rtsp")};
            for (const QString& start : starts) {
                if (head.startsWith(start, Qt::CaseInsensitive))
                    return;
            }
            refuse(PlayFailure::NotMedia);
        });
    }
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, depth, sniff] {
        fetchBound_.stop();
        fetch_ = nullptr;
        reply->deleteLater();
        reply->disconnect(this);
        fetchDone(reply, url, depth, sniff);
    });
}

void AddressResolver::fetchDone(QNetworkReply* reply, const QUrl& url, int depth, bool sniff)
{
    if (queue_.isEmpty())
        return;
    if (reply->error() != QNetworkReply::NoError) {
        qCDebug(lcPlayer) << "playlist fetch failed" << url << reply->error();
        nextAlternative(failureFromNetwork(reply->error()));
        return;
    }
    const QByteArray body = reply->read(maxPlaylistBytes + 1);
    const ParsedPlaylist parsed = parsePlaylist(body, reply->url());
    if (parsed.kind == ParsedPlaylist::NotPlaylist) {
        knownPlaylists().remove(url);
        if (sniff) {
            // The engine already failed on it and it is no playlist either.
            nextAlternative(PlayFailure::NotMedia);
        } else {
            queue_.first().sniffed = true;
            advance();
        }
        return;
    }
    if (sniff)
        rememberPlaylist(url);
    emit playlistParsed();
    viaPlaylist_ = true;
    refused_ += parsed.refused.size();
    if (!parsed.refused.isEmpty())
        best_ = moreInformative(best_, PlayFailure::PlaylistRefused);
    Entry parent = queue_.takeFirst();
    QList<Entry> spliced;
    for (const PlaylistEntry& entry : parsed.entries) {
        Entry e;
        e.depth = depth + 1;
        e.playlistRef = entry.isPlaylistRef;
        for (const QUrl& alt : entry.alternatives) {
            e.alternatives << expand(alt);
            // A Windows Media server hands plain web clients a [Reference]
            // whose http address only its own players can use: those speak
            // MMS over HTTP to it.
            if (parsed.kind == ParsedPlaylist::Reference && isWebAddress(alt)
                && alt.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0) {
                QUrl mmsh = alt;
                mmsh.setScheme(QStringLiteral("mmsh"));
                e.alternatives << mmsh;
            }
        }
        spliced << e;
    }
    // If nothing inside the playlist plays, the entry's other alternatives still may.
    if (parent.next + 1 < parent.alternatives.size()) {
        parent.next++;
        spliced << parent;
    }
    queue_ = spliced + queue_;
    advance();
}

} // namespace miravon
