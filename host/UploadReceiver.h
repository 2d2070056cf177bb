#pragma once

#include "host/UploadReceiverFolder.h"
#include "host/UploadReceiverMultipart.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

class ReceiverServer;

// The receiving end of the uploads: one multipart/form-data POST per file (or per block of a
// file sent block by block, "action=mfu"), whose file part is stored under a fresh name in
// one folder; the answer is the address of the stored copy. Listens on 127.0.0.1 only;
// GET and HEAD of /files/NAME give a stored file back.
//
// The HTTP work runs on a thread of its own, so the receiver can live in any Qt process
// without blocking its event loop; the folder is only touched from that thread.
class UploadReceiver : public QObject {
    Q_OBJECT
public:
    // Heads larger than this get 431.
    static constexpr qsizetype MaxHeadBytes = 16 * 1024;

    struct Settings {
        // Larger bodies get 413 before any of them is read.
        qint64 maxBodyBytes = 4096LL * 1024 * 1024;
        // Connections held at once; when the table is full, the oldest connection still
        // sending its request head makes room for a new one.
        int maxConnections = 1000;
        // A request head must be complete this long after it began, however it trickles.
        int headTimeoutMs = 10000;
        // A connection silent for this long is closed.
        int idleTimeoutMs = 60000;
        // A file sent block by block whose next block does not come within this is removed.
        qint64 partialExpiryMs = 3600LL * 1000;
    };

    explicit UploadReceiver(QObject* parent = nullptr);
    ~UploadReceiver() override;

    // Takes effect at open().
    void setSettings(const Settings& settings) { m_settings = settings; }
    Settings settings() const { return m_settings; }

    // Port 0 takes any free port.
    bool open(const QString& folder, quint16 port, QString* error);
    quint16 port() const { return m_port.load(); }
    QString folder() const { return m_folder.path(); }
    // "" means http://127.0.0.1:PORT/files/.
    void setBaseUrl(const QString& url);
    QString baseUrl() const;

private:
    Settings m_settings;
    UploadFolder m_folder;
    std::atomic<quint16> m_port{0};
    mutable QMutex m_baseUrlLock;
    QString m_baseUrl;
    std::unique_ptr<ReceiverServer> m_server;
};
