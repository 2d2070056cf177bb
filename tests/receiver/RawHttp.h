#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QTcpSocket>
#include <QThread>

// Raw HTTP for the receiver tests: requests built byte by byte and answers split apart
// without any client library smoothing them over.

struct RawAnswer {
    int status = 0;
    QByteArray head;
    QByteArray body;
};

struct RawExchange {
    QList<RawAnswer> answers; // interim "100 Continue" answers are left out
    bool closed = false;      // the server closed the connection
};

// Splits complete answers off the front of the buffer; a HEAD answer has no body.
inline void TakeAnswers(QByteArray& buffer, QList<RawAnswer>& answers, bool headOnly) {
    for (;;) {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        RawAnswer answer;
        answer.head = buffer.left(end);
        answer.status = answer.head.mid(9, 3).toInt();
        const qsizetype at = answer.head.toLower().indexOf("\r\ncontent-length:");
        const qsizetype length =
            at < 0 || headOnly
                ? 0
                : answer.head.mid(at + 17, answer.head.indexOf("\r\n", at + 2) - at - 17)
                      .trimmed()
                      .toLongLong();
        if (buffer.size() < end + 4 + length)
            return;
        answer.body = buffer.mid(end + 4, length);
        buffer.remove(0, end + 4 + length);
        if (answer.status != 100)
            answers.append(answer);
    }
}

// Sends the bytes and lets events run (the receiver may live in this thread) until `wanted`
// answers came back and, when asked, the server closed the connection.
inline RawExchange Exchange(quint16 port, const QByteArray& request, int wanted = 1,
                            bool untilClosed = true, bool headOnly = false) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    socket.write(request);
    RawExchange exchange;
    QByteArray buffer;
    const QDeadlineTimer guard(20000);
    while (!guard.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        buffer += socket.readAll();
        TakeAnswers(buffer, exchange.answers, headOnly);
        exchange.closed = socket.state() == QAbstractSocket::UnconnectedState;
        if (exchange.answers.size() >= wanted && (!untilClosed || exchange.closed))
            break;
        if (exchange.closed)
            break;
        QThread::usleep(200);
    }
    return exchange;
}

inline QByteArray
PostHead(qsizetype length, const QByteArray& contentType, const QByteArray& extra = {},
         const QByteArray& target = "/upload?x=1&action=local&type=local&rnd=001") {
    return "POST " + target +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
           "Content-Type: " +
           contentType + "\r\nContent-Length: " + QByteArray::number(length) + "\r\n" + extra +
           "\r\n";
}

// A whole upload the way the upload run sends it.
inline QByteArray
UploadRequest(const QByteArray& fileName, const QByteArray& bytes, const QByteArray& extra = {},
              const QByteArray& target = "/upload?x=1&action=local&type=local&rnd=001") {
    const QByteArray token = "7d510421399871";
    const QByteArray delimiter = "-----------------------------" + token;
    const QByteArray body = delimiter +
                            "\r\nContent-Disposition: form-data; name=\"originalfile\"\r\n\r\n" +
                            fileName + "\r\n" + delimiter +
                            "\r\nContent-Disposition: form-data; name=\"uploadfile\"; filename=\"" +
                            fileName + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
                            bytes + "\r\n" + delimiter + "--\r\n";
    return PostHead(body.size(),
                    "multipart/form-data; boundary=---------------------------" + token, extra,
                    target) +
           body;
}
