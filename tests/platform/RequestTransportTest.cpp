// The request object's transport, which carries the uploads: how it frames requests and
// how it reads the answers servers give.
#include "platform/XmlHttpRequest.h"
#include "tests/upload/ScriptedServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using B = ScriptedServer::Behaviour;

struct Outcome {
    QList<qint32> states;
    qint32 status = -1;
    QString text;
};

Outcome Post(ScriptedServer& server, const QByteArray& answer, const QByteArray& body = "data",
             const QString& path = "/save?f=1&a=b c") {
    server.script({{B::Answer, answer}});
    XmlHttpRequest request;
    Outcome outcome;
    request.setOnReadyStateChange([&] { outcome.states.append(request.readyState()); });
    request.Open("POST", server.url(path), true);
    request.setRequestHeader("Content-Type", "multipart/form-data; boundary=x");
    request.setRequestHeader("Content-Length", "1"); // the transport decides this one
    request.send(body);
    const QDeadlineTimer guard(20000);
    while (request.readyState() != 4 && !guard.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::usleep(200);
    }
    if (request.readyState() == 4) {
        outcome.status = request.Status();
        outcome.text = request.responseText();
    }
    return outcome;
}

} // namespace

TEST(RequestTransport, FramesTheRequestOnce) {
    ScriptedServer server;
    const QByteArray body("\0\r\n--x--\r\n", 10);
    const Outcome outcome = Post(server, ScriptedServer::Ok("/files/a.png"), body);
    EXPECT_EQ(outcome.states, (QList<qint32>{1, 2, 3, 4}));
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.text, "/files/a.png");
    ASSERT_EQ(server.requests.size(), 1);
    const QByteArray request = server.requests.first();
    const qsizetype split = request.indexOf("\r\n\r\n");
    const QByteArray head = request.left(split);
    EXPECT_TRUE(head.startsWith("POST /save?f=1&a=b%20c HTTP/1.1\r\n")) << head.constData();
    EXPECT_TRUE(head.contains("\r\nHost: 127.0.0.1:")) << head.constData();
    EXPECT_TRUE(head.contains("\r\nContent-Type: multipart/form-data; boundary=x"));
    EXPECT_EQ(head.count("Content-Length"), 1) << head.constData();
    EXPECT_TRUE(head.contains("\r\nContent-Length: 10"));
    EXPECT_EQ(request.mid(split + 4), body);
}

TEST(RequestTransport, ReadsEveryAnswerFraming) {
    ScriptedServer server;
    // Chunked, with an extension and a trailer.
    Outcome outcome = Post(server, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                   "4;x=y\r\n/a/b\r\n5\r\n.png\n\r\n0\r\nX-T: 1\r\n\r\n");
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.text, "/a/b.png\n");
    // An interim answer first, then one delimited by the end of the connection.
    outcome = Post(server, "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 200 OK\r\n\r\n/until/close");
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.text, "/until/close");
    // Other statuses and their bodies come through as they are.
    outcome = Post(server, ScriptedServer::Ok("gone", 404));
    EXPECT_EQ(outcome.status, 404);
    EXPECT_EQ(outcome.text, "gone");
}

TEST(RequestTransport, FollowsRedirectsLikeABrowser) {
    ScriptedServer server;
    const QByteArray elsewhere = server.url("/other?x=1").toLatin1();
    server.script({{B::Answer, "HTTP/1.1 307 Temporary\r\nLocation: /again\r\n\r\n"},
                   {B::Answer, "HTTP/1.1 302 Found\r\nLocation: " + elsewhere +
                                   "\r\nContent-Length: 3\r\n\r\nold"},
                   {B::Answer, ScriptedServer::Ok("/files/r.png")}});
    XmlHttpRequest request;
    QList<qint32> states;
    request.setOnReadyStateChange([&] { states.append(request.readyState()); });
    request.Open("POST", server.url(), true);
    request.setRequestHeader("Content-Type", "multipart/form-data; boundary=x");
    request.send("body");
    const QDeadlineTimer guard(20000);
    while (request.readyState() != 4 && !guard.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(request.readyState(), 4);
    EXPECT_EQ(request.Status(), 200);
    EXPECT_EQ(request.responseText(), "/files/r.png");
    EXPECT_EQ(states, (QList<qint32>{1, 2, 3, 4})); // the redirects themselves are not seen
    ASSERT_EQ(server.requests.size(), 3);
    // 307 repeats the request, body and all; 302 turns it into a plain GET.
    EXPECT_TRUE(server.requests[1].startsWith("POST /again HTTP/1.1\r\n"));
    EXPECT_TRUE(server.requests[1].endsWith("\r\n\r\nbody"));
    EXPECT_TRUE(server.requests[1].contains("multipart/form-data"));
    EXPECT_TRUE(server.requests[2].startsWith("GET /other?x=1 HTTP/1.1\r\n"));
    EXPECT_TRUE(server.requests[2].endsWith("\r\n\r\n"));
    EXPECT_FALSE(server.requests[2].contains("Content-"));
}

TEST(RequestTransport, BrokenAnswersCountAsNoAnswer) {
    ScriptedServer server;
    for (const QByteArray& broken :
         {QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n/files/a"),
          QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n8\r\n/files/"),
          QByteArray("SMTP ready\r\n\r\n"), QByteArray("HTTP/1.1 abc\r\n\r\n")}) {
        const Outcome outcome = Post(server, broken);
        EXPECT_EQ(outcome.status, 0) << broken.constData();
        EXPECT_EQ(outcome.text, "") << broken.constData();
        EXPECT_EQ(outcome.states.last(), 4);
    }
}

TEST(RequestTransport, AbortStopsWithoutNotifying) {
    ScriptedServer server;
    server.script({{B::Hang, {}}});
    XmlHttpRequest request;
    int calls = 0;
    request.setOnReadyStateChange([&] { ++calls; });
    request.Open("POST", server.url(), true);
    request.send("x");
    const QDeadlineTimer guard(20000);
    while (server.requests.isEmpty() && !guard.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(server.requests.size(), 1);
    request.abort();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(calls, 2); // "opened" and "sent" only
    EXPECT_EQ(request.readyState(), 0);
}

TEST(RequestTransport, TakesTheProxyFromTheEnvironment) {
    ScriptedServer proxy;
    qputenv("http_proxy", proxy.url("").toLatin1());
    const Outcome outcome = Post(proxy, ScriptedServer::Ok("/files/p.png"), "data", "/save?f=1");
    qunsetenv("http_proxy");
    ASSERT_EQ(proxy.requests.size(), 1);
    // Post() addresses the same port, but through the proxy the request line names the
    // whole address.
    EXPECT_TRUE(proxy.requests.first().startsWith("POST http://127.0.0.1:"))
        << proxy.requests.first().left(80).constData();
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.text, "/files/p.png");
}
