#include "platform/HttpExchange.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>

namespace {

void InitCurlOnce() {
    static const bool initialised = [] {
        return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    }();
    Q_UNUSED(initialised);
}

// The connection cache of the thread. Handles of one thread only ever use it from that
// thread, so it needs no lock.
struct ThreadConnectionCache {
    CURLSH* share = curl_share_init();
    ThreadConnectionCache() {
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    }
    ~ThreadConnectionCache() { curl_share_cleanup(share); }
};

CURLSH* ConnectionCache() {
    thread_local ThreadConnectionCache cache;
    return cache.share;
}

bool StartsWithNoCase(const char* data, size_t length, const char* prefix) {
    const size_t n = qstrlen(prefix);
    return length >= n && qstrnicmp(data, prefix, n) == 0;
}

} // namespace

HttpExchange::HttpExchange(OutgoingRequest request) : m_request(std::move(request)) {
    InitCurlOnce();
    m_easy = curl_easy_init();
    CURL* e = m_easy;
    curl_easy_setopt(e, CURLOPT_URL, m_request.url.constData());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_SHARE, ConnectionCache());
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, m_errorText);
    // A deadline for the whole exchange, not only for silence: an answer that trickles in
    // a byte at a time must not hold the caller for ever.
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, long(m_request.timeoutMs));
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, long(m_request.timeoutMs));
    // An announced length over the limit ends the exchange before the body is read; an
    // unannounced one is cut off in onBody.
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(m_request.responseLimit));
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &HttpExchange::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &HttpExchange::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);

    const QByteArray& method = m_request.method;
    if (method == "HEAD") {
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    } else if (method == "GET" && m_request.body.isEmpty()) {
        curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else {
        // curl reads the body in place, and again when it has to resend it.
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        // Larger pieces per write: fewer wake-ups of the event loop for a file of megabytes.
        curl_easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, 512L * 1024);
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(m_request.body.size()));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, m_request.body.constData());
        if (method != "POST")
            curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, method.constData());
    }

    bool hasUserAgent = false;
    bool hasContentType = false;
    for (const auto& header : m_request.headers) {
        const QByteArray name = header.first.toLower();
        // The transport decides these itself.
        if (name == "host" || name == "content-length" || name == "connection" ||
            name == "transfer-encoding" || name == "expect")
            continue;
        hasUserAgent = hasUserAgent || name == "user-agent";
        hasContentType = hasContentType || name == "content-type";
        const QByteArray line = header.first + ": " + header.second;
        m_headerList = curl_slist_append(m_headerList, line.constData());
    }
    if (!hasUserAgent)
        m_headerList = curl_slist_append(m_headerList, "User-Agent: Mozilla/5.0");
    // curl would otherwise label a body as a form, and wait for "100 Continue" before
    // sending a large one.
    if (!hasContentType)
        m_headerList = curl_slist_append(m_headerList, "Content-Type:");
    m_headerList = curl_slist_append(m_headerList, "Expect:");
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, m_headerList);
}

HttpExchange::~HttpExchange() {
    curl_easy_cleanup(m_easy);
    curl_slist_free_all(m_headerList);
}

HttpOutcome HttpExchange::perform() {
    return finish(curl_easy_perform(m_easy));
}

HttpOutcome HttpExchange::finish(int curlResult) {
    HttpOutcome outcome;
    const auto result = CURLcode(curlResult);
    long status = 0;
    curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
    if (result == CURLE_OK && status >= 200) {
        outcome.failed = false;
        outcome.status = qint32(status);
        outcome.body = std::move(m_body);
        outcome.location = m_location;
        return outcome;
    }
    outcome.nothingReceived =
        m_headBytes == 0 &&
        (result == CURLE_GOT_NOTHING || result == CURLE_SEND_ERROR || result == CURLE_RECV_ERROR);
    if (m_overLimit || result == CURLE_FILESIZE_EXCEEDED)
        outcome.error =
            QStringLiteral("The answer is longer than %1 bytes").arg(m_request.responseLimit);
    else if (m_headTooLong)
        outcome.error =
            QStringLiteral("The answer's head is longer than %1 bytes").arg(MaxHeadBytes);
    else if (m_errorText[0] != '\0')
        outcome.error = QString::fromUtf8(m_errorText);
    else
        outcome.error = QString::fromUtf8(curl_easy_strerror(result));
    m_body.clear();
    return outcome;
}

size_t HttpExchange::onHeader(char* data, size_t size, size_t count, void* self) {
    return static_cast<HttpExchange*>(self)->takeHeader(data, size * count);
}

size_t HttpExchange::onBody(char* data, size_t size, size_t count, void* self) {
    return static_cast<HttpExchange*>(self)->takeBody(data, size * count);
}

size_t HttpExchange::takeHeader(const char* data, size_t length) {
    m_headBytes += qint64(length);
    if (m_headBytes > MaxHeadBytes) {
        m_headTooLong = true;
        return 0; // a short count ends the exchange as failed
    }
    if (StartsWithNoCase(data, length, "HTTP/")) {
        // A new head: after an interim answer the final one follows.
        m_location.clear();
        m_finalHead = false;
    } else if (StartsWithNoCase(data, length, "location:")) {
        m_location = QByteArray(data + 9, qsizetype(length - 9)).trimmed();
    } else if (QByteArray::fromRawData(data, qsizetype(length)).trimmed().isEmpty()) {
        long status = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 200) {
            m_finalHead = true;
            m_status = qint32(status);
            curl_off_t announced = -1;
            curl_easy_getinfo(m_easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            if (announced > 0)
                m_body.reserve(qsizetype(std::min<curl_off_t>(announced, m_request.responseLimit)));
        }
    }
    return length;
}

size_t HttpExchange::takeBody(const char* data, size_t length) {
    if (m_body.size() + qint64(length) > m_request.responseLimit) {
        // Reading stops here; nothing of this answer is kept.
        m_overLimit = true;
        m_body.clear();
        return 0;
    }
    m_body.append(data, qsizetype(length));
    return length;
}
