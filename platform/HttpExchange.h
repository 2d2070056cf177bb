#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <curl/curl.h>

// What one HTTP exchange sends. `body` is shared, not copied: it stays alive as long as
// the exchange, and curl reads it in place.
struct OutgoingRequest {
    QByteArray method;
    QByteArray url; // encoded, absolute http:// or https://
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    qint64 responseLimit = 0;
    int timeoutMs = 0;
};

// How an exchange ended. A failed exchange has no status and no answer: a caller never
// sees part of an answer as if it were all of it.
struct HttpOutcome {
    bool failed = true;
    QString error;
    qint32 status = 0;
    QByteArray body;
    QByteArray location; // the Location of a redirect answer, as sent
    // The connection ended before a single byte of an answer came back, so the server
    // cannot have acted on an answer the client never saw; sending once more is safe.
    bool nothingReceived = false;
};

// One request and its answer on a curl easy handle: the options every request gets
// (http and https only, proxies from the environment as curl reads them, the deadline,
// the answer limit, no automatic redirects) and the collection of the answer. Driven either
// by perform() on the calling thread or by an event-loop transfer (CurlTransfer).
// Connections are kept in a per-thread cache, so consecutive requests to one server reuse
// them.
class HttpExchange {
public:
    explicit HttpExchange(OutgoingRequest request);
    ~HttpExchange();
    HttpExchange(const HttpExchange&) = delete;
    HttpExchange& operator=(const HttpExchange&) = delete;

    CURL* handle() const { return m_easy; }

    // Blocks the calling thread until the exchange ends; no Qt event runs meanwhile.
    HttpOutcome perform();
    // The outcome for a curl result code (from perform or from the multi interface).
    HttpOutcome finish(int curlResult);

    // True once the head of the final answer (not an interim 1xx) has arrived.
    bool hasFinalHead() const { return m_finalHead; }
    qint32 headStatus() const { return m_status; }
    const QByteArray& headLocation() const { return m_location; }

    // The longest answer head accepted; curl's own per-line limit is larger.
    static constexpr qint64 MaxHeadBytes = 64 * 1024;

private:
    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    size_t takeHeader(const char* data, size_t length);
    size_t takeBody(const char* data, size_t length);

    OutgoingRequest m_request;
    CURL* m_easy = nullptr;
    struct curl_slist* m_headerList = nullptr;
    char m_errorText[256] = {};
    qint64 m_headBytes = 0;
    bool m_finalHead = false;
    bool m_overLimit = false;
    bool m_headTooLong = false;
    qint32 m_status = 0;
    QByteArray m_location;
    QByteArray m_body;
};
