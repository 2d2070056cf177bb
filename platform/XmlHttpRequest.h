#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrl>
#include <functional>

class CurlTransfer;
struct HttpOutcome;
struct OutgoingRequest;

// The HTTP request object pages and the bridge know: Open, setRequestHeader, send, abort,
// readyState, Status, responseText. The bytes go through libcurl (http:// and https://,
// proxies from the environment as curl reads them). Asynchronous requests notify on the
// thread that owns the object, through its event loop; synchronous ones block that thread
// without running any of its events. Every request has a deadline
// (TESSARY_HTTP_TIMEOUT_MS, 300 s by default) for the whole answer and a limit on the
// answer's length (1 MiB unless setResponseLimit says otherwise); a timed-out, broken or
// over-long answer completes with Status 0 and no text. Failures raise ScriptError.
class XmlHttpRequest : public QObject {
    Q_OBJECT

public:
    explicit XmlHttpRequest(QObject* parent = nullptr);
    ~XmlHttpRequest() override;

    // Called once per change of readyState (asynchronous mode only). abort() and
    // destruction never call it.
    void setOnReadyStateChange(std::function<void()> handler);
    void clearOnReadyStateChange();

    void Open(const QString& method, const QString& url, bool async);
    void setRequestHeader(const QString& name, const QString& value);
    void send(const QByteArray& body = {});
    void abort();

    qint32 readyState() const { return m_readyState; }
    qint32 Status() const;
    QString responseText() const;
    QByteArray responseBody() const;

    // The longest answer body taken, in bytes; a longer answer fails the request. Applies
    // to the requests sent afterwards.
    void setResponseLimit(qint64 bytes);
    qint64 responseLimit() const { return m_responseLimit; }
    static constexpr qint64 DefaultResponseLimit = 1024 * 1024;

    // The time-out every request gets: TESSARY_HTTP_TIMEOUT_MS when set to a positive
    // number, otherwise 300000.
    static int TimeoutMs();

private:
    void setReadyState(qint32 state);
    void sendSynchronously();
    void dispatch();
    OutgoingRequest nextExchange() const;
    void dropTransfer();
    void onHead();
    void onFinished(const HttpOutcome& outcome);
    // Whether the outcome asks for another exchange (a redirect, or the one resend after a
    // connection closed unanswered); if so, the request is changed for it.
    bool prepareNextExchange(const HttpOutcome& outcome);
    // Where a redirect answer leads, or an empty address when it is not followed.
    QUrl redirectTarget(qint32 status, const QByteArray& location) const;

    static constexpr int MaxRedirects = 20;

    std::function<void()> m_handler;
    QString m_method;
    QUrl m_url;
    QByteArray m_wireUrl; // what goes on the request line
    bool m_async = true;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    CurlTransfer* m_transfer = nullptr; // the exchange in flight (asynchronous mode)
    QByteArray m_sentBody;              // for a redirect or a resend that repeats it
    int m_redirects = 0;
    bool m_resent = false;
    QDeadlineTimer m_deadline;
    qint64 m_responseLimit = DefaultResponseLimit;
    qint32 m_readyState = 0;
    qint32 m_status = 0;
    QByteArray m_response;
};

// Releasing a request from inside its own notification is allowed: the object is
// detached from its handler at once and deleted by the event loop later.
struct XmlHttpRequestRelease {
    void operator()(XmlHttpRequest* request) const;
};
