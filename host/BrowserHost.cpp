#include "host/BrowserHost.h"

#include "host/ChannelTransport.h"
#include "host/HostLog.h"
#include "host/PageFiles.h"
#include "host/RequestHead.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTimer>
#include <QWebChannel>
#include <QWebSocket>
#include <QWebSocketCorsAuthenticator>
#include <unistd.h>

namespace {

const char* const ChannelPath = "/channel";
const char* const HandedOver = "tessaryHandedOver";

QByteArray StatusText(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 421:
        return "Misdirected Request";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

void Answer(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body,
            bool headOnly, const QByteArray& extra = {}) {
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + StatusText(status) +
                          "\r\nContent-Type: " + contentType +
                          "\r\nContent-Length: " + QByteArray::number(body.size()) +
                          "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff"
                          "\r\nConnection: close\r\n" +
                          extra + "\r\n";
    if (!headOnly)
        response += body;
    socket->write(response);
    socket->disconnectFromHost();
}

QString Peer(const QTcpSocket* socket) {
    return socket->peerAddress().toString() + QLatin1Char(':') +
           QString::number(socket->peerPort());
}

} // namespace

struct BrowserHost::Connection {
    std::unique_ptr<QWebSocket> socket;
    std::unique_ptr<PageSession> session;
    std::unique_ptr<QWebChannel> channel;
    std::unique_ptr<ChannelTransport> transport;
    bool ending = false;
};

BrowserHost::BrowserHost(QObject* parent)
    : QObject(parent), m_webSockets(QStringLiteral("tessary"), QWebSocketServer::NonSecureMode) {
    connect(&m_tcp, &QTcpServer::newConnection, this, &BrowserHost::acceptTcp);
    connect(&m_webSockets, &QWebSocketServer::newConnection, this, &BrowserHost::acceptPage);
    connect(&m_webSockets, &QWebSocketServer::originAuthenticationRequired, this,
            [this](QWebSocketCorsAuthenticator* authenticator) {
                const bool allowed = m_origins.allows(authenticator->origin());
                authenticator->setAllowed(allowed);
                if (!allowed) {
                    LogRefusal(QStringLiteral("channel handshake from origin \"%1\"")
                                   .arg(authenticator->origin()));
                }
            });
}

BrowserHost::~BrowserHost() {
    // Pages still open end with their objects before the rest of the host goes.
    for (auto& connection : m_connections) {
        connection->transport.reset();
        connection->channel.reset();
        connection->session.reset();
    }
}

QString BrowserHost::address() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(port());
}

bool BrowserHost::listen(const BrowserHostSettings& settings, QString* error) {
    m_settings = settings;
    for (const QString& origin : settings.origins) {
        if (!m_origins.add(origin)) {
            *error = QStringLiteral("\"%1\" is not an origin (scheme://host[:port], http or "
                                    "https, lower case, no path)")
                         .arg(origin);
            return false;
        }
    }
    if (!m_tcp.listen(QHostAddress::LocalHost, settings.port)) {
        *error = m_tcp.serverError() == QAbstractSocket::AddressInUseError
                     ? QStringLiteral("port %1 on 127.0.0.1 is already in use; choose another "
                                      "with --port")
                           .arg(settings.port)
                     : QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                           .arg(settings.port)
                           .arg(m_tcp.errorString());
        return false;
    }
    m_origins.add(QStringLiteral("http://127.0.0.1:%1").arg(port()));
    m_origins.add(QStringLiteral("http://localhost:%1").arg(port()));
    return true;
}

void BrowserHost::acceptTcp() {
    while (QTcpSocket* socket = m_tcp.nextPendingConnection()) {
        // Without it each small message waits for the peer's delayed acknowledgement.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { examine(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, [socket] {
            if (!socket->property(HandedOver).toBool())
                socket->deleteLater();
        });
        QTimer::singleShot(HeadTimeoutMs, socket, [socket] {
            if (!socket->property(HandedOver).toBool())
                socket->abort();
        });
    }
}

void BrowserHost::examine(QTcpSocket* socket) {
    const QByteArray head = socket->peek(MaxHeadBytes + 1);
    if (!head.contains("\r\n\r\n")) {
        if (head.size() > MaxHeadBytes)
            refuse(socket, 431, QStringLiteral("oversize request head from %1").arg(Peer(socket)));
        return;
    }
    const std::optional<RequestHead> request = ParseRequestHead(head);
    if (!request) {
        refuse(socket, 400, QStringLiteral("malformed request from %1").arg(Peer(socket)));
        return;
    }
    if (!IsOwnHost(request->header("host"), port())) {
        refuse(socket, 421,
               QStringLiteral("request for Host \"%1\" from %2")
                   .arg(QString::fromLatin1(request->header("host")), Peer(socket)));
        return;
    }
    if (request->isWebSocketUpgrade()) {
        if (request->target != ChannelPath || request->method != "GET") {
            refuse(socket, 404,
                   QStringLiteral("handshake for %1 from %2")
                       .arg(QString::fromLatin1(request->target), Peer(socket)));
            return;
        }
        // The WebSocket server reads the handshake itself and checks the origin.
        socket->disconnect(this);
        socket->setProperty(HandedOver, true);
        m_webSockets.handleConnection(socket);
        return;
    }
    socket->readAll();
    socket->disconnect(this);
    serveFile(socket, request->method, request->target);
}

void BrowserHost::serveFile(QTcpSocket* socket, const QByteArray& method,
                            const QByteArray& target) {
    if (method != "GET" && method != "HEAD") {
        refuse(
            socket, 405,
            QStringLiteral("%1 %2").arg(QString::fromLatin1(method), QString::fromLatin1(target)));
        return;
    }
    const qsizetype query = target.indexOf('?');
    const QByteArray path = query < 0 ? target : target.left(query);
    const std::optional<PageFile> file = FindPageFile(path);
    if (!file) {
        Answer(socket, 404, "text/plain; charset=utf-8", "not found\n", method == "HEAD");
        return;
    }
    Answer(socket, 200, file->contentType, file->content, method == "HEAD",
           "Content-Security-Policy: frame-ancestors 'self'\r\n");
}

void BrowserHost::refuse(QTcpSocket* socket, int status, const QString& why) {
    LogRefusal(why);
    socket->readAll();
    socket->disconnect(this);
    Answer(socket, status, "text/plain; charset=utf-8", StatusText(status) + '\n', false);
}

void BrowserHost::acceptPage() {
    while (QWebSocket* raw = m_webSockets.nextPendingConnection()) {
        auto connection = std::make_unique<Connection>();
        connection->socket.reset(raw);
        QWebSocket& socket = *raw;
        socket.setMaxAllowedIncomingMessageSize(quint64(m_settings.maxMessageBytes));
        socket.setMaxAllowedIncomingFrameSize(quint64(m_settings.maxMessageBytes));
        const QString folder = QStringLiteral("page-%1-%2").arg(::getpid()).arg(++m_pageNumber);
        connection->session = std::make_unique<PageSession>(folder, m_settings.info);
        connection->session->setOrigin(socket.origin());
        connection->channel = std::make_unique<QWebChannel>();
        // Every answer carries the state already; the channel's own batches are not used.
        connection->channel->setPropertyUpdateInterval(1000);
        connection->channel->registerObject(QStringLiteral("host"), connection->session.get());
        connection->transport = std::make_unique<ChannelTransport>(
            socket, QStringLiteral("host"), *connection->session->metaObject(),
            PageSession::PageMethods());
        connection->channel->connectTo(connection->transport.get());
        Connection* handle = connection.get();
        connect(&socket, &QWebSocket::disconnected, this, [this, handle] {
            if (handle->socket->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData) {
                LogRefusal(QStringLiteral("message over %1 bytes from %2")
                               .arg(m_settings.maxMessageBytes)
                               .arg(handle->socket->origin()));
            }
            endPage(handle);
        });
        m_connections.push_back(std::move(connection));
    }
}

void BrowserHost::endPage(Connection* connection) {
    if (connection->ending)
        return;
    connection->ending = true;
    connection->session->end([this, connection] {
        // Deferred: the socket's own signal may still be on the stack, and objects the
        // page's components released are deleted from the event loop first.
        QTimer::singleShot(0, this, [this, connection] {
            const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                         [&](const auto& c) { return c.get() == connection; });
            if (it == m_connections.end())
                return;
            std::unique_ptr<Connection> gone = std::move(*it);
            m_connections.erase(it);
            gone->channel->disconnectFrom(gone->transport.get());
            gone->transport.reset();
            gone->channel.reset();
            // After what the page's objects left for deletion, which may still refer to
            // the page context.
            gone->session.release()->deleteLater();
            gone->socket.release()->deleteLater();
        });
    });
}
