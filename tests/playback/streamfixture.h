#pragma once

// Loopback fixtures for today's streaming formats: a small HTTP server that
// serves a directory of files (HLS playlists and segments, DASH manifests),
// can be taken down and brought back on the same port, and can refuse
// requests that lack a given header; and the ffmpeg runs that make the
// streams at test time, tiny and short so that they are quick under load.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QStandardPaths>
#include <QStringList>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

class DirServer : public QObject {
    Q_OBJECT
public:
    // With `tls`, it speaks HTTPS only.
    explicit DirServer(const QString& root, const QSslConfiguration* tls = nullptr)
        : root_(root)
        , server_(tls ? new QSslServer(this) : new QTcpServer(this))
    {
        if (tls)
            static_cast<QSslServer*>(server_)->setSslConfiguration(*tls);
        connect(server_, &QTcpServer::pendingConnectionAvailable, this, &DirServer::accept);
        server_->listen(QHostAddress::LocalHost, 0);
        port_ = server_->serverPort();
        scheme_ = tls ? QStringLiteral("https") : QStringLiteral("http");
    }
    ~DirServer() override { down(); }

    quint16 port() const { return port_; }
    QString url(const QString& path) const { return QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme_).arg(port_).arg(path); }

    // Requests under `prefix` ("/ref") are served from the root with the
    // prefix taken off, and refused with 403 unless header `name` has `value`.
    void guard(const QString& prefix, const QByteArray& name, const QByteArray& value)
    {
        guards_.insert(prefix, {name.toLower(), value});
    }

    // Down: nothing listens on the port and every open connection is cut.
    void down()
    {
        server_->close();
        for (const QPointer<QTcpSocket>& s : std::as_const(sockets_)) {
            if (s)
                s->abort();
        }
        sockets_.clear();
    }
    // Back on the same port; the port may linger briefly after a close.
    bool up()
    {
        if (server_->isListening())
            return true;
        QDeadlineTimer deadline(5000);
        while (!server_->listen(QHostAddress::LocalHost, port_)) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(50);
        }
        return true;
    }

    int refusals() const { return refusals_; }

private:
    struct Guard {
        QByteArray header;
        QByteArray value;
    };

    void accept()
    {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            sockets_ << socket;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            // A half-read request must not outlive its socket: the next
            // socket may be made at the same address and inherit it.
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] { pending_.remove(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    static QByteArray contentType(const QString& path)
    {
        if (path.endsWith(QLatin1String(".m3u8")))
            return "application/vnd.apple.mpegurl";
        if (path.endsWith(QLatin1String(".ts")))
            return "video/mp2t";
        if (path.endsWith(QLatin1String(".mpd")))
            return "application/dash+xml";
        if (path.endsWith(QLatin1String(".m4s")) || path.endsWith(QLatin1String(".mp4")))
            return "video/mp4";
        return "application/octet-stream";
    }

    void answer(QTcpSocket* socket, int status, const QByteArray& type, const QByteArray& body)
    {
        socket->write("HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Error")
                      + "\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size())
                      + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    void readRequest(QTcpSocket* socket)
    {
        QByteArray& buffer = pending_[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        pending_.remove(socket);
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        QString path = QString::fromLatin1(first.value(1));
        path = path.left(path.indexOf(QLatin1Char('?')));
        QHash<QByteArray, QByteArray> headers;
        for (const QByteArray& line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        for (auto it = guards_.cbegin(); it != guards_.cend(); ++it) {
            if (!path.startsWith(it.key() + QLatin1Char('/')))
                continue;
            if (headers.value(it->header) != it->value) {
                refusals_++;
                answer(socket, 403, "text/plain", "forbidden");
                return;
            }
            path = path.mid(it.key().size());
        }
        QFile file(root_ + path);
        if (path.contains(QLatin1String("..")) || !file.open(QIODevice::ReadOnly)) {
            answer(socket, 404, "text/plain", "not found");
            return;
        }
        answer(socket, 200, contentType(path), file.readAll());
    }

    QString root_;
    QTcpServer* server_;
    quint16 port_ = 0;
    QString scheme_;
    QHash<QString, Guard> guards_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QList<QPointer<QTcpSocket>> sockets_;
    int refusals_ = 0;
};

// One ffmpeg run making a test stream from generated pictures and tone.
class StreamMaker {
public:
    static bool available() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

    // Common input and codecs: MPEG-2 video (its headers repeat at every key
    // frame, so a live stream can be joined anywhere), 96x64 at 10 frames a second, a key frame every
    // second (so segments can be one second), a quiet tone.
    static QStringList source(bool realTime, int seconds)
    {
        QStringList args = {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                            QStringLiteral("-nostdin"), QStringLiteral("-y")};
        if (realTime)
            args << QStringLiteral("-re");
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("testsrc2=size=96x64:rate=10") << QStringLiteral("-f") << QStringLiteral("lavfi")
             << QStringLiteral("-i") << QStringLiteral("sine=frequency=440:sample_rate=22050") << QStringLiteral("-t")
             << QString::number(seconds) << QStringLiteral("-c:v") << QStringLiteral("mpeg2video") << QStringLiteral("-g")
             << QStringLiteral("10") << QStringLiteral("-c:a") << QStringLiteral("aac") << QStringLiteral("-b:a")
             << QStringLiteral("32k");
        return args;
    }

    // Starts ffmpeg with `args`; its output goes to the test's log on failure.
    void start(const QStringList& args)
    {
        process_ = std::make_unique<QProcess>();
        process_->setProcessChannelMode(QProcess::MergedChannels);
        process_->start(QStringLiteral("ffmpeg"), args);
    }
    // Waits for a run that ends by itself.
    bool finish(int ms)
    {
        return process_ && process_->waitForFinished(ms) && process_->exitStatus() == QProcess::NormalExit
            && process_->exitCode() == 0;
    }
    void stop()
    {
        if (process_ && process_->state() != QProcess::NotRunning) {
            process_->kill();
            process_->waitForFinished(5000);
        }
    }
    QString output() const { return process_ ? QString::fromLocal8Bit(process_->readAll()) : QString(); }
    ~StreamMaker() { stop(); }

private:
    std::unique_ptr<QProcess> process_;
};

// A key and a self-signed certificate for 127.0.0.1, made with openssl in
// `dir`; trusted by this process's default TLS configuration, so that the
// player's own requests accept it as they accept a real site's.
inline bool makeLoopbackCertificate(const QString& dir, QSslConfiguration* out)
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                   QStringLiteral("-nodes"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), dir + QStringLiteral("/key.pem"), QStringLiteral("-out"), dir + QStringLiteral("/cert.pem")});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        return false;
    const QList<QSslCertificate> certs = QSslCertificate::fromPath(dir + QStringLiteral("/cert.pem"));
    QFile keyFile(dir + QStringLiteral("/key.pem"));
    if (certs.isEmpty() || !keyFile.open(QIODevice::ReadOnly))
        return false;
    const QSslKey key(&keyFile, QSsl::Rsa);
    if (key.isNull())
        return false;
    QSslConfiguration trust = QSslConfiguration::defaultConfiguration();
    trust.addCaCertificates(certs);
    QSslConfiguration::setDefaultConfiguration(trust);
    *out = QSslConfiguration::defaultConfiguration();
    out->setLocalCertificate(certs.first());
    out->setPrivateKey(key);
    return true;
}

// Segments named in a media playlist, or 0 when it is not there yet.
inline int segmentCount(const QString& playlist)
{
    QFile f(playlist);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return static_cast<int>(f.readAll().count("#EXTINF"));
}
