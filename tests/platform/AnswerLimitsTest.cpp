// What the request object does with answers that are too long, too slow or malformed:
// each ends the request as failed, in bounded time and memory, and never hands a caller
// part of an answer as if it were all of it.
#include "common/ScriptError.h"
#include "platform/XmlHttpRequest.h"
#include "tests/support/TestSupport.h"
#include "tests/upload/ScriptedServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using B = ScriptedServer::Behaviour;

struct Outcome {
    qint32 state = 0;
    qint32 status = -1;
    QByteArray body;
    qint64 elapsedMs = 0;
};

Outcome Post(ScriptedServer& server, QList<QPair<B, QByteArray>> script, qint64 limit = -1) {
    server.script(std::move(script));
    XmlHttpRequest request;
    if (limit >= 0)
        request.setResponseLimit(limit);
    QElapsedTimer clock;
    clock.start();
    request.Open("POST", server.url(), true);
    request.send("data");
    const QDeadlineTimer guard(30000);
    while (request.readyState() != 4 && !guard.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    Outcome outcome;
    outcome.state = request.readyState();
    outcome.elapsedMs = clock.elapsed();
    if (outcome.state == 4) {
        outcome.status = request.Status();
        outcome.body = request.responseBody();
    }
    return outcome;
}

QByteArray Head(const QByteArray& fields) {
    return "HTTP/1.1 200 OK\r\n" + fields + "\r\n";
}

// Sets the time-out for one test and restores it afterwards.
struct TimeoutFor {
    explicit TimeoutFor(const char* ms) { qputenv("TESSARY_HTTP_TIMEOUT_MS", ms); }
    ~TimeoutFor() { qunsetenv("TESSARY_HTTP_TIMEOUT_MS"); }
};

// A scripted server on a thread of its own, for synchronous requests: the test's thread
// runs no events while it waits.
class ServerThread {
public:
    explicit ServerThread(QList<QPair<B, QByteArray>> script) {
        m_thread.start();
        m_anchor.moveToThread(&m_thread);
        QMetaObject::invokeMethod(
            &m_anchor,
            [&] {
                m_server = new ScriptedServer;
                m_server->script(script);
            },
            Qt::BlockingQueuedConnection);
    }
    ~ServerThread() {
        QMetaObject::invokeMethod(
            &m_anchor, [&] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    QString url(const QString& path = QStringLiteral("/save")) const { return m_server->url(path); }
    QList<QByteArray> requests() {
        QList<QByteArray> copy;
        QMetaObject::invokeMethod(
            &m_anchor, [&] { copy = m_server->requests; }, Qt::BlockingQueuedConnection);
        return copy;
    }

private:
    QThread m_thread;
    QObject m_anchor;
    ScriptedServer* m_server = nullptr;
};

} // namespace

TEST(AnswerLimits, AHugeChunkSizeEndsInBoundedTimeAndMemory) {
    ScriptedServer server;
    const QByteArray chunked = Head("Transfer-Encoding: chunked\r\n");
    // The size alone, then the end of the connection.
    Outcome outcome = Post(server, {{B::Answer, chunked + "7ffffffffffffff0\r\n/files/a"}});
    EXPECT_EQ(outcome.state, 4);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.body.isEmpty());
    // The size, then more bytes than any answer may have: reading stops at the limit.
    outcome = Post(
        server, {{B::AnswerThenHang, chunked + "7ffffffffffffff0\r\n" + QByteArray(3 << 20, 'x')}});
    EXPECT_EQ(outcome.state, 4);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.body.isEmpty());
    // A size line that never ends, and a head line far longer than any real one.
    for (const QByteArray& endless : {chunked + QByteArray(8 << 20, '1'),
                                      "HTTP/1.1 200 OK\r\nX-Big: " + QByteArray(8 << 20, 'a')}) {
        outcome = Post(server, {{B::AnswerThenHang, endless}});
        EXPECT_EQ(outcome.state, 4);
        EXPECT_EQ(outcome.status, 0);
    }
}

TEST(AnswerLimits, TheDeadlineHoldsHoweverSlowlyTheAnswerTrickles) {
    ScriptedServer server;
    const TimeoutFor timeout("800");
    // 40 ms a byte: about 12 s for the whole answer, far past the deadline.
    const Outcome outcome =
        Post(server, {{B::SlowAnswer, ScriptedServer::Ok(QByteArray(300, 'a'))}});
    EXPECT_EQ(outcome.state, 4);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.body.isEmpty());
    EXPECT_LT(outcome.elapsedMs, 8000);
    // A head that arrives and a body that never does end the same way.
    const Outcome silent = Post(server, {{B::AnswerThenHang, Head("Content-Length: 10\r\n")}});
    EXPECT_EQ(silent.status, 0);
}

TEST(AnswerLimits, AnAnswerOverTheLimitIsNoAnswer) {
    ScriptedServer server;
    const qint64 limit = XmlHttpRequest::DefaultResponseLimit;
    EXPECT_EQ(limit, 1048576);
    const QByteArray full(limit, 'a');
    const QByteArray over(limit + 1, 'a');
    // Exactly the limit is taken, however it is framed.
    Outcome outcome = Post(server, {{B::Answer, ScriptedServer::Ok(full)}});
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.body.size(), limit);
    outcome = Post(server, {{B::Answer, "HTTP/1.0 200 OK\r\n\r\n" + full}});
    EXPECT_EQ(outcome.body.size(), limit);
    // One byte more fails: announced, unannounced or chunked.
    for (const QByteArray& answer :
         {ScriptedServer::Ok(over), "HTTP/1.0 200 OK\r\n\r\n" + over,
          Head("Transfer-Encoding: chunked\r\n") + QByteArray::number(over.size(), 16) + "\r\n" +
              over + "\r\n0\r\n\r\n"}) {
        outcome = Post(server, {{B::Answer, answer}});
        EXPECT_EQ(outcome.state, 4);
        EXPECT_EQ(outcome.status, 0) << answer.left(40).constData();
        EXPECT_TRUE(outcome.body.isEmpty());
    }
    // A caller that expects longer documents raises the limit.
    outcome = Post(server, {{B::Answer, ScriptedServer::Ok(over)}}, 4 * limit);
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.body, over);
}

TEST(AnswerLimits, AConnectionClosedUnansweredIsSentOnceMore) {
    ScriptedServer server;
    Outcome outcome =
        Post(server, {{B::DropMidRequest, {}}, {B::Answer, ScriptedServer::Ok("/files/b")}});
    EXPECT_EQ(outcome.status, 200);
    EXPECT_EQ(outcome.body, "/files/b");
    ASSERT_EQ(server.requests.size(), 2);
    EXPECT_TRUE(server.requests[1].endsWith("\r\n\r\ndata"));
    // Only once: a second drop ends the request.
    server.requests.clear();
    outcome = Post(server, {{B::DropMidRequest, {}}});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(server.requests.size(), 2);
}

TEST(SynchronousRequest, BlocksWithoutRunningPageEvents) {
    ServerThread server({{B::Answer, "HTTP/1.1 302 Found\r\nLocation: /there\r\n\r\n"},
                         {B::SlowAnswer, ScriptedServer::Ok("/sync/ok")}});
    bool timerRan = false;
    QTimer::singleShot(0, [&] { timerRan = true; });
    XmlHttpRequest request;
    int notifications = 0;
    request.setOnReadyStateChange([&] { ++notifications; });
    request.Open("Get", server.url(), false);
    request.send();
    EXPECT_FALSE(timerRan);
    EXPECT_EQ(notifications, 0);
    EXPECT_EQ(request.readyState(), 4);
    EXPECT_EQ(request.Status(), 200);
    EXPECT_EQ(request.responseText(), "/sync/ok");
    const QList<QByteArray> requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_TRUE(requests[1].startsWith("GET /there HTTP/1.1\r\n"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(timerRan);
}

TEST(SynchronousRequest, KeepsTheSameLimits) {
    ServerThread server(
        {{B::Answer, ScriptedServer::Ok(QByteArray(2 << 20, 'a'))},
         {B::AnswerThenHang, Head("Transfer-Encoding: chunked\r\n") + "7ffffffffffffff0\r\nabc"}});
    const TimeoutFor timeout("1500");
    for (int i = 0; i < 2; ++i) {
        XmlHttpRequest request;
        request.Open("GET", server.url(), false);
        EXPECT_THROW(request.send(), ScriptError);
        EXPECT_EQ(request.readyState(), 4);
        EXPECT_EQ(request.Status(), 0);
        EXPECT_EQ(request.responseText(), "");
    }
}

TEST(SecureRequest, AServerWithoutATrustedCertificateGetsNothing) {
    // A local TLS server whose certificate no authority signed: the exchange reaches the
    // handshake and must end there, as a failed request, without sending the body.
    ScratchFolder folder;
    const QString key = folder.file("key.pem");
    const QString cert = folder.file("cert.pem");
    const CommandResult made =
        RunCommand("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                               "-out", cert, "-days", "1", "-subj", "/CN=127.0.0.1", "-addext",
                               "subjectAltName=IP:127.0.0.1"});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    QProcess server;
    server.start("openssl", {"s_server", "-quiet", "-accept", QString("127.0.0.1:%1").arg(port),
                             "-key", key, "-cert", cert});
    ASSERT_TRUE(server.waitForStarted());
    QTcpSocket ready;
    const QDeadlineTimer up(10000);
    do {
        ready.connectToHost(QHostAddress::LocalHost, port);
    } while (!ready.waitForConnected(100) && !up.hasExpired());
    ready.abort();

    XmlHttpRequest request;
    request.Open("POST", QString("https://127.0.0.1:%1/save").arg(port), true);
    request.send("secret body");
    const QDeadlineTimer guard(20000);
    while (request.readyState() != 4 && !guard.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(request.readyState(), 4);
    EXPECT_EQ(request.Status(), 0);
    server.kill();
    server.waitForFinished();
    EXPECT_FALSE(server.readAllStandardOutput().contains("secret body"));
}
