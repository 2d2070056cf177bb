#pragma once

#include "host/OriginPolicy.h"
#include "host/PageSession.h"

#include <QObject>
#include <QTcpServer>
#include <QWebSocketServer>

class QTcpSocket;
class QWebSocket;

struct BrowserHostSettings {
    quint16 port = 0; // 0: any free port
    QStringList origins;
    qint64 maxMessageBytes = 64LL * 1024 * 1024;
    HostInfo info;
};

// Serves the demo page, the page library and qwebchannel.js over HTTP, and gives every
// page that opens a channel (a WebSocket on /channel) its own PageSession: its own page
// context, objects and temporary folder. Listens on 127.0.0.1 only; every request whose
// Host is not this host is refused, handshakes only from allowed origins.
class BrowserHost : public QObject {
    Q_OBJECT
public:
    explicit BrowserHost(QObject* parent = nullptr);
    ~BrowserHost() override;

    // False with a one-line reason (the port is taken, an origin is malformed).
    bool listen(const BrowserHostSettings& settings, QString* error);
    quint16 port() const { return m_tcp.serverPort(); }
    QString address() const;
    const OriginPolicy& origins() const { return m_origins; }
    int pageCount() const { return int(m_connections.size()); }

    // Heads larger than this are refused; a head that does not arrive in time is dropped.
    static constexpr qsizetype MaxHeadBytes = 16 * 1024;
    static constexpr int HeadTimeoutMs = 10000;

private:
    struct Connection;

    void acceptTcp();
    void examine(QTcpSocket* socket);
    void serveFile(QTcpSocket* socket, const QByteArray& method, const QByteArray& target);
    void refuse(QTcpSocket* socket, int status, const QString& why);
    void acceptPage();
    void endPage(Connection* connection);

    QTcpServer m_tcp;
    QWebSocketServer m_webSockets;
    OriginPolicy m_origins;
    BrowserHostSettings m_settings;
    std::vector<std::unique_ptr<Connection>> m_connections;
    quint64 m_pageNumber = 0;
};
