#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QHash>
#include <QMutex>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <future>
#include <memory>

// A raw HTTP server on 127.0.0.1 that answers by path on a thread of its own: a
// synchronous fetch blocks the test's thread until the answer is there. A path can answer
// with fixed bytes, never answer, send a body without end, or send one byte every 50 ms
// for ever.
class PageServer {
public:
    enum class Kind { Answer, Hang, Endless, Trickle };

    PageServer() : m_thread(QThread::create([this] { serve(); })) {
        m_thread->start();
        m_port = m_ready.get_future().get();
    }
    ~PageServer() {
        m_stopping = true;
        m_thread->wait();
    }

    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    static QByteArray Ok(const QByteArray& body, int status = 200,
                         const QByteArray& type = "text/css") {
        return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: " + type +
               "\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }
    void route(const QString& path, Kind kind, const QByteArray& answer = {}) {
        QMutexLocker lock(&m_mutex);
        m_routes.insert(path, {kind, answer});
    }
    void answer(const QString& path, const QByteArray& body, int status = 200) {
        route(path, Kind::Answer, Ok(body, status));
    }
    // The paths asked for, in order.
    QStringList requested() const {
        QMutexLocker lock(&m_mutex);
        return m_requested;
    }

private:
    struct Route {
        Kind kind = Kind::Answer;
        QByteArray answer;
    };

    void serve() {
        QThread::currentThread()->setObjectName(QStringLiteral("PageServer"));
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        QObject loop; // owns the connections
        QObject::connect(&server, &QTcpServer::newConnection, &loop, [&] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                socket->setParent(&loop);
                QObject::connect(socket, &QTcpSocket::readyRead, &loop,
                                 [this, socket] { onData(socket); });
            }
        });
        m_ready.set_value(server.serverPort());
        QEventLoop events;
        while (!m_stopping)
            events.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }

    void onData(QTcpSocket* socket) {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        const QString path =
            requestLine.size() > 1 ? QString::fromLatin1(requestLine[1]) : QString();
        m_buffers.remove(socket);
        Route route{Kind::Answer, Ok("not found", 404, "text/plain")};
        {
            QMutexLocker lock(&m_mutex);
            m_requested.append(path);
            route = m_routes.value(path, route);
        }
        if (route.kind == Kind::Hang)
            return;
        if (route.kind == Kind::Answer) {
            socket->write(route.answer);
            socket->disconnectFromHost();
            return;
        }
        // No length: the body ends when the connection does, which is never.
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/css\r\n\r\n");
        if (route.kind == Kind::Trickle) {
            auto* timer = new QTimer(socket);
            QObject::connect(timer, &QTimer::timeout, socket, [socket] { socket->write("x"); });
            timer->start(50);
            return;
        }
        const QByteArray chunk(64 * 1024, 'x');
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket, chunk] {
            if (socket->bytesToWrite() < chunk.size())
                socket->write(chunk);
        });
        socket->write(chunk);
    }

    mutable QMutex m_mutex;
    QHash<QString, Route> m_routes;
    QStringList m_requested;
    std::atomic<bool> m_stopping = false;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    std::promise<quint16> m_ready;
    std::unique_ptr<QThread> m_thread;
    quint16 m_port = 0;
};
