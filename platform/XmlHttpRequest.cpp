#include "platform/XmlHttpRequest.h"

#include "common/ScriptError.h"
#include "common/TextHelpers.h"
#include "platform/CurlTransfer.h"
#include "platform/HttpExchange.h"

namespace {
constexpr qint32 Uninitialized = 0;
constexpr qint32 Opened = 1;
constexpr qint32 Sent = 2;
constexpr qint32 Receiving = 3;
constexpr qint32 Completed = 4;

ScriptError RequestError(const QString& description) {
    return ScriptError(ScriptErrorNumber::InvalidCall, description,
                       QStringLiteral("XmlHttpRequest"));
}

// The address goes out as the page wrote it when it is already fit for the wire: servers
// may tell "%2E" from "." in a query, and parsing would normalise one into the other.
QByteArray WireAddress(const QString& written, const QUrl& parsed) {
    const QString withoutFragment = written.left(written.indexOf(QLatin1Char('#')));
    for (const QChar c : withoutFragment) {
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7F)
            return parsed.toEncoded(QUrl::RemoveFragment);
    }
    return withoutFragment.toLatin1();
}

bool IsHttpScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}
} // namespace

XmlHttpRequest::XmlHttpRequest(QObject* parent) : QObject(parent) {}

XmlHttpRequest::~XmlHttpRequest() {
    m_handler = nullptr;
    dropTransfer();
}

int XmlHttpRequest::TimeoutMs() {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("TESSARY_HTTP_TIMEOUT_MS", &ok);
    return ok && value > 0 ? value : 300000;
}

void XmlHttpRequest::setResponseLimit(qint64 bytes) {
    m_responseLimit = std::max<qint64>(bytes, 0);
}

void XmlHttpRequest::setOnReadyStateChange(std::function<void()> handler) {
    m_handler = std::move(handler);
}

void XmlHttpRequest::clearOnReadyStateChange() {
    m_handler = nullptr;
}

void XmlHttpRequest::Open(const QString& method, const QString& url, bool async) {
    const QUrl parsed(url, QUrl::TolerantMode);
    if (!parsed.isValid() || parsed.isRelative())
        throw RequestError(QStringLiteral("The address is not valid: ") + url);
    if (!IsHttpScheme(parsed))
        throw RequestError(QStringLiteral("Unsupported address scheme: ") + parsed.scheme());
    if (method.trimmed().isEmpty())
        throw RequestError(QStringLiteral("Missing request method"));
    abort();
    m_method = method.trimmed().toUpper();
    m_url = parsed;
    m_wireUrl = WireAddress(url, parsed);
    m_async = async;
    m_headers.clear();
    m_status = 0;
    m_response.clear();
    setReadyState(Opened);
}

void XmlHttpRequest::setRequestHeader(const QString& name, const QString& value) {
    if (m_readyState != Opened || m_transfer)
        throw RequestError(QStringLiteral("The request is not open"));
    if (name.isEmpty() || name.contains(QLatin1Char(':')) || name.contains(QLatin1Char('\r')) ||
        name.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')) ||
        value.contains(QLatin1Char('\n')) || name.contains(QChar(0)) || value.contains(QChar(0)))
        throw RequestError(QStringLiteral("Invalid request header"));
    m_headers.append({name.toLatin1(), value.toLatin1()});
}

void XmlHttpRequest::send(const QByteArray& body) {
    if (m_readyState != Opened || m_transfer)
        throw RequestError(QStringLiteral("The request is not open"));
    m_sentBody = body;
    m_redirects = 0;
    m_resent = false;
    m_deadline = QDeadlineTimer(TimeoutMs());
    if (!m_async) {
        sendSynchronously();
        return;
    }
    dispatch();
    setReadyState(Sent);
}

OutgoingRequest XmlHttpRequest::nextExchange() const {
    OutgoingRequest request;
    request.method = m_method.toLatin1();
    request.url = m_wireUrl;
    request.headers = m_headers;
    request.body = m_sentBody;
    request.responseLimit = m_responseLimit;
    // Redirects and the resend share the deadline of the request the caller sent.
    request.timeoutMs = int(std::max<qint64>(m_deadline.remainingTime(), 1));
    return request;
}

void XmlHttpRequest::dispatch() {
    m_transfer = new CurlTransfer(
        std::make_unique<HttpExchange>(nextExchange()), [this] { onHead(); },
        [this](const HttpOutcome& outcome) { onFinished(outcome); });
}

void XmlHttpRequest::dropTransfer() {
    if (!m_transfer)
        return;
    m_transfer->release();
    m_transfer = nullptr;
}

void XmlHttpRequest::onHead() {
    const HttpExchange& exchange = m_transfer->exchange();
    // The page sees the final answer only, not the redirects on the way.
    if (redirectTarget(exchange.headStatus(), exchange.headLocation()).isValid())
        return;
    m_status = exchange.headStatus();
    if (m_readyState == Sent)
        setReadyState(Receiving);
}

void XmlHttpRequest::onFinished(const HttpOutcome& outcome) {
    dropTransfer();
    if (prepareNextExchange(outcome)) {
        dispatch();
        return;
    }
    m_status = outcome.failed ? 0 : outcome.status;
    m_response = outcome.failed ? QByteArray() : outcome.body;
    setReadyState(Completed);
}

QUrl XmlHttpRequest::redirectTarget(qint32 status, const QByteArray& location) const {
    const bool redirect =
        status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    if (!redirect || location.isEmpty() || m_redirects >= MaxRedirects)
        return {};
    const QUrl next = m_url.resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
    return next.isValid() && IsHttpScheme(next) ? next : QUrl();
}

bool XmlHttpRequest::prepareNextExchange(const HttpOutcome& outcome) {
    if (m_deadline.hasExpired())
        return false;
    if (outcome.failed) {
        // A connection that closed before any answer is tried once more, as browsers do.
        if (outcome.nothingReceived && !m_resent) {
            m_resent = true;
            return true;
        }
        return false;
    }
    const QUrl next = redirectTarget(outcome.status, outcome.location);
    if (!next.isValid())
        return false;
    // Redirects are followed the way browsers do: 307 and 308 repeat the request, the others
    // turn it into a GET without a body.
    ++m_redirects;
    m_resent = false;
    m_url = next;
    m_wireUrl = next.toEncoded(QUrl::RemoveFragment);
    if (outcome.status != 307 && outcome.status != 308 && m_method != QLatin1String("GET") &&
        m_method != QLatin1String("HEAD")) {
        m_method = QStringLiteral("GET");
        m_sentBody.clear();
        m_headers.removeIf([](const QPair<QByteArray, QByteArray>& header) {
            return header.first.toLower().startsWith("content-");
        });
    }
    return true;
}

void XmlHttpRequest::sendSynchronously() {
    // curl runs the exchange on this thread without its event loop, so no page timer,
    // notification or other request gets in while the caller waits.
    for (;;) {
        HttpExchange exchange(nextExchange());
        const HttpOutcome outcome = exchange.perform();
        if (prepareNextExchange(outcome))
            continue;
        m_status = outcome.failed ? 0 : outcome.status;
        m_response = outcome.failed ? QByteArray() : outcome.body;
        m_readyState = Completed;
        if (outcome.failed)
            throw RequestError(outcome.error);
        return;
    }
}

void XmlHttpRequest::abort() {
    dropTransfer();
    m_readyState = Uninitialized;
    m_status = 0;
    m_response.clear();
}

qint32 XmlHttpRequest::Status() const {
    if (m_readyState < Receiving)
        throw RequestError(
            QStringLiteral("The data necessary to complete this operation is not yet available"));
    return m_status;
}

QString XmlHttpRequest::responseText() const {
    return m_readyState == Completed ? DecodeUtf8(m_response) : QString();
}

QByteArray XmlHttpRequest::responseBody() const {
    return m_readyState == Completed ? m_response : QByteArray();
}

void XmlHttpRequest::setReadyState(qint32 state) {
    m_readyState = state;
    if (!m_async || !m_handler)
        return;
    // The handler may release this object or start another request on it: call a copy.
    const std::function<void()> handler = m_handler;
    handler();
}

void XmlHttpRequestRelease::operator()(XmlHttpRequest* request) const {
    if (!request)
        return;
    request->clearOnReadyStateChange();
    request->deleteLater();
}
