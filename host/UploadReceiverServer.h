#pragma once

#include "host/UploadReceiver.h"
#include "host/UploadReceiverBlocks.h"

#include <atomic>
#include <functional>
#include <list>
#include <thread>
#include <unordered_set>

struct MHD_Daemon;
struct MHD_Connection;
struct ReceiverConnection;
struct ReceiverRequest;

// The HTTP side of the receiver on libmicrohttpd, driven by a thread of its own. Besides
// what the library checks, it refuses framings that let a proxy and this server disagree
// on where a request ends, keeps a deadline on every request head and makes room for new
// clients when its connection table is full.
class ReceiverServer {
public:
    // `port` is set to the port listened on before the first request can be served.
    ReceiverServer(const UploadReceiver::Settings& settings, UploadFolder& folder,
                   std::function<QString()> baseUrl, std::atomic<quint16>* port);
    ~ReceiverServer();
    ReceiverServer(const ReceiverServer&) = delete;
    ReceiverServer& operator=(const ReceiverServer&) = delete;

    bool listen(quint16 port, QString* error);

    // The library's callbacks, public for the trampolines only.
    bool acceptConnection();
    void connectionStarted(MHD_Connection* connection, void** context);
    void connectionClosed(void** context);
    int handle(MHD_Connection* connection, const char* url, const char* method,
               const char* uploadData, size_t* uploadDataSize, void** requestContext);
    void requestCompleted(MHD_Connection* connection, void** requestContext, bool completed);

private:
    void run();
    void evict(ReceiverConnection* slot);
    void dropVanishedSenders(qint64 now);
    void headStarted(ReceiverConnection* slot);
    void headEnded(ReceiverConnection* slot);
    int startRequest(MHD_Connection* connection, const char* method, void** requestContext);
    int startUpload(MHD_Connection* connection, void** requestContext);
    int cancelPartial(MHD_Connection* connection, const QByteArray& token);
    int serveFile(MHD_Connection* connection, const char* url);
    int finishUpload(MHD_Connection* connection, ReceiverRequest* request);
    void abandon(ReceiverRequest* request);

    UploadReceiver::Settings m_settings;
    UploadFolder& m_folder;
    PartialUploads m_partials;
    std::function<QString()> m_baseUrl;
    MHD_Daemon* m_daemon = nullptr;
    std::atomic<quint16>* m_port;
    int m_connectionCap = 0;
    int m_liveConnections = 0;
    // Connections whose request head is not complete yet, oldest head first.
    std::list<ReceiverConnection*> m_heads;
    // Connections in the middle of an upload's body.
    std::unordered_set<ReceiverConnection*> m_uploading;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
