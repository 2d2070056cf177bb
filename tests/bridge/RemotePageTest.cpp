// Fetching documents from a real server on 127.0.0.1: what comes back as text, and that
// every way a server can fail ends in "" within bounded time and memory.
#include "bridge/clsRemote.h"
#include "platform/ObjectFactory.h"
#include "tests/bridge/PageServer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

using Kind = PageServer::Kind;

// Peak resident memory of the process so far, in bytes.
qint64 PeakMemory() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

class TimeoutScope {
public:
    explicit TimeoutScope(int ms) { qputenv("TESSARY_HTTP_TIMEOUT_MS", QByteArray::number(ms)); }
    ~TimeoutScope() { qunsetenv("TESSARY_HTTP_TIMEOUT_MS"); }
};

} // namespace

TEST(RemotePage, DecodesUtf8WithOrWithoutByteOrderMark) {
    PageServer server;
    const QByteArray sheet = "p{content:\"\xc3\xa9\xe4\xb8\xad\"}";
    server.answer("/plain.css", sheet);
    server.answer("/marked.css", "\xef\xbb\xbf" + sheet);
    server.answer("/broken.css", "a\xff"
                                 "b");
    clsRemote remote;
    const QString expected = QString::fromUtf8(sheet);
    EXPECT_EQ(remote.GetRemotePage(server.url("/plain.css")), expected);
    EXPECT_EQ(remote.GetRemotePage(server.url("/marked.css")), expected);
    EXPECT_EQ(remote.GetRemotePage(server.url("/broken.css")), QString::fromUtf8("a\xef\xbf\xbd"
                                                                                 "b"));
}

TEST(RemotePage, FailuresGiveEmptyText) {
    PageServer server;
    server.answer("/gone.css", "body{}", 404);
    server.answer("/empty.css", "");
    clsRemote remote;
    EXPECT_EQ(remote.GetRemotePage(server.url("/gone.css")), "");
    EXPECT_EQ(remote.GetRemotePage(server.url("/empty.css")), "");
    EXPECT_EQ(remote.GetRemotePage("not an address"), "");
    EXPECT_EQ(remote.GetRemotePage("file:///etc/passwd"), "");
    // Nobody listens on a port the server has just given up.
    QString closed;
    {
        PageServer gone;
        closed = gone.url("/a.css");
    }
    EXPECT_EQ(remote.GetRemotePage(closed), "");

    server.answer("/ok.css", "a{}");
    ObjectFactory::instance().SetFailure("Microsoft.XMLHTTP", "no requests here");
    EXPECT_EQ(remote.GetRemotePage(server.url("/ok.css")), "");
    ObjectFactory::instance().ClearFailures();
    ObjectFactory::instance().SetFailure("ADODB.Stream", "no streams here");
    EXPECT_EQ(remote.GetRemotePage(server.url("/ok.css")), "");
    ObjectFactory::instance().ClearFailures();
    EXPECT_EQ(remote.GetRemotePage(server.url("/ok.css")), "a{}");
}

TEST(RemotePage, AServerThatNeverFinishesTimesOut) {
    const TimeoutScope timeout(300);
    PageServer server;
    server.route("/stall.css", Kind::Hang);
    clsRemote remote;
    EXPECT_EQ(remote.GetRemotePage(server.url("/stall.css")), "");
    EXPECT_EQ(server.requested(), QStringList{"/stall.css"});
    // An answer that never stops coming, byte by byte, is still bounded by the time-out.
    server.route("/trickle.css", Kind::Trickle);
    EXPECT_EQ(remote.GetRemotePage(server.url("/trickle.css")), "");
}

TEST(RemotePage, DocumentsAreCappedInSize) {
    // A long time-out: only the cap can end the endless answer in reasonable time.
    const TimeoutScope timeout(120000);
    PageServer server;
    const QByteArray atLimit(clsRemote::MaxDocumentBytes, 'a');
    server.answer("/limit.css", atLimit);
    server.answer("/over.css", atLimit + "b");
    server.route("/endless.css", Kind::Endless);
    server.route("/announced.css", Kind::Answer,
                 "HTTP/1.1 200 OK\r\nContent-Length: 100000000000\r\n\r\nabc");
    clsRemote remote;
    EXPECT_EQ(remote.GetRemotePage(server.url("/limit.css")).size(), atLimit.size());
    EXPECT_EQ(remote.GetRemotePage(server.url("/over.css")), "");
    EXPECT_EQ(remote.GetRemotePage(server.url("/announced.css")), "");

    const qint64 before = PeakMemory();
    EXPECT_EQ(remote.GetRemotePage(server.url("/endless.css")), "");
    // Without the cap the answer would grow at loopback speed for two minutes.
    EXPECT_LT(PeakMemory() - before, 256LL * 1024 * 1024);
}
