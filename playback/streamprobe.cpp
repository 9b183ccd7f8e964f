#include "streamprobe.h"

#include "localfile.h"
#include "manifest.h"
#include "playlist.h"
#include "addresspolicy.h"
#include "standin.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QUuid>

namespace miravon {

namespace {

// How much of an answer is read to judge it.
constexpr qint64 kHeadBytes = 64 * 1024;

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

bool looksLikeMedia(const QByteArray& head, const QByteArray& contentType)
{
    const auto at = [&head](qsizetype i) { return i < head.size() ? static_cast<unsigned char>(head[i]) : 0u; };
    if (head.isEmpty())
        return false;
    if (at(0) == 0x47 && (head.size() <= 188 || at(188) == 0x47))
        return true;  // MPEG transport stream
    static const QByteArray signatures[] = {
        QByteArray::fromHex("3026b2758e66cf11"),  // ASF (Windows Media)
        QByteArray::fromHex("1a45dfa3"),          // Matroska, WebM
        QByteArray::fromHex("000001ba"),          // MPEG program stream
        QByteArray::fromHex("000001b3"),          // MPEG video
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
        return true;  // MPEG audio or ADTS frame
    // A radio or camera that says what it sends.
    const QByteArray type = contentType.toLower();
    return (type.startsWith("audio/") || type.startsWith("video/")) && !type.contains("mpegurl");
}

bool looksLikeWebPage(const QByteArray& head, const QByteArray& contentType)
{
    const QByteArray start = head.left(512).trimmed().toLower();
    return contentType.toLower().startsWith("text/html") || start.startsWith("<!doctype html") || start.startsWith("<html");
}

ProbeResult fromNetwork(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return ProbeResult::HostNotFound;
    case QNetworkReply::ConnectionRefusedError:
        return ProbeResult::ConnectionRefused;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return ProbeResult::TimedOut;
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::TooManyRedirectsError:
        return ProbeResult::PlaylistRefused;
    case QNetworkReply::SslHandshakeFailedError:
        return ProbeResult::RefusedByServer;
    default:
        return ProbeResult::NotMedia;
    }
}

} // namespace

QString probeResultText(ProbeResult result)
{
    switch (result) {
    case ProbeResult::Works:
        return QStringLiteral("works");
    case ProbeResult::StandIn:
        return QStringLiteral("no working address yet");
    case ProbeResult::BadAddress:
        return QStringLiteral("not an address the player opens");
    case ProbeResult::HostNotFound:
        return QStringLiteral("host not found");
    case ProbeResult::ConnectionRefused:
        return QStringLiteral("connection refused");
    case ProbeResult::TimedOut:
        return QStringLiteral("timed out");
    case ProbeResult::RefusedByServer:
        return QStringLiteral("refused by the server");
    case ProbeResult::NotMedia:
        return QStringLiteral("not a media stream");
    case ProbeResult::PlaylistRefused:
        return QStringLiteral("playlist refused");
    case ProbeResult::NoPlayableEntry:
        return QStringLiteral("no playable entry");
    }
    return {};
}

StreamProbe::StreamProbe(QNetworkAccessManager* network, int boundMs, QObject* parent)
    : QObject(parent)
    , network_(network)
{
    bound_.setSingleShot(true);
    bound_.setInterval(std::max(1, boundMs));
    connect(&bound_, &QTimer::timeout, this, [this] {
        detail_.clear();
        // A server that took the connection and never answered the MMS
        // greeting is there, and is no MMS server.
        if (greeted_ && greeted_ == socket_ && greeted_->state() == QAbstractSocket::ConnectedState) {
            detail_ = QStringLiteral("no answer to the MMS greeting");
            done(ProbeResult::NotMedia);
            return;
        }
        done(ProbeResult::TimedOut);
    });
}

StreamProbe::~StreamProbe()
{
    finished_ = true;
    if (reply_)
        reply_->abort();
    if (socket_)
        socket_->abort();
}

void StreamProbe::start(const QUrl& url, const StreamOptions& options)
{
    options_ = options;
    bound_.start();
    if (isStandInAddress(url)) {
        // Said after start() has returned, like every outcome.
        QTimer::singleShot(0, this, [this] { done(ProbeResult::StandIn); });
        return;
    }
    if (!url.isValid() || url.isRelative()) {
        QTimer::singleShot(0, this, [this] { done(ProbeResult::BadAddress); });
        return;
    }
    QTimer::singleShot(0, this, [this, url] { probe(url, 0); });
}

void StreamProbe::probe(const QUrl& url, int depth)
{
    if (finished_)
        return;
    if (depth > 0)
        tried_++;
    detail_.clear();
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("file")) {
        // As the player: a file of this computer only as the address
        // itself (from the user's own address file), by its absolute path.
        if (depth == 0 && options_.origin == AddressOrigin::Own && isLocalFileAddress(url.toString()))
            probeFile(url);
        else
            tryNext(ProbeResult::BadAddress);
    } else if (url.host().isEmpty() || !isAllowedScheme(url) || (depth > 0 && isStandInAddress(url))) {
        tryNext(ProbeResult::BadAddress);
    } else if (scheme == QLatin1String("http") || scheme == QLatin1String("https")) {
        probeHttp(url, depth, false);
    } else if (scheme == QLatin1String("mms") || scheme == QLatin1String("mmsh")) {
        QUrl overHttp = url;
        overHttp.setScheme(QStringLiteral("http"));
        overHttp.setPort(url.port(80));
        probeHttp(overHttp, depth, true);
    } else if (scheme == QLatin1String("mmst")) {
        probeTcp(url, 1755);
    } else {
        probeRtsp(url);
    }
}

void StreamProbe::probeHttp(const QUrl& url, int depth, bool mmsOverHttp)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(bound_.interval());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    if (mmsOverHttp) {
        // As a Windows Media player opens a stream: the server answers
        // other clients with a playlist or a web page.
        request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("NSPlayer/7.10.0.3059"));
        request.setRawHeader("Pragma", "xClientGUID=" + QUuid::createUuid().toByteArray());
    } else {
        request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Miravon/1.0"));
    }
    applyStreamOptions(request, options_);
    QNetworkReply* reply = network_->get(request);
    reply_ = reply;
    auto judged = std::make_shared<bool>(false);
    auto judge = [this, reply, url, depth, mmsOverHttp, judged] {
        if (*judged || finished_)
            return;
        *judged = true;
        reply->disconnect(this);
        reply_ = nullptr;
        judgeHttp(reply, url, depth, mmsOverHttp);
        reply->abort();
        reply->deleteLater();
    };
    // Judge on the first bytes: a stream never finishes.
    connect(reply, &QNetworkReply::readyRead, this, [reply, judge] {
        if (reply->bytesAvailable() >= kHeadBytes)
            judge();
    });
    connect(reply, &QNetworkReply::finished, this, judge);
}

void StreamProbe::judgeHttp(QNetworkReply* reply, const QUrl& url, int depth, bool mmsOverHttp)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400) {
        detail_ = QStringLiteral("HTTP %1").arg(status);
        tryNext(ProbeResult::RefusedByServer);
        return;
    }
    if (reply->error() != QNetworkReply::NoError && (!reply->isFinished() || reply->bytesAvailable() == 0)) {
        tryNext(fromNetwork(reply->error()));
        return;
    }
    const QByteArray head = reply->read(kHeadBytes);
    const QByteArray type = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    const QUrl base = reply->url().isValid() ? reply->url() : url;
    if (url == segment_) {
        detail_.clear();
        if (looksLikeWebPage(head, type)) {
            tryNext(ProbeResult::NotMedia);
            return;
        }
        done(ProbeResult::Works);
        return;
    }
    if (mmsOverHttp) {
        const QByteArray t = type.toLower();
        if (t.contains("application/vnd.ms.wms-hdr.asfv1") || t.contains("application/x-mms-framed")
            || head.startsWith("$H")) {
            done(ProbeResult::Works);
            return;
        }
    }
    const Manifest manifest = parseManifest(head, base);
    switch (manifest.kind) {
    case Manifest::HlsMaster:
        if (depth >= maxPlaylistDepth || manifest.variants.isEmpty()) {
            tryNext(ProbeResult::PlaylistRefused);
            return;
        }
        follow(manifest.variants.first(), depth + 1);
        return;
    case Manifest::HlsMedia:
        if (manifest.segments.isEmpty()) {
            detail_ = QStringLiteral("an HLS playlist without segments");
            tryNext(ProbeResult::NotMedia);
            return;
        }
        // The newest segment: older ones of a live window may be gone.
        segment_ = manifest.segments.last();
        follow(segment_, depth + 1);
        return;
    case Manifest::Dash:
        done(ProbeResult::Works);
        return;
    case Manifest::NotManifest:
        break;
    }
    const ParsedPlaylist playlist = parsePlaylist(head, base);
    if (playlist.kind != ParsedPlaylist::NotPlaylist) {
        viaPlaylist_ = true;
        refusedRefs_ += static_cast<int>(playlist.refused.size());
        if (depth >= maxPlaylistDepth) {
            tryNext(ProbeResult::PlaylistRefused);
            return;
        }
        QList<QPair<QUrl, int>> entries;
        for (const PlaylistEntry& entry : playlist.entries) {
            for (const QUrl& alt : entry.alternatives) {
                entries.append({alt, depth + 1});
                // As the player does: an http reference of a [Reference]
                // file may be a Windows Media server's MMS over HTTP.
                if (playlist.kind == ParsedPlaylist::Reference && alt.scheme() == QLatin1String("http")) {
                    QUrl mmsh = alt;
                    mmsh.setScheme(QStringLiteral("mmsh"));
                    entries.append({mmsh, depth + 1});
                }
            }
        }
        pending_ = entries + pending_;
        tryNext(ProbeResult::NotMedia);
        return;
    }
    if (looksLikeMedia(head, type)) {
        done(ProbeResult::Works);
        return;
    }
    detail_ = type.isEmpty() ? QString() : QString::fromLatin1(type);
    tryNext(ProbeResult::NotMedia);
}

void StreamProbe::probeRtsp(const QUrl& url)
{
    auto* socket = new QTcpSocket(this);
    socket_ = socket;
    QUrl plain = url;
    plain.setScheme(QStringLiteral("rtsp"));
    auto buffer = std::make_shared<QByteArray>();
    auto finish = [this, socket](ProbeResult result) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        tryNext(result);
    };
    connect(socket, &QTcpSocket::connected, this, [socket, plain] {
        socket->write("DESCRIBE " + plain.toString(QUrl::FullyEncoded).toUtf8()
                      + " RTSP/1.0\r\nCSeq: 1\r\nAccept: application/sdp\r\nUser-Agent: Miravon/1.0\r\n\r\n");
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer, finish] {
        *buffer += socket->readAll();
        const qsizetype end = buffer->indexOf("\r\n\r\n");
        if (end < 0) {
            if (buffer->size() > kHeadBytes)
                finish(ProbeResult::NotMedia);
            return;
        }
        const QList<QByteArray> status = buffer->left(buffer->indexOf("\r\n")).split(' ');
        if (status.value(0).startsWith("RTSP/") && status.value(1).toInt() >= 400) {
            detail_ = QStringLiteral("RTSP %1").arg(QString::fromLatin1(status.value(1)));
            finish(ProbeResult::RefusedByServer);
            return;
        }
        if (!status.value(0).startsWith("RTSP/") || status.value(1).toInt() != 200) {
            finish(ProbeResult::NotMedia);
            return;
        }
        const QByteArray headers = buffer->left(end).toLower();
        const qsizetype at = headers.indexOf("\ncontent-length:");
        const qsizetype length = at < 0 ? 0 : headers.mid(at + 16, headers.indexOf('\n', at + 1) - at - 16).trimmed().toLongLong();
        if (buffer->size() < end + 4 + length)
            return;  // the description is still coming
        if (buffer->mid(end + 4, length).contains("m=")) {
            socket->disconnect(this);
            socket->abort();
            socket->deleteLater();
            done(ProbeResult::Works);
            return;
        }
        finish(ProbeResult::NotMedia);
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [finish](QAbstractSocket::SocketError error) {
        switch (error) {
        case QAbstractSocket::HostNotFoundError:
            finish(ProbeResult::HostNotFound);
            break;
        case QAbstractSocket::ConnectionRefusedError:
            finish(ProbeResult::ConnectionRefused);
            break;
        case QAbstractSocket::SocketTimeoutError:
            finish(ProbeResult::TimedOut);
            break;
        default:
            finish(ProbeResult::NotMedia);
            break;
        }
    });
    socket->connectToHost(url.host(), static_cast<quint16>(url.port(554)));
}

void StreamProbe::probeTcp(const QUrl& url, quint16 defaultPort)
{
    // MMS over TCP: the server must answer the client's first message in
    // kind. A server that takes the connection and stays silent is no
    // media server (the bound says so).
    auto* socket = new QTcpSocket(this);
    socket_ = socket;
    auto answer = std::make_shared<QByteArray>();
    auto finish = [this, socket](ProbeResult result) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
        tryNext(result);
    };
    connect(socket, &QTcpSocket::connected, this, [this, socket, url] {
        greeted_ = socket;
        socket->write(mmsConnectMessage(url));
    });
    connect(socket, &QTcpSocket::readyRead, this, [socket, answer, finish] {
        *answer += socket->readAll();
        if (answer->size() < kMmsHeaderBytes)
            return;
        finish(isMmsMessage(*answer) ? ProbeResult::Works : ProbeResult::NotMedia);
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [finish](QAbstractSocket::SocketError error) {
        finish(error == QAbstractSocket::HostNotFoundError        ? ProbeResult::HostNotFound
               : error == QAbstractSocket::ConnectionRefusedError ? ProbeResult::ConnectionRefused
                                                                  : ProbeResult::NotMedia);
    });
    socket->connectToHost(url.host(), static_cast<quint16>(url.port(defaultPort)));
}

void StreamProbe::probeFile(const QUrl& url)
{
    // Never opened for reading unless it is a regular file: a FIFO would
    // block this thread past every bound.
    QByteArray head;
    QString error;
    switch (readRegularFile(url.toLocalFile(), kHeadBytes, &head, &error, ReadExtent::Head)) {
    case ReadResult::Missing:
        detail_ = QStringLiteral("no such file");
        tryNext(ProbeResult::NotMedia);
        return;
    case ReadResult::Failed:
        detail_ = error;
        tryNext(ProbeResult::NotMedia);
        return;
    case ReadResult::Ok:
        break;
    }
    tryNext(looksLikeMedia(head, {}) ? ProbeResult::Works : ProbeResult::NotMedia);
}

void StreamProbe::follow(const QUrl& url, int depth)
{
    pending_.prepend({url, depth});
    tryNext(ProbeResult::NotMedia);
}

void StreamProbe::tryNext(ProbeResult why)
{
    if (finished_)
        return;
    if (why == ProbeResult::Works) {
        done(why);
        return;
    }
    if (!pending_.isEmpty()) {
        const auto [url, depth] = pending_.takeFirst();
        QTimer::singleShot(0, this, [this, url, depth] { probe(url, depth); });
        return;
    }
    if (viaPlaylist_) {
        detail_.clear();  // of the last entry tried, not of the playlist
        done(refusedRefs_ > 0 && tried_ == 0 ? ProbeResult::PlaylistRefused : ProbeResult::NoPlayableEntry);
    } else {
        done(why);
    }
}

void StreamProbe::done(ProbeResult result)
{
    if (finished_)
        return;
    finished_ = true;
    bound_.stop();
    if (reply_)
        reply_->abort();
    emit finished(result);
}

} // namespace miravon
