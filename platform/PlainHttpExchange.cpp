#include "platform/PlainHttpExchange.h"

#include "platform/XmlHttpRequest.h"

#include <QNetworkProxy>
#include <QTcpSocket>

PlainHttpExchange::PlainHttpExchange(QObject* parent, QByteArray head, QByteArray body,
                                     QString host, quint16 port, bool headOnly, HeadArrived onHead,
                                     Finished onDone)
    : QObject(parent), m_requestHead(std::move(head)), m_requestBody(std::move(body)),
      m_host(std::move(host)), m_port(port), m_headOnly(headOnly), m_onHead(std::move(onHead)),
      m_onDone(std::move(onDone)) {
    m_idle.setSingleShot(true);
    m_idle.setInterval(XmlHttpRequest::TimeoutMs());
    connect(&m_idle, &QTimer::timeout, this, [this] { fail(); });
    attempt();
}

PlainHttpExchange::~PlainHttpExchange() {
    cancel();
}

void PlainHttpExchange::cancel() {
    m_done = true;
    m_idle.stop();
    dropSocket();
}

void PlainHttpExchange::attempt() {
    ++m_attempts;
    m_socket = new QTcpSocket(this);
    m_socket->setProxy(QNetworkProxy::NoProxy);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_idle.start();
        // Head and body go separately: joining them would copy the whole file once more.
        m_socket->write(m_requestHead);
        m_socket->write(m_requestBody);
    });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] { m_idle.start(); });
    connect(m_socket, &QTcpSocket::readyRead, this, &PlainHttpExchange::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &PlainHttpExchange::onClosed);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &PlainHttpExchange::onClosed);
    m_idle.start();
    m_socket->connectToHost(m_host, m_port);
}

void PlainHttpExchange::dropSocket() {
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket->deleteLater();
    m_socket = nullptr;
}

void PlainHttpExchange::onReadyRead() {
    if (m_done || !m_socket)
        return;
    m_idle.start();
    const QByteArray bytes = m_socket->readAll();
    m_answered = m_answered || !bytes.isEmpty();
    m_buffer += bytes;
    const int state = parse();
    if (state < 0)
        fail();
    else if (state > 0)
        succeed();
}

void PlainHttpExchange::onClosed() {
    if (m_done || !m_socket)
        return;
    // What arrived together with the close still counts.
    onReadyRead();
    if (m_done)
        return;
    const bool remoteClosed = m_socket->error() == QAbstractSocket::RemoteHostClosedError ||
                              m_socket->state() == QAbstractSocket::UnconnectedState;
    if (m_haveHead && m_untilClose && m_socket->error() == QAbstractSocket::RemoteHostClosedError) {
        m_body = m_buffer;
        succeed();
        return;
    }
    if (!m_answered && remoteClosed && m_attempts == 1 &&
        m_socket->error() != QAbstractSocket::ConnectionRefusedError) {
        dropSocket();
        m_buffer.clear();
        attempt();
        return;
    }
    fail();
}

int PlainHttpExchange::parse() {
    while (!m_haveHead) {
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return m_buffer.size() > MaxHeadBytes ? -1 : 0;
        const QByteArray head = m_buffer.left(end);
        m_buffer.remove(0, end + 4);
        if (!head.startsWith("HTTP/1.") || head.size() < 12 || head.at(8) != ' ')
            return -1;
        bool ok = false;
        const qint32 status = head.mid(9, 3).toInt(&ok);
        if (!ok || status < 100)
            return -1;
        if (status < 200)
            continue; // interim answers such as 100 Continue
        m_status = status;
        m_haveHead = true;
        for (const QByteArray& line : head.split('\n').mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed().toLower();
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (name == "content-length") {
                m_length = value.toLongLong(&ok);
                if (!ok || m_length < 0)
                    return -1;
            } else if (name == "transfer-encoding" && value.toLower().contains("chunked")) {
                m_chunked = true;
            } else if (name == "location") {
                m_location = value;
            }
        }
        if (m_headOnly || status == 204 || status == 304) {
            m_chunked = false;
            m_length = 0;
        }
        m_untilClose = !m_chunked && m_length < 0;
        const bool redirect = (status >= 301 && status <= 303) || status == 307 || status == 308;
        if (!redirect)
            m_location.clear();
        if (m_location.isEmpty())
            m_onHead(m_status);
        if (m_done)
            return 0;
    }
    if (m_chunked) {
        for (;;) {
            const qsizetype lineEnd = m_buffer.indexOf("\r\n");
            if (lineEnd < 0)
                return 0;
            QByteArray sizeText = m_buffer.left(lineEnd);
            const qsizetype extension = sizeText.indexOf(';');
            if (extension >= 0)
                sizeText.truncate(extension);
            bool ok = false;
            const qint64 size = sizeText.trimmed().toLongLong(&ok, 16);
            if (!ok || size < 0)
                return -1;
            if (size == 0) {
                // The last chunk, then optional trailer lines and an empty line.
                const qsizetype rest = lineEnd + 2;
                if (m_buffer.mid(rest).startsWith("\r\n"))
                    return 1;
                return m_buffer.indexOf("\r\n\r\n", rest) >= 0 ? 1 : 0;
            }
            if (m_buffer.size() < lineEnd + 2 + size + 2)
                return 0;
            m_body += m_buffer.mid(lineEnd + 2, size);
            m_buffer.remove(0, lineEnd + 2 + size + 2);
        }
    }
    if (m_untilClose)
        return 0;
    if (m_buffer.size() < m_length)
        return 0;
    m_body = m_buffer.left(m_length);
    return 1;
}

void PlainHttpExchange::succeed() {
    m_done = true;
    m_idle.stop();
    dropSocket();
    m_onDone(m_status, m_body, false, m_location);
}

void PlainHttpExchange::fail() {
    if (m_done)
        return;
    m_done = true;
    m_idle.stop();
    dropSocket();
    m_onDone(0, QByteArray(), true, QByteArray());
}
