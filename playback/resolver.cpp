#include "resolver.h"

#include "playback.h"
#include "fetcher.h"
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
    handedOut_ = false;
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

QUrl AddressResolver::handedOut() const
{
    if (!handedOut_ || queue_.isEmpty())
        return {};
    const Entry& e = queue_.first();
    return e.alternatives.value(e.next);
}

void AddressResolver::advance()
{
    handedOut_ = false;
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
        handedOut_ = true;
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
    handedOut_ = false;
    if (!queue_.isEmpty())
        queue_.first().next++;
    advance();
}

void AddressResolver::candidateFailed(PlayFailure reason)
{
    if (!active_ || !handedOut_)
        return;
    handedOut_ = false;
    later([this, reason] { nextAlternative(reason); });
}

void AddressResolver::candidateUnreadable()
{
    if (!active_ || !handedOut_)
        return;
    const QUrl url = handedOut();
    // A web address the engine cannot read may be a playlist the player can
    // (a live mount point answering with a [Reference] file, for one).
    if (isWebAddress(url) && !queue_.isEmpty() && !visited_.contains(url) && queue_.first().depth < maxPlaylistDepth) {
        handedOut_ = false;
        const int depth = queue_.first().depth;
        later([this, url, depth] { startFetch(url, depth, true); });
        return;
    }
    candidateFailed(PlayFailure::NotMedia);
}

void AddressResolver::candidateRead(const QByteArray& body, const QUrl& documentUrl, bool whole)
{
    if (!active_ || !handedOut_)
        return;
    const QUrl url = handedOut();
    if (!whole) {
        candidateUnreadable();
        return;
    }
    if (!isWebAddress(url) || queue_.isEmpty() || visited_.contains(url) || queue_.first().depth >= maxPlaylistDepth) {
        candidateFailed(PlayFailure::NotMedia);
        return;
    }
    // Read already: parsed as the fetch of an unreadable candidate would be.
    handedOut_ = false;
    visited_ << url;
    const int depth = queue_.first().depth;
    FetchResult read;
    read.body = body;
    read.url = documentUrl;
    read.complete = true;
    later([this, read, url, depth] { fetchDone(read, url, depth, true); });
}

void AddressResolver::candidateEnded()
{
    if (!active_)
        return;
    handedOut_ = false;
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
    if (fetch_)
        fetch_->cancel();
}

void AddressResolver::startFetch(const QUrl& url, int depth, bool sniff)
{
    if (!network_)
        network_ = new QNetworkAccessManager(this);
    if (!fetch_) {
        fetch_ = new Fetch(network_, this);
        connect(fetch_, &Fetch::answering, this, &AddressResolver::fetchAnswering);
        connect(fetch_, &Fetch::finished, this, [this](const FetchResult& result) {
            const Fetching f = fetching_;
            fetchDone(result, f.url, f.depth, f.sniff);
        });
    }
    visited_ << url;
    fetching_ = {url, depth, sniff};
    emit fetchStarted();
    if (sniff) {
        // The engine could not read this address: see whether it is a
        // playlist, but do not download a stream to find out.
        fetch_->setPeek(512, [](const QByteArray& head, const QByteArray&) {
            static const QStringList starts = {QStringLiteral("["), QStringLiteral("<"), QStringLiteral("#"),
                                               QStringLiteral("http"), QStringLiteral("mms"), QStringLiteral("rtsp")};
            const QString text = decodePlaylistText(head.left(512)).trimmed();
            for (const QString& start : starts) {
                if (text.startsWith(start, Qt::CaseInsensitive))
                    return PlayFailure::None;
            }
            return PlayFailure::NotMedia;
        });
    } else {
        fetch_->setPeek(0, {});
    }
    fetch_->start(documentRequest(url, options_), FetchLimits{maxPlaylistBytes, fetchBoundMs_, 0});
}

void AddressResolver::fetchDone(const FetchResult& result, const QUrl& url, int depth, bool sniff)
{
    if (queue_.isEmpty())
        return;
    if (result.failure != PlayFailure::None) {
        qCDebug(lcPlayer) << "playlist fetch failed" << url << int(result.failure) << result.detail;
        if (result.failure == PlayFailure::PlaylistRefused)
            refused_++;
        nextAlternative(result.failure);
        return;
    }
    const QByteArray& body = result.body;
    const ParsedPlaylist parsed = parsePlaylist(body, result.url.isValid() ? result.url : url);
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
