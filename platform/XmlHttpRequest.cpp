#include "platform/XmlHttpRequest.h"

#include "common/ScriptError.h"
#include "common/TextHelpers.h"
#include "platform/PlainHttpExchange.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

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

QNetworkRequest MakeRequest(const QUrl& url, const QList<QPair<QByteArray, QByteArray>>& headers) {
    QNetworkRequest request(url);
    for (const auto& header : headers)
        request.setRawHeader(header.first, header.second);
    request.setTransferTimeout(XmlHttpRequest::TimeoutMs());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    return request;
}
// Whether requests to the address go straight to the server, with no proxy in between.
bool IsDirect(const QUrl& url) {
    const QNetworkProxy::ProxyType application = QNetworkProxy::applicationProxy().type();
    if (application != QNetworkProxy::NoProxy && application != QNetworkProxy::DefaultProxy)
        return false;
    if (!QNetworkProxyFactory::usesSystemConfiguration())
        return true;
    const QList<QNetworkProxy> proxies =
        QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url));
    return proxies.isEmpty() || proxies.first().type() == QNetworkProxy::NoProxy;
}
} // namespace

XmlHttpRequest::XmlHttpRequest(QObject* parent) : QObject(parent) {}

XmlHttpRequest::~XmlHttpRequest() {
    m_handler = nullptr;
    if (m_plain)
        m_plain->cancel();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        delete m_reply.data();
    }
}

int XmlHttpRequest::TimeoutMs() {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("TESSARY_HTTP_TIMEOUT_MS", &ok);
    return ok && value > 0 ? value : 300000;
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
    const QString scheme = parsed.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        throw RequestError(QStringLiteral("Unsupported address scheme: ") + parsed.scheme());
    if (method.trimmed().isEmpty())
        throw RequestError(QStringLiteral("Missing request method"));
    abort();
    m_method = method.trimmed().toUpper();
    m_url = parsed;
    m_async = async;
    m_headers.clear();
    m_status = 0;
    m_response.clear();
    setReadyState(Opened);
}

void XmlHttpRequest::setRequestHeader(const QString& name, const QString& value) {
    if (m_readyState != Opened || m_reply)
        throw RequestError(QStringLiteral("The request is not open"));
    if (name.isEmpty() || name.contains(QLatin1Char(':')) || name.contains(QLatin1Char('\r')) ||
        name.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')) ||
        value.contains(QLatin1Char('\n')))
        throw RequestError(QStringLiteral("Invalid request header"));
    m_headers.append({name.toLatin1(), value.toLatin1()});
}

void XmlHttpRequest::send(const QByteArray& body) {
    if (m_readyState != Opened || m_reply)
        throw RequestError(QStringLiteral("The request is not open"));
    if (!m_async) {
        sendSynchronously(body);
        return;
    }
    m_sentBody = body;
    m_redirects = 0;
    dispatch(body);
    setReadyState(Sent);
}

void XmlHttpRequest::dispatch(const QByteArray& body) {
    if (sendPlain(body))
        return;
    if (!m_manager)
        m_manager = new QNetworkAccessManager(this);
    QNetworkReply* reply =
        m_manager->sendCustomRequest(MakeRequest(m_url, m_headers), m_method.toLatin1(), body);
    m_reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        if (m_readyState < Sent)
            return;
        m_status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (m_readyState == Sent)
            setReadyState(Receiving);
    });
    connect(reply, &QNetworkReply::finished, this, &XmlHttpRequest::onFinished);
}

void XmlHttpRequest::onFinished() {
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    reply->disconnect(this);
    m_status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // A broken or timed-out transfer has no answer the page could trust.
    if (reply->error() != QNetworkReply::NoError && m_status == 0)
        m_response.clear();
    else
        m_response = reply->readAll();
    reply->deleteLater();
    setReadyState(Completed);
}

bool XmlHttpRequest::sendPlain(const QByteArray& body) {
    if (m_url.scheme().toLower() != QLatin1String("http") || !m_url.userInfo().isEmpty() ||
        m_url.host().isEmpty() || !IsDirect(m_url))
        return false;
    QByteArray target =
        m_url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/'))
        target.prepend('/');
    QByteArray host = m_url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (m_url.port() != -1)
        host += ':' + QByteArray::number(m_url.port());
    const QByteArray verb = m_method.toLatin1();
    QByteArray head = verb + ' ' + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    bool hasUserAgent = false;
    for (const auto& header : m_headers) {
        const QByteArray name = header.first.toLower();
        // The transport decides these itself.
        if (name == "host" || name == "content-length" || name == "connection" ||
            name == "transfer-encoding")
            continue;
        hasUserAgent = hasUserAgent || name == "user-agent";
        head += header.first + ": " + header.second + "\r\n";
    }
    if (!hasUserAgent)
        head += "User-Agent: Mozilla/5.0\r\n";
    if (!body.isEmpty() || (verb != "GET" && verb != "HEAD"))
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    m_plain = new PlainHttpExchange(
        this, head, body, m_url.host(), quint16(m_url.port(80)), verb == "HEAD",
        [this](qint32 status) {
            m_status = status;
            if (m_readyState == Sent)
                setReadyState(Receiving);
        },
        [this](qint32 status, const QByteArray& response, bool failed, const QByteArray& location) {
            onPlainFinished(status, response, failed, location);
        });
    return true;
}

void XmlHttpRequest::onPlainFinished(qint32 status, const QByteArray& response, bool failed,
                                     const QByteArray& location) {
    if (m_plain) {
        m_plain->deleteLater();
        m_plain = nullptr;
    }
    // Redirects are followed the way browsers do: 307 and 308 repeat the request, the others
    // turn it into a GET without a body.
    if (!failed && !location.isEmpty() && m_redirects < MaxRedirects) {
        const QUrl next = m_url.resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
        const QString scheme = next.scheme().toLower();
        if (next.isValid() &&
            (scheme == QLatin1String("http") || scheme == QLatin1String("https"))) {
            ++m_redirects;
            m_url = next;
            if (status != 307 && status != 308 && m_method != QLatin1String("GET") &&
                m_method != QLatin1String("HEAD")) {
                m_method = QStringLiteral("GET");
                m_sentBody.clear();
                m_headers.removeIf([](const QPair<QByteArray, QByteArray>& header) {
                    return header.first.toLower().startsWith("content-");
                });
            }
            dispatch(m_sentBody);
            return;
        }
    }
    m_status = failed ? 0 : status;
    m_response = failed ? QByteArray() : response;
    setReadyState(Completed);
}

void XmlHttpRequest::sendSynchronously(const QByteArray& body) {
    // The transfer runs on a thread of its own so that this thread's events (page timers,
    // other requests) wait until the answer is there.
    const QNetworkRequest request = MakeRequest(m_url, m_headers);
    const QByteArray verb = m_method.toLatin1();
    qint32 status = 0;
    QByteArray answer;
    bool failed = false;
    const qint64 limit = m_responseLimit;
    QString failure;
    QThread* worker = QThread::create([&] {
        QNetworkAccessManager manager;
        QEventLoop loop;
        QNetworkReply* reply = manager.sendCustomRequest(request, verb, body);
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        bool overLimit = false;
        if (limit > 0)
            QObject::connect(reply, &QNetworkReply::downloadProgress, &loop,
                             [&](qint64 received, qint64 announced) {
                                 if (received <= limit && announced <= limit)
                                     return;
                                 overLimit = true;
                                 reply->abort();
                             });
        bool overTime = false;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
            overTime = true;
            reply->abort();
        });
        deadline.start(TimeoutMs());
        if (!reply->isFinished())
            loop.exec();
        deadline.stop();
        status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        failed = (reply->error() != QNetworkReply::NoError && status == 0) || overLimit || overTime;
        failure = overLimit  ? QStringLiteral("The answer is larger than %1 bytes").arg(limit)
                  : overTime ? QStringLiteral("The answer did not arrive in time")
                             : reply->errorString();
        if (!failed)
            answer = reply->readAll();
        else
            status = 0;
        delete reply;
    });
    worker->start();
    worker->wait();
    delete worker;
    m_status = status;
    m_response = answer;
    m_readyState = Completed;
    if (failed)
        throw RequestError(failure);
}

void XmlHttpRequest::abort() {
    if (m_plain) {
        m_plain->cancel();
        m_plain->deleteLater();
        m_plain = nullptr;
    }
    if (m_reply) {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
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
    QPointer<XmlHttpRequest> alive(this);
    handler();
    Q_UNUSED(alive);
}

void XmlHttpRequestRelease::operator()(XmlHttpRequest* request) const {
    if (!request)
        return;
    request->clearOnReadyStateChange();
    request->deleteLater();
}
