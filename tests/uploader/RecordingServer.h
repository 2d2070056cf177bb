#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>

// An HTTP server on 127.0.0.1, on a thread of its own (the control's cancel notice blocks
// the test's thread until it is answered), that keeps every request byte for byte and
// answers each one as the test's script decides: a reply (possibly late), no reply at all,
// or a connection closed halfway through the body. The script runs on the server's
// thread and must look only at its arguments.
class RecordingServer {
public:
    struct Request {
        QByteArray raw;
        QByteArray method;
        QByteArray target; // path and query, as sent
        QByteArray head;   // request line and headers
        QByteArray body;
        QByteArray header(const QByteArray& name) const {
            for (const QByteArray& line : head.split('\n')) {
                const qsizetype colon = line.indexOf(':');
                if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
                    return line.mid(colon + 1).trimmed();
            }
            return {};
        }
    };
    enum class Action { Answer, Hang, CloseMidBody };
    struct Reply {
        Action action = Action::Answer;
        QByteArray raw;
        int delayMs = 0;
    };
    using Script = std::function<Reply(const Request&, int index)>;

    static QByteArray Http(const QByteArray& body, int status = 200) {
        return "HTTP/1.1 " + QByteArray::number(status) +
               " X\r\nContent-Type: text/plain\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
    static Reply Ok(const QByteArray& body, int delayMs = 0) {
        return {Action::Answer, Http(body), delayMs};
    }

    RecordingServer() {
        m_thread.start();
        m_engine = new Engine(*this);
        m_engine->moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            m_engine, [this] { m_engine->listen(); }, Qt::BlockingQueuedConnection);
    }
    ~RecordingServer() {
        QMetaObject::invokeMethod(
            m_engine, [this] { delete m_engine; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    QString url(const QString& path = QStringLiteral("/up?u=1")) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    void script(Script s) {
        QMutexLocker lock(&m_mutex);
        m_script = std::move(s);
    }
    QList<Request> requests() const {
        QMutexLocker lock(&m_mutex);
        return m_requests;
    }
    int count() const {
        QMutexLocker lock(&m_mutex);
        return int(m_requests.size());
    }
    // Requests whose connection was closed halfway, or that were left unanswered.
    int broken() const {
        QMutexLocker lock(&m_mutex);
        return m_broken;
    }

private:
    class Engine : public QObject {
    public:
        explicit Engine(RecordingServer& owner) : m_owner(owner) {}
        void listen() {
            m_server = new QTcpServer(this);
            m_server->listen(QHostAddress::LocalHost);
            m_owner.m_port = m_server->serverPort();
            connect(m_server, &QTcpServer::newConnection, this, [this] {
                while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                    socket->setParent(this);
                    connect(socket, &QTcpSocket::readyRead, this,
                            [this, socket] { onData(socket); });
                }
            });
        }

    private:
        void onData(QTcpSocket* socket) {
            QByteArray& buffer = m_buffers[socket];
            buffer += socket->readAll();
            const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
            if (headEnd < 0)
                return;
            Request request;
            request.head = buffer.left(headEnd);
            const QList<QByteArray> line =
                request.head.left(request.head.indexOf("\r\n")).split(' ');
            request.method = line.value(0);
            request.target = line.value(1);
            const qint64 length = request.header("content-length").toLongLong();
            // The script decides once per request, when its head has arrived.
            if (!m_replies.contains(socket)) {
                Script script;
                int index = 0;
                {
                    QMutexLocker lock(&m_owner.m_mutex);
                    script = m_owner.m_script;
                    index = int(m_owner.m_requests.size()) + m_owner.m_broken;
                }
                m_replies.insert(socket, script ? script(request, index) : Ok("ok"));
            }
            const Reply reply = m_replies.value(socket);
            if (reply.action == Action::CloseMidBody && buffer.size() >= headEnd + 4 + length / 2) {
                {
                    QMutexLocker lock(&m_owner.m_mutex);
                    ++m_owner.m_broken;
                }
                m_buffers.remove(socket);
                m_replies.remove(socket);
                socket->abort();
                return;
            }
            if (buffer.size() < headEnd + 4 + length)
                return;
            request.raw = buffer;
            request.body = buffer.mid(headEnd + 4);
            m_buffers.remove(socket);
            m_replies.remove(socket);
            {
                QMutexLocker lock(&m_owner.m_mutex);
                m_owner.m_requests.append(request);
            }
            if (reply.action != Action::Answer)
                return;
            QTimer::singleShot(reply.delayMs, socket, [socket, raw = reply.raw] {
                socket->write(raw);
                socket->disconnectFromHost();
            });
        }

        RecordingServer& m_owner;
        QTcpServer* m_server = nullptr;
        QHash<QTcpSocket*, QByteArray> m_buffers;
        QHash<QTcpSocket*, Reply> m_replies;
    };

    mutable QMutex m_mutex;
    QThread m_thread;
    Engine* m_engine = nullptr;
    quint16 m_port = 0;
    Script m_script;
    QList<Request> m_requests;
    int m_broken = 0;
};

// Lets events run until the condition holds or the time is up.
template <typename Condition> bool WaitUntil(Condition condition, int ms = 20000) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        loop.processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}
