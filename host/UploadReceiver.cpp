#include "host/UploadReceiver.h"
#include "host/UploadReceiverServer.h"

UploadReceiver::UploadReceiver(QObject* parent) : QObject(parent) {}

// The server goes first: its thread uses the folder.
UploadReceiver::~UploadReceiver() {
    m_server.reset();
}

bool UploadReceiver::open(const QString& folder, quint16 port, QString* error) {
    if (m_server) {
        *error = QStringLiteral("the receiver is open already");
        return false;
    }
    if (!m_folder.open(folder, error))
        return false;
    m_server = std::make_unique<ReceiverServer>(
        m_settings, m_folder, [this] { return baseUrl(); }, &m_port);
    if (!m_server->listen(port, error)) {
        m_server.reset();
        return false;
    }
    return true;
}

void UploadReceiver::setBaseUrl(const QString& url) {
    const QMutexLocker lock(&m_baseUrlLock);
    m_baseUrl = url;
}

QString UploadReceiver::baseUrl() const {
    const QMutexLocker lock(&m_baseUrlLock);
    if (!m_baseUrl.isEmpty())
        return m_baseUrl;
    return QStringLiteral("http://127.0.0.1:%1/files/").arg(m_port.load());
}
