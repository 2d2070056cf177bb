// Takes chunked uploads on 127.0.0.1 and answers every block with a token, keeping
// connections alive for clients that ask. For each finished file it prints the SHA-256 of
// the blocks it received, so a run can be checked against the source:
//   bench_chunked_sink          prints "listening on PORT", then "file SHA256 BYTES"
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstdio>

namespace {

struct Connection {
    QByteArray buffer;
};

QCryptographicHash g_hash(QCryptographicHash::Sha256);
qint64 g_bytes = 0;
qint64 g_token = 0;

// The block is what lies between the second part's header and the closing delimiter.
QByteArray BlockOf(const QByteArray& body) {
    const qsizetype part = body.indexOf("name=\"uploadfile\"");
    const qsizetype start = body.indexOf("\r\n\r\n", part) + 4;
    const qsizetype end = body.lastIndexOf("\r\n--");
    return part < 0 || end < start ? QByteArray() : body.mid(start, end - start);
}

void Handle(QTcpSocket* socket, Connection& c) {
    for (;;) {
        const qsizetype headEnd = c.buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QByteArray head = c.buffer.left(headEnd).toLower();
        const qsizetype at = head.indexOf("content-length:");
        const qint64 length =
            at < 0 ? 0
                   : head.mid(at + 15, head.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
        if (c.buffer.size() < headEnd + 4 + length)
            return;
        const QByteArray target = head.left(head.indexOf("\r\n"));
        const QByteArray block = BlockOf(c.buffer.mid(headEnd + 4, length));
        c.buffer.remove(0, headEnd + 4 + length);
        g_hash.addData(block);
        g_bytes += block.size();
        if (target.contains("blockflag=end")) {
            std::printf("file %s %lld\n", g_hash.result().toHex().constData(),
                        static_cast<long long>(g_bytes));
            std::fflush(stdout);
            g_hash.reset();
            g_bytes = 0;
        }
        const QByteArray token = "t" + QByteArray::number(++g_token);
        const bool close = head.contains("connection: close");
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                      QByteArray::number(token.size()) + (close ? "\r\nConnection: close" : "") +
                      "\r\n\r\n" + token);
        if (close) {
            socket->disconnectFromHost();
            return;
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 1;
    QHash<QTcpSocket*, Connection> connections;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, [&, socket] {
                Connection& c = connections[socket];
                c.buffer += socket->readAll();
                Handle(socket, c);
            });
            QObject::connect(socket, &QTcpSocket::disconnected, [&, socket] {
                connections.remove(socket);
                socket->deleteLater();
            });
        }
    });
    std::printf("listening on %u\n", server.serverPort());
    std::fflush(stdout);
    return app.exec();
}
