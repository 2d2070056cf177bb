#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class PlainHttpExchange;

// The HTTP request object pages and the bridge know: Open, setRequestHeader, send, abort,
// readyState, Status, responseText. Asynchronous requests notify on the thread that owns
// the object, through its event loop; synchronous ones block on a private thread so that
// no page event runs meanwhile. Every request has a finite time-out
// (TESSARY_HTTP_TIMEOUT_MS, 300 s by default); a timed-out or broken request completes
// with Status 0. Asynchronous requests to http:// addresses without a proxy go over a direct
// HTTP/1.1 exchange (uploads run several times faster than through Qt's network stack);
// everything else goes through QNetworkAccessManager. Failures raise ScriptError.
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

    // The time-out every request gets: TESSARY_HTTP_TIMEOUT_MS when set to a positive
    // number, otherwise 300000. A synchronous request must also be complete within it, so a
    // server that trickles its answer cannot hold the page forever.
    static int TimeoutMs();

    // Largest answer body accepted, in bytes; a longer answer completes the request as
    // failed (Status 0, no body) as soon as it is seen, so a server that sends without end
    // costs no more memory than the limit. Honoured by synchronous requests, the ones that
    // fetch documents; a value of 0 or less means no limit (the default).
    void setResponseLimit(qint64 bytes) { m_responseLimit = bytes; }

private:
    void setReadyState(qint32 state);
    void onFinished();
    void sendSynchronously(const QByteArray& body);
    void dispatch(const QByteArray& body);
    bool sendPlain(const QByteArray& body);
    void onPlainFinished(qint32 status, const QByteArray& response, bool failed,
                         const QByteArray& location);

    static constexpr int MaxRedirects = 20;

    std::function<void()> m_handler;
    QString m_method;
    QUrl m_url;
    bool m_async = true;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QNetworkAccessManager* m_manager = nullptr;
    QPointer<QNetworkReply> m_reply;
    PlainHttpExchange* m_plain = nullptr; // child; the request in flight over plain HTTP
    QByteArray m_sentBody;                // for a redirect that repeats the request
    int m_redirects = 0;
    qint32 m_readyState = 0;
    qint32 m_status = 0;
    QByteArray m_response;
    qint64 m_responseLimit = 0;
};

// Releasing a request from inside its own notification is allowed: the object is
// detached from its handler at once and deleted by the event loop later.
struct XmlHttpRequestRelease {
    void operator()(XmlHttpRequest* request) const;
};
