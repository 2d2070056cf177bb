#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A raw HTTP server on 127.0.0.1 that records every request's bytes and answers each one
// as told: a full raw response, the same dribbled out slowly, a response after which the
// connection stays open, no answer at all, or a dropped connection.
class ScriptedServer : public QObject {
public:
    enum class Behaviour { Answer, SlowAnswer, AnswerThenHang, Hang, DropMidRequest };

    ScriptedServer() {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
            }
        });
    }
    QString url(const QString& path = QStringLiteral("/save?f=1")) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    // Answers for the coming requests, in order; the last one repeats.
    void script(QList<QPair<Behaviour, QByteArray>> answers) { m_answers = std::move(answers); }
    static QByteArray Ok(const QByteArray& body, int status = 200) {
        return "HTTP/1.1 " + QByteArray::number(status) +
               " X\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }
    QList<QByteArray> requests; // complete requests: head and body

private:
    void onData(QTcpSocket* socket) {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QPair<Behaviour, QByteArray> answer =
            m_answers.isEmpty() ? qMakePair(Behaviour::Answer, Ok("x"))
                                : m_answers.at(std::min(m_next, m_answers.size() - 1));
        if (answer.first == Behaviour::DropMidRequest) {
            ++m_next;
            requests.append(buffer);
            m_buffers.remove(socket);
            socket->abort();
            return;
        }
        const QByteArray head = buffer.left(headEnd).toLower();
        const qsizetype at = head.indexOf("content-length:");
        const qsizetype length =
            at < 0 ? 0
                   : head.mid(at + 15, head.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
        if (buffer.size() < headEnd + 4 + length)
            return;
        ++m_next;
        requests.append(buffer);
        m_buffers.remove(socket);
        if (answer.first == Behaviour::Answer) {
            socket->write(answer.second);
            socket->disconnectFromHost();
        } else if (answer.first == Behaviour::AnswerThenHang) {
            socket->write(answer.second);
        } else if (answer.first == Behaviour::SlowAnswer) {
            dribble(socket, answer.second);
        }
    }

    // One byte every SlowStepMs, the first after a pause of SlowStepMs.
    static constexpr int SlowStepMs = 40;
    void dribble(QTcpSocket* socket, QByteArray rest) {
        QTimer::singleShot(SlowStepMs, socket, [this, socket, rest] {
            socket->write(rest.left(1));
            if (rest.size() > 1)
                dribble(socket, rest.mid(1));
            else
                socket->disconnectFromHost();
        });
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<QPair<Behaviour, QByteArray>> m_answers;
    qsizetype m_next = 0;
};
