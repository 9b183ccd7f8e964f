#pragma once

// Small stream servers for the address check and the player, on loopback:
// an RTSP server that describes one path, and an MMS-over-TCP server that
// answers the greeting or stays silent.

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

// An RTSP server that describes /live and knows nothing else.
class RtspStub : public QObject {
public:
    RtspStub()
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                connect(s, &QTcpSocket::readyRead, s, [s] {
                    const QByteArray request = s->readAll();
                    if (request.startsWith("DESCRIBE ") && request.contains("/live ")) {
                        const QByteArray sdp = "v=0\r\no=- 0 0 IN IP4 127.0.0.1\r\ns=live\r\nm=video 0 RTP/AVP 96\r\n";
                        s->write("RTSP/1.0 200 OK\r\nCSeq: 1\r\nContent-Type: application/sdp\r\nContent-Length: "
                                 + QByteArray::number(sdp.size()) + "\r\n\r\n" + sdp);
                    } else {
                        s->write("RTSP/1.0 404 Not Found\r\nCSeq: 1\r\n\r\n");
                    }
                });
            }
        });
    }
    QString url(const QString& path) const { return QStringLiteral("rtsp://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path); }

private:
    QTcpServer server_;
};

// A stand-in for an MMS-over-TCP server: it answers the client's greeting
// with a message of its own, or, silent, takes the connection and says
// nothing.
class MmstStub : public QObject {
public:
    explicit MmstStub(bool answers)
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this, answers] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                connect(s, &QTcpSocket::readyRead, s, [s, answers] {
                    const QByteArray greeting = s->readAll();
                    // Only a greeting of the protocol is answered.
                    if (answers && greeting.mid(4, 4) == QByteArray::fromHex("cefa0bb0") && greeting.mid(12, 4) == "MMS ")
                        s->write(QByteArray::fromHex("01000000cefa0bb0180000004d4d532003000000")
                                 + QByteArray(20, '\0'));
                });
            }
        });
    }
    QString url(const QString& path) const { return QStringLiteral("mmst://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path); }

private:
    QTcpServer server_;
};

