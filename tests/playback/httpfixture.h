#pragma once

// A loopback HTTP server for player tests: routes by path, each answer a
// fixed body or a misbehaviour (answer late, never answer, stream then drop).

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

class HttpFixture : public QObject {
    Q_OBJECT
public:
    enum class Mode {
        Normal,   // status, content type, length, body
        Silent,   // accept the request and never answer
        Stream,   // body without a length, sent in slices, then the connection drops
    };
    struct Route {
        QByteArray body;
        QByteArray contentType = "application/octet-stream";
        int status = 200;
        Mode mode = Mode::Normal;
        qsizetype slice = 16 * 1024;  // Stream: bytes sent every 100 ms after a first 64 KiB
        bool stall = false;           // Stream: at the end go silent, keeping the connection
        int delayMs = 0;              // Normal: answer only this long after the request (a slow server)
        qsizetype burst = 64 * 1024;  // Stream: sent at once
        int intervalMs = 100;         // Stream: between slices
        QByteArray headers;           // Normal: more header lines, each ending in CRLF
        qint64 declaredLength = -1;   // Normal: the Content-Length said, when not the body's
    };

    HttpFixture()
    {
        connect(&server_, &QTcpServer::newConnection, this, &HttpFixture::accept);
        server_.listen(QHostAddress::LocalHost, 0);
        port_ = server_.serverPort();
    }
    ~HttpFixture() override
    {
        for (const QPointer<QTcpSocket>& s : std::as_const(sockets_)) {
            if (s)
                s->abort();
        }
    }

    quint16 port() const { return port_; }
    QString url(const QString& path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path); }

    void route(const QString& path, Route r) { routes_.insert(path, r); }
    void route(const QString& path, const QByteArray& body, const QByteArray& type = "application/octet-stream")
    {
        Route r;
        r.body = body;
        r.contentType = type;
        routes_.insert(path, r);
    }

    static QByteArray media(const QString& name)
    {
        QFile f(QStringLiteral(MEDIA_DIR "/") + name);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

    // An ASX playlist: one entry per list, its alternatives in order.
    static QByteArray asx(const QList<QStringList>& entries)
    {
        QByteArray out = "<asx version=\"3.0\">";
        for (const QStringList& refs : entries) {
            out += "<entry>";
            for (const QString& r : refs)
                out += "<ref href=\"" + r.toUtf8() + "\"/>";
            out += "</entry>";
        }
        return out + "</asx>";
    }

    int hits(const QString& path) const { return hits_.value(path); }
    QList<QByteArray> requests(const QString& path) const { return requests_.value(path); }
    int openConnections() const
    {
        int n = 0;
        for (const QPointer<QTcpSocket>& s : sockets_)
            n += s && s->state() == QAbstractSocket::ConnectedState;
        return n;
    }

    // The server goes away (every connection dropped, new ones refused) and
    // comes back on the same port after `ms`.
    void goAway(int ms)
    {
        server_.close();
        for (const QPointer<QTcpSocket>& s : std::as_const(sockets_)) {
            if (s)
                s->abort();
        }
        QTimer::singleShot(ms, this, [this] { server_.listen(QHostAddress::LocalHost, port_); });
    }
    bool isListening() const { return server_.isListening(); }

signals:
    void requested(const QString& path);

private:
    void accept()
    {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            sockets_ << socket;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            // A half-read request must not outlive its socket: the next
            // socket may be made at the same address and inherit it.
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] { pending_.remove(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void readRequest(QTcpSocket* socket)
    {
        QByteArray& buffer = pending_[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QByteArray request = buffer;
        const QList<QByteArray> first = buffer.left(buffer.indexOf("\r\n")).split(' ');
        pending_.remove(socket);
        QString path = first.size() > 1 ? QString::fromLatin1(first[1]) : QString();
        path = path.left(path.indexOf(QLatin1Char('?')));
        hits_[path]++;
        requests_[path] << request;
        emit requested(path);
        if (!routes_.contains(path)) {
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found");
            socket->disconnectFromHost();
            return;
        }
        const Route r = routes_.value(path);
        if (r.mode == Mode::Silent)
            return;
        if (r.mode == Mode::Stream) {
            socket->write("HTTP/1.0 200 OK\r\nContent-Type: " + r.contentType + "\r\nConnection: close\r\n\r\n");
            auto* timer = new QTimer(socket);
            const qsizetype burst = std::min<qsizetype>(r.burst, r.body.size());
            socket->write(r.body.left(burst));
            auto offset = std::make_shared<qsizetype>(burst);
            connect(timer, &QTimer::timeout, socket, [socket, timer, offset, body = r.body, slice = r.slice, stall = r.stall] {
                socket->write(body.mid(*offset, slice));
                *offset += slice;
                if (*offset >= body.size()) {
                    timer->stop();
                    if (!stall)
                        socket->disconnectFromHost();
                }
            });
            timer->start(r.intervalMs);
            return;
        }
        if (r.delayMs > 0) {
            QTimer::singleShot(r.delayMs, socket, [this, socket, request, r] { answer(socket, request, r); });
            return;
        }
        answer(socket, request, r);
    }

    void answer(QTcpSocket* socket, const QByteArray& request, const Route& r)
    {
        // Byte ranges, as any web server serves files: "Range: bytes=N-".
        qsizetype from = 0;
        const qsizetype at = request.toLower().indexOf("\r\nrange: bytes=");
        if (r.status == 200 && at >= 0) {
            const QByteArray range = request.mid(at + 16, request.indexOf("\r\n", at + 2) - at - 16);
            from = std::clamp<qsizetype>(range.left(range.indexOf('-')).toLongLong(), 0, r.body.size());
        }
        const QByteArray body = r.body.mid(from);
        QByteArray head = "HTTP/1.1 " + QByteArray::number(from ? 206 : r.status) + (r.status == 200 ? " OK" : " Error")
            + "\r\nContent-Type: " + r.contentType + "\r\nContent-Length: "
            + QByteArray::number(r.declaredLength >= 0 ? r.declaredLength : body.size())
            + "\r\nAccept-Ranges: bytes\r\nConnection: close\r\n" + r.headers;
        if (from)
            head += "Content-Range: bytes " + QByteArray::number(from) + "-" + QByteArray::number(r.body.size() - 1) + "/"
                + QByteArray::number(r.body.size()) + "\r\n";
        socket->write(head + "\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    quint16 port_ = 0;
    QHash<QString, Route> routes_;
    QHash<QString, int> hits_;
    QHash<QString, QList<QByteArray>> requests_;
    QHash<QTcpSocket*, QByteArray> pending_;
    QList<QPointer<QTcpSocket>> sockets_;
};
