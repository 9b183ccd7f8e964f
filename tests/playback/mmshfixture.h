#pragma once

// A loopback MMS-over-HTTP server for one live broadcast: the ASF header of a
// media file, marked as a broadcast (no length, not seekable), then its data
// packets, a burst and then one at a time, and after `packetsBeforeDrop`
// packets the connection drops, as a live encoder's does when it stops.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

#include <memory>

class MmshFixture : public QObject {
    Q_OBJECT
public:
    MmshFixture(const QByteArray& asf, int packetsBeforeDrop)
        : dropAfter_(packetsBeforeDrop)
    {
        const qsizetype headerSize = qsizetype(qFromLittleEndian<quint64>(asf.constData() + 16));
        header_ = asf.left(headerSize + 50);  // header object and the data object's own header
        static const char fileProperties[] = "\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65";
        const qsizetype fp = header_.indexOf(QByteArray(fileProperties, 16));
        if (fp >= 0) {
            char* p = header_.data() + fp;
            qToLittleEndian<quint64>(0, p + 40);  // file size
            qToLittleEndian<quint64>(0, p + 56);  // data packets
            qToLittleEndian<quint64>(0, p + 64);  // play duration
            qToLittleEndian<quint64>(0, p + 72);  // send duration
            qToLittleEndian<quint32>(1, p + 88);  // flags: broadcast, not seekable
            packetSize_ = qFromLittleEndian<quint32>(p + 96);
        }
        for (qsizetype at = headerSize + 50; packetSize_ > 0 && at + packetSize_ <= asf.size(); at += packetSize_)
            packets_ << asf.mid(at, packetSize_);
        connect(&server_, &QTcpServer::newConnection, this, &MmshFixture::accept);
        server_.listen(QHostAddress::LocalHost, 0);
    }
    ~MmshFixture() override
    {
        for (const QPointer<QTcpSocket>& s : std::as_const(sockets_)) {
            if (s)
                s->abort();
        }
    }

    QString url(const QString& path = QStringLiteral("/live")) const
    {
        return QStringLiteral("mms://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }
    // Requests that asked for the stream itself (not just its header).
    int plays() const { return plays_; }
    bool valid() const { return server_.isListening() && !packets_.isEmpty(); }

private:
    static QByteArray chunk(char type, quint32 seq, const QByteArray& payload)
    {
        QByteArray c(12, '\0');
        c[0] = '$';
        c[1] = type;
        qToLittleEndian<quint16>(quint16(payload.size() + 8), c.data() + 2);
        qToLittleEndian<quint32>(seq, c.data() + 4);
        c[9] = 0x0c;
        qToLittleEndian<quint16>(quint16(payload.size() + 8), c.data() + 10);
        return c + payload;
    }

    void accept()
    {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            sockets_ << socket;
            auto request = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
                *request += socket->readAll();
                if (!request->contains("\r\n\r\n") || request->isEmpty())
                    return;
                const bool play = request->contains("xPlayStrm=1");
                request->clear();
                serve(socket, play);
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void serve(QTcpSocket* socket, bool play)
    {
        socket->write("HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nPragma: no-cache\r\n"
                      "Pragma: features=\"broadcast\"\r\nCache-Control: no-cache\r\n\r\n");
        socket->write(chunk('H', 0, header_));
        if (!play) {
            socket->disconnectFromHost();
            return;
        }
        plays_++;
        // A burst to fill the player's buffer, then a packet at a time.
        auto next = std::make_shared<int>(0);
        auto send = [this, socket, next] {
            const QByteArray& packet = packets_.at(*next % packets_.size());
            socket->write(chunk('D', quint32(*next), packet));
            ++*next;
        };
        while (*next < std::min(8, dropAfter_))
            send();
        auto* timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [this, socket, timer, next, send] {
            if (*next >= dropAfter_) {
                timer->stop();
                socket->disconnectFromHost();
                return;
            }
            send();
        });
        timer->start(150);
    }

    QTcpServer server_;
    QByteArray header_;
    quint32 packetSize_ = 0;
    QList<QByteArray> packets_;
    int dropAfter_;
    int plays_ = 0;
    QList<QPointer<QTcpSocket>> sockets_;
};
