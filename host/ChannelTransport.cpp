#include "host/ChannelTransport.h"

#include "host/HostLog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>
#include <QWebSocket>

namespace {
// Message types of the channel protocol that a page may send.
enum PageMessage { Init = 3, Idle = 4, InvokeMethod = 6, ConnectToSignal = 7, Disconnect = 8 };
} // namespace

ChannelTransport::ChannelTransport(QWebSocket& socket, const QString& objectName,
                                   const QMetaObject& meta, const QStringList& methods,
                                   QObject* parent)
    : QWebChannelAbstractTransport(parent), m_socket(socket), m_objectName(objectName) {
    for (const QString& name : methods) {
        m_methodNames.insert(name);
        for (int i = 0; i < meta.methodCount(); ++i) {
            if (meta.method(i).name() == name.toLatin1())
                m_methodIndices.insert(i);
        }
    }
    connect(&socket, &QWebSocket::textMessageReceived, this, &ChannelTransport::receive);
}

void ChannelTransport::sendMessage(const QJsonObject& message) {
    m_socket.sendTextMessage(
        QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

bool ChannelTransport::admits(const QJsonObject& message) const {
    switch (message.value(QLatin1String("type")).toInt(-1)) {
    case Init:
    case Idle:
        return true;
    case ConnectToSignal:
    case Disconnect:
        return message.value(QLatin1String("object")).toString() == m_objectName;
    case InvokeMethod: {
        if (message.value(QLatin1String("object")).toString() != m_objectName)
            return false;
        const QJsonValue method = message.value(QLatin1String("method"));
        if (method.isString()) {
            // A name may carry a signature, "call(int,QString,QVariantList)".
            QString name = method.toString();
            name.truncate(name.indexOf(QLatin1Char('(')) < 0 ? name.size()
                                                             : name.indexOf(QLatin1Char('(')));
            return m_methodNames.contains(name);
        }
        return method.isDouble() && m_methodIndices.contains(method.toInt(-1));
    }
    default:
        return false;
    }
}

void ChannelTransport::receive(const QString& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        LogRefusal(
            QStringLiteral("message that is not a JSON object from %1").arg(m_socket.origin()));
        return;
    }
    const QJsonObject message = document.object();
    if (!admits(message)) {
        LogRefusal(QStringLiteral("channel message of type %1 from %2")
                       .arg(message.value(QLatin1String("type")).toVariant().toString(),
                            m_socket.origin()));
        return;
    }
    emit messageReceived(message, this);
}
