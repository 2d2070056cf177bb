#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QTcpSocket;

// Plain HTTP/1.1 for asynchronous requests to http:// addresses. The network manager hands a
// request body to its socket 16 KB at a time and waits for each piece to be written, which
// makes picture uploads several times slower than the connection allows; here the whole
// request goes to the socket at once and the kernel takes it as fast as it can. Like the
// manager, a request whose connection closes before any answer is sent once more; a broken
// or timed-out transfer completes as failed, never with a partial answer.
class PlainHttpExchange : public QObject {
public:
    using HeadArrived = std::function<void(qint32 status)>;
    // `location` is set for a redirect, whose status was not announced as a head.
    using Finished = std::function<void(qint32 status, const QByteArray& body, bool failed,
                                        const QByteArray& location)>;

    PlainHttpExchange(QObject* parent, QByteArray head, QByteArray body, QString host, quint16 port,
                      bool headOnly, HeadArrived onHead, Finished onDone);
    ~PlainHttpExchange() override;

    // Stops without calling back.
    void cancel();

private:
    static constexpr qsizetype MaxHeadBytes = 64 * 1024;

    void attempt();
    void dropSocket();
    void onReadyRead();
    void onClosed();

    // 1 when the answer is complete, 0 when more is needed, -1 when it cannot be read.
    int parse();
    void succeed();
    void fail();

    QByteArray m_requestHead;
    QByteArray m_requestBody;
    QString m_host;
    quint16 m_port;
    bool m_headOnly;
    HeadArrived m_onHead;
    Finished m_onDone;
    QTcpSocket* m_socket = nullptr;
    QTimer m_idle;
    int m_attempts = 0;
    bool m_answered = false;
    bool m_done = false;
    QByteArray m_buffer;
    bool m_haveHead = false;
    qint32 m_status = 0;
    qint64 m_length = -1;
    bool m_chunked = false;
    bool m_untilClose = false;
    QByteArray m_body;
    QByteArray m_location;
};
