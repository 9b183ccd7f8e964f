#include "probe.h"

#include "addresspolicy.h"
#include "fetcher.h"
#include "localfile.h"
#include "manifest.h"
#include "playlist.h"
#include "playback.h"

#include <QNetworkAccessManager>
#include <QTcpSocket>
#include <QUuid>

namespace miravon {
namespace {

// How much of a file is read to judge it.
constexpr qint64 kHeadBytes = 64 * 1024;
// An answer's header is never longer: anything more is no server of ours.
constexpr qsizetype kMaxAnswerBytes = 64 * 1024;

// MMS over TCP ([MS-MMSP] 2.2.4): every message starts with a 16-byte
// header: a one-byte 1, three bytes of version and padding, the session id
// 0xB00BFACE, the length of the rest, and the seal "MMS ".
constexpr qsizetype kMmsHeaderBytes = 16;

bool isMmsMessage(const QByteArray& m)
{
    return m.size() >= kMmsHeaderBytes && m.at(0) == 0x01 && m.mid(4, 4) == QByteArray::fromHex("cefa0bb0")
        && m.mid(12, 4) == "MMS ";
}

void putLe32(QByteArray& out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

void setLe32(QByteArray& out, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((v >> (8 * i)) & 0xff);
}

// The client's first message, LinkViewerToMacConnect, as a Windows Media
// player sends it; an MMS server answers it with a message of its own.
QByteArray mmsConnectMessage(const QUrl& url)
{
    QByteArray m;
    putLe32(m, 1);          // rep 1, version 0, minor 0, padding
    putLe32(m, 0xb00bface); // session id
    putLe32(m, 0);          // length of what follows the first 16 bytes (below)
    m += "MMS ";            // seal
    putLe32(m, 0);          // chunk count, in 8-byte units (below)
    putLe32(m, 0);          // sequence number, reserved
    m.append(8, '\0');      // time sent
    putLe32(m, 0);          // chunk length, in 8-byte units (below)
    putLe32(m, 0x00030001); // message 1 (LinkViewerToMacConnect), towards the server
    putLe32(m, 0xf0f0f0ef); // play incarnation
    putLe32(m, 0x0004000b); // MacToViewerProtocolRevision
    putLe32(m, 0x0003001c); // ViewerToMacProtocolRevision
    const QString subscriber = QStringLiteral("NSPlayer/7.0.0.1956; %1; Host: %2")
                                   .arg(QUuid::createUuid().toString(), url.host());
    for (QChar c : subscriber) { // UTF-16LE
        m.append(char(c.unicode() & 0xff));
        m.append(char(c.unicode() >> 8));
    }
    m.append(2, '\0');
    while (m.size() % 8 != 0)
        m.append('\0');
    const quint32 rest = quint32(m.size() - 16);
    setLe32(m, 8, rest);
    setLe32(m, 16, rest / 8);
    setLe32(m, 32, rest / 8 - 2);
    return m;
}

QByteArray headerLine(const char* name, const QString& value)
{
    const QByteArray v = streamHeaderValue(value);
    return v.isEmpty() ? QByteArray() : QByteArray(name) + ": " + v + "\r\n";
}

// The value of one header of an answer, lower-cased.
QByteArray headerValue(const QByteArray& head, const QByteArray& name)
{
    const QByteArray lower = head.toLower();
    const qsizetype at = lower.indexOf("\r\n" + name + ':');
    if (at < 0)
        return {};
    const qsizetype start = at + 2 + name.size() + 1;
    const qsizetype end = lower.indexOf("\r\n", start);
    return lower.mid(start, end < 0 ? -1 : end - start).trimmed();
}

} // namespace

bool looksLikeMedia(const QByteArray& head, const QByteArray& contentType)
{
    const auto at = [&head](qsizetype i) { return i < head.size() ? static_cast<unsigned char>(head[i]) : 0u; };
    if (head.isEmpty())
        return false;
    if (at(0) == 0x47 && (head.size() <= 188 || at(188) == 0x47))
        return true; // MPEG transport stream
    static const QByteArray signatures[] = {
        QByteArray::fromHex("3026b2758e66cf11"), // ASF (Windows Media)
        QByteArray::fromHex("1a45dfa3"),         // Matroska, WebM
        QByteArray::fromHex("000001ba"),         // MPEG program stream
        QByteArray::fromHex("000001b3"),         // MPEG video
        "FLV", "OggS", "RIFF", ".RMF", "ID3", "fLaC", "$H",
    };
    for (const QByteArray& s : signatures) {
        if (head.startsWith(s))
            return true;
    }
    const QByteArray box = head.mid(4, 4);
    if (box == "ftyp" || box == "styp" || box == "moof" || box == "moov")
        return true;
    if (at(0) == 0xff && (at(1) & 0xe0) == 0xe0)
        return true; // MPEG audio or ADTS frame
    // A radio or camera that says what it sends.
    const QByteArray type = contentType.toLower();
    return (type.startsWith("audio/") || type.startsWith("video/")) && !type.contains("mpegurl");
}

bool looksLikeWebPage(const QByteArray& head, const QByteArray& contentType)
{
    const QByteArray start = head.left(512).trimmed().toLower();
    return contentType.toLower().startsWith("text/html") || start.startsWith("<!doctype html")
        || start.startsWith("<html");
}

ServerProbe::ServerProbe(QObject* parent)
    : QObject(parent)
{
    bound_.setSingleShot(true);
    connect(&bound_, &QTimer::timeout, this, [this] { finish(silenceVerdict()); });
}

ServerProbe::~ServerProbe() { cancel(); }

void ServerProbe::run(const QUrl& url, const StreamOptions& options, int boundMs)
{
    cancel();
    url_ = url;
    options_ = options;
    answer_.clear();
    detail_.clear();
    running_ = true;
    const QString scheme = url.scheme().toLower();
    bound_.start(std::max(1, boundMs));
    if (scheme == QLatin1String("file")) {
        kind_ = Kind::File;
        QTimer::singleShot(0, this, [this, url] {
            if (running_ && url_ == url)
                lookAtFile();
        });
        return;
    }
    quint16 port = 554;
    if (scheme == QLatin1String("mmst")) {
        kind_ = Kind::MmsOverTcp;
        port = 1755;
    } else if (scheme == QLatin1String("mmsh") || scheme == QLatin1String("mms")) {
        kind_ = Kind::MmsOverHttp;
        port = 80;
    } else {
        kind_ = Kind::Rtsp;
    }
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, &ServerProbe::onConnected);
    connect(socket_, &QTcpSocket::readyRead, this, &ServerProbe::onReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError && !answer_.isEmpty()) {
            onReadyRead();
            if (!running_)
                return;
        }
        finish(failureFromSocket(error));
    });
    socket_->connectToHost(url.host(), static_cast<quint16>(url.port(port)));
}

PlayFailure ServerProbe::silenceVerdict()
{
    // Connected and silent: an MMS server answers the greeting at once;
    // whatever took the connection is no media server. Anything else that
    // never answered: timed out.
    if (kind_ == Kind::MmsOverTcp && socket_ && socket_->state() == QAbstractSocket::ConnectedState) {
        detail_ = QStringLiteral("no answer to the MMS greeting");
        return PlayFailure::NotMedia;
    }
    return PlayFailure::TimedOut;
}

void ServerProbe::cancel()
{
    bound_.stop();
    running_ = false;
    if (socket_) {
        socket_->disconnect(this);
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }
}

void ServerProbe::lookAtFile()
{
    QByteArray head;
    QString error;
    switch (readRegularFile(url_.toLocalFile(), kHeadBytes, &head, &error, ReadExtent::Head)) {
    case ReadResult::Missing:
        detail_ = QStringLiteral("no such file");
        finish(PlayFailure::NotMedia);
        return;
    case ReadResult::Failed:
        detail_ = error;
        finish(PlayFailure::NotMedia);
        return;
    case ReadResult::Ok:
        break;
    }
    finish(looksLikeMedia(head, {}) ? PlayFailure::None : PlayFailure::NotMedia);
}

void ServerProbe::onConnected()
{
    QByteArray request;
    switch (kind_) {
    case Kind::MmsOverTcp:
        request = mmsConnectMessage(url_);
        break;
    case Kind::MmsOverHttp: {
        // As a Windows Media player opens a stream: the server answers
        // other clients with a playlist or a web page.
        const QByteArray path = url_.path(QUrl::FullyEncoded).toUtf8()
            + (url_.hasQuery() ? "?" + url_.query(QUrl::FullyEncoded).toUtf8() : QByteArray());
        request = "GET " + (path.isEmpty() ? QByteArray("/") : path) + " HTTP/1.0\r\nHost: "
            + url_.host(QUrl::FullyEncoded).toUtf8() + "\r\nUser-Agent: NSPlayer/7.10.0.3059\r\nAccept: */*\r\n"
            + "Pragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,request-context=1,max-duration=0\r\n"
            + "Pragma: xClientGUID=" + QUuid::createUuid().toByteArray() + "\r\n"
            + headerLine("Referer", options_.referrer) + "Connection: Close\r\n\r\n";
        break;
    }
    case Kind::Rtsp: {
        QUrl target = url_;
        target.setScheme(QStringLiteral("rtsp"));
        const QString agent = options_.userAgent.isEmpty() ? QStringLiteral("Miravon/1.0") : options_.userAgent;
        request = "DESCRIBE " + target.toString(QUrl::FullyEncoded).toUtf8()
            + " RTSP/1.0\r\nCSeq: 1\r\nAccept: application/sdp\r\n" + headerLine("User-Agent", agent)
            + headerLine("Referer", options_.referrer) + "\r\n";
        break;
    }
    case Kind::File:
        return;
    }
    socket_->write(request);
}

void ServerProbe::onReadyRead()
{
    if (!socket_)
        return;
    answer_ += socket_->read(kMaxAnswerBytes - answer_.size());
    if (kind_ == Kind::MmsOverTcp) {
        if (answer_.size() >= kMmsHeaderBytes)
            finish(isMmsMessage(answer_) ? PlayFailure::None : PlayFailure::NotMedia);
        return;
    }
    const qsizetype end = answer_.indexOf("\r\n\r\n");
    const bool closed = socket_->state() != QAbstractSocket::ConnectedState;
    if (end < 0 && answer_.size() < kMaxAnswerBytes && !closed)
        return;
    // "HTTP/1.0 404 Not Found", "RTSP/1.0 404 Not Found"
    const qsizetype eol = answer_.indexOf("\r\n");
    const QList<QByteArray> status = answer_.left(eol < 0 ? 256 : eol).split(' ');
    const QByteArray protocol = kind_ == Kind::Rtsp ? "RTSP/" : "HTTP/";
    bool numeric = false;
    const int code = status.value(1).toInt(&numeric);
    if (!status.value(0).startsWith(protocol) || !numeric) {
        finish(PlayFailure::NotMedia);
        return;
    }
    if (code >= 400) {
        detail_ = QStringLiteral("%1 %2").arg(QString::fromLatin1(protocol.chopped(1))).arg(code);
        finish(failureFromStatus(code));
        return;
    }
    const QByteArray head = answer_.left(end < 0 ? answer_.size() : end + 2);
    const QByteArray body = end < 0 ? QByteArray() : answer_.mid(end + 4);
    if (kind_ == Kind::MmsOverHttp) {
        const QByteArray type = headerValue(head, "content-type");
        if (type.contains("application/vnd.ms.wms-hdr.asfv1") || type.contains("application/x-mms-framed")
            || body.startsWith("$H")) {
            finish(PlayFailure::None);
            return;
        }
        if (body.size() < 2 && !closed && end >= 0)
            return; // the stream header's first bytes are still coming
        finish(PlayFailure::NotMedia);
        return;
    }
    // RTSP: a description with a media line offers the stream.
    const qsizetype length = headerValue(head, "content-length").toLongLong();
    if (code == 200 && body.size() < length && !closed && answer_.size() < kMaxAnswerBytes)
        return; // the description is still coming
    finish(code == 200 && body.left(length).contains("m=") ? PlayFailure::None : PlayFailure::NotMedia);
}

void ServerProbe::finish(PlayFailure reason)
{
    if (!running_)
        return;
    qCDebug(lcPlayer) << "server probe" << url_ << int(reason) << detail_;
    cancel();
    emit verdict(reason);
}

CandidateLook::CandidateLook(QNetworkAccessManager* network, QObject* parent)
    : QObject(parent)
    , network_(network ? network : new QNetworkAccessManager(this))
{
    connect(&server_, &ServerProbe::verdict, this, [this](PlayFailure reason) {
        detail_ = server_.detail();
        if (reason == PlayFailure::None)
            emit works();
        else
            emit failed(reason);
    });
}

CandidateLook::~CandidateLook() = default;

void CandidateLook::cancel()
{
    if (fetch_)
        fetch_->cancel();
    server_.cancel();
}

bool CandidateLook::isRunning() const { return server_.isRunning() || (fetch_ && fetch_->isRunning()); }

PlayFailure CandidateLook::silenceVerdict()
{
    if (!server_.isRunning())
        return PlayFailure::TimedOut;
    const PlayFailure verdict = server_.silenceVerdict();
    detail_ = server_.detail();
    return verdict;
}

void CandidateLook::look(const QUrl& url, const StreamOptions& options, int boundMs)
{
    cancel();
    options_ = options;
    boundMs_ = std::max(1, boundMs);
    detail_.clear();
    segment_.clear();
    if (isWebAddress(url))
        fetchHead(url, 0);
    else
        server_.run(url, options, boundMs_);
}

void CandidateLook::fetchHead(const QUrl& url, int hops)
{
    if (!fetch_) {
        fetch_ = std::make_unique<Fetch>(network_);
        connect(fetch_.get(), &Fetch::finished, this, [this](const FetchResult& r) { judge(r, hops_); });
    }
    hops_ = hops;
    fetch_->start(documentRequest(url, options_), FetchLimits{kHeadBytes, boundMs_, 0}, Fetch::Extent::Head);
}

void CandidateLook::judge(const FetchResult& r, int hops)
{
    if (r.failure != PlayFailure::None) {
        detail_ = r.detail;
        emit failed(r.failure);
        return;
    }
    if (!segment_.isEmpty()) {
        // A segment of a live window: anything but a web page is the stream.
        if (looksLikeWebPage(r.body, r.contentType)) {
            detail_ = QString::fromLatin1(r.contentType);
            emit failed(PlayFailure::NotMedia);
        } else {
            emit works();
        }
        return;
    }
    const Manifest manifest = parseManifest(r.body, r.url);
    switch (manifest.kind) {
    case Manifest::HlsMaster:
        if (hops >= maxPlaylistDepth || manifest.variants.isEmpty() || !isWebAddress(manifest.variants.first())) {
            emit failed(PlayFailure::PlaylistRefused);
            return;
        }
        fetchHead(manifest.variants.first(), hops + 1);
        return;
    case Manifest::HlsMedia:
        if (manifest.segments.isEmpty() || !isWebAddress(manifest.segments.last())) {
            detail_ = QStringLiteral("an HLS playlist without segments");
            emit failed(PlayFailure::NotMedia);
            return;
        }
        // The newest segment: older ones of a live window may be gone.
        segment_ = manifest.segments.last();
        fetchHead(segment_, hops + 1);
        return;
    case Manifest::Dash:
        emit works();
        return;
    case Manifest::NotManifest:
        break;
    }
    // A playlist says a media type as often as not: its text decides. The
    // resolver reads it, as it does when the engine cannot.
    if (parsePlaylist(r.body, r.url).kind != ParsedPlaylist::NotPlaylist) {
        emit unreadable(r.body, r.url, r.complete);
        return;
    }
    if (looksLikeMedia(r.body, r.contentType)) {
        emit works();
        return;
    }
    if (looksLikeWebPage(r.body, r.contentType)) {
        detail_ = QString::fromLatin1(r.contentType);
        emit failed(PlayFailure::NotMedia);
        return;
    }
    // Neither media nor a page: a playlist, perhaps. The resolver reads it,
    // as it does when the engine cannot.
    detail_ = r.contentType.isEmpty() ? QString() : QString::fromLatin1(r.contentType);
    emit unreadable(r.body, r.url, r.complete);
}

} // namespace miravon
