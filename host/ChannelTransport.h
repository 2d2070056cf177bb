#pragma once

#include <QSet>
#include <QWebChannelAbstractTransport>

class QWebSocket;

// Carries the channel's JSON messages over one page's WebSocket. Only what a page needs
// passes: the channel's handshake, signal subscriptions and calls of the page methods of
// the one published object. Everything else (QObject's own slots such as deleteLater,
// property writes, malformed text) is dropped and logged.
class ChannelTransport : public QWebChannelAbstractTransport {
    Q_OBJECT
public:
    ChannelTransport(QWebSocket& socket, const QString& objectName, const QMetaObject& meta,
                     const QStringList& methods, QObject* parent = nullptr);

    void sendMessage(const QJsonObject& message) override;

    // Whether a message from the page may reach the channel; public for tests.
    bool admits(const QJsonObject& message) const;

private:
    void receive(const QString& text);

    QWebSocket& m_socket;
    QString m_objectName;
    QSet<QString> m_methodNames;
    QSet<int> m_methodIndices;
};
