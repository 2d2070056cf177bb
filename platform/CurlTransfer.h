#pragma once

#include "platform/HttpExchange.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class QSocketNotifier;
#include <curl/curl.h>

// Runs one HttpExchange on curl's multi interface, driven by the event loop of the thread
// that made it: curl says which sockets to watch and when to wake it, socket notifiers and
// a timer do the watching. The callbacks run on that thread, never from inside curl, so
// they may release the transfer, start another one or run nested event loops.
class CurlTransfer : public QObject {
public:
    using HeadArrived = std::function<void()>;
    using Finished = std::function<void(const HttpOutcome& outcome)>;

    CurlTransfer(std::unique_ptr<HttpExchange> exchange, HeadArrived onHead, Finished onDone);

    const HttpExchange& exchange() const { return *m_exchange; }

    // Stops the transfer without further callbacks and deletes it, now or, when called
    // from one of its own callbacks, as soon as that callback returns.
    void release();

private:
    ~CurlTransfer() override;

    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    static int onSocket(CURL* easy, curl_socket_t socket, int what, void* self, void* socketData);
    static int onTimer(CURLM* multi, long timeoutMs, void* self);
    void watch(curl_socket_t socket, int what);
    void forget(curl_socket_t socket);
    void act(curl_socket_t socket, int events);
    void report();

    std::unique_ptr<HttpExchange> m_exchange;
    HeadArrived m_onHead;
    Finished m_onDone;
    CURLM* m_multi = nullptr;
    QTimer m_timer;
    QHash<curl_socket_t, Watch> m_watches;
    int m_depth = 0; // callbacks of ours on the stack
    bool m_released = false;
    bool m_headReported = false;
    bool m_done = false;
};
