#include "ScriptedServer.h"
#include "bridge/PageContext.h"
#include "bridge/Tessarex.h"
#include "bridge/UploadFile.h"
#include "platform/ObjectFactory.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
using B = ScriptedServer::Behaviour;

bool WaitForOk(Tessarex& t, int ms = 20000) {
    QDeadlineTimer deadline(ms);
    while (t.Status() != "ok" && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return t.Status() == "ok";
}

QString Quoted(const QString& path) {
    return "\"file://" + path + "\"";
}

struct Upload : ::testing::Test {
    ScratchFolder dir;
    ScriptedServer server;
    PageContext page;
    Tessarex t{page};
    void SetUp() override {
        ObjectFactory::instance().ClearFailures();
        t.put_SendUrl(server.url());
        t.put_LocalExt("png|gif|jpg");
        t.put_LocalSize("100");
    }
    void TearDown() override { ObjectFactory::instance().ClearFailures(); }
};
} // namespace

TEST_F(Upload, RequestBytesFollowTheMultipartLayout) {
    const QByteArray bytes("\x89PNG\r\n\x1a\n\0\xff--binary\r\n", 20);
    const QString a = dir.write("a b.png", bytes);
    server.script({{B::Answer, ScriptedServer::Ok("/files/a.png\r\n")}});
    QString encoded = a;
    encoded.replace(" ", "%20");
    t.LocalUpload("<img src=" + Quoted(encoded) + "><a href=" + Quoted(encoded) + ">x</a>");
    ASSERT_TRUE(WaitForOk(t)) << t.Error().toStdString();
    EXPECT_EQ(t.Error(), "");
    ASSERT_EQ(server.requests.size(), 1);
    const QByteArray request = server.requests.first();
    const qsizetype split = request.indexOf("\r\n\r\n");
    const QByteArray head = request.left(split);
    const QByteArray body = request.mid(split + 4);
    EXPECT_TRUE(head.startsWith("POST /save?f=1&action=local&type=local&rnd=001 HTTP/1.1\r\n"))
        << head.constData();
    const QRegularExpression type(
        "Content-Type: multipart/form-data; boundary=-{27}(7d51\\d{5,6}\\d{5,6})\r\n",
        QRegularExpression::CaseInsensitiveOption);
    const auto match = type.match(QString::fromLatin1(head + "\r\n"));
    ASSERT_TRUE(match.hasMatch()) << head.constData();
    const QByteArray delimiter = "-----------------------------" + match.captured(1).toLatin1();
    const QByteArray path = a.toUtf8();
    const QByteArray expected =
        delimiter + "\r\nContent-Disposition: form-data; name=\"originalfile\"\r\n\r\n" + path +
        "\r\n" + delimiter +
        "\r\nContent-Disposition: form-data; name=\"uploadfile\"; filename=\"" + path +
        "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + bytes + "\r\n" + delimiter +
        "--\r\n";
    EXPECT_EQ(body, expected);
    // Both references rewritten, CR LF removed from the answer.
    EXPECT_EQ(t.Body(), "<img src=\"/files/a.png\"><a href=\"/files/a.png\">x</a>");
    EXPECT_EQ(t.OriginalFiles(), "a%20b.png");
    EXPECT_EQ(t.SavedFiles(), "/files/a.png");
}

TEST_F(Upload, SkipsFilteredFilesAndListsOnlyAcceptedOnes) {
    const QString first = dir.write("one.png", QByteArray(102400, 'a')); // exactly LocalSize
    const QString big = dir.write("big.png", QByteArray(102401, 'b'));
    const QString doc = dir.write("doc.bmp", "bmp"); // not in LocalExt
    const QString last = dir.write("three.gif", "");
    server.script(
        {{B::Answer, ScriptedServer::Ok("/s/1")}, {B::Answer, ScriptedServer::Ok("/s/3")}});
    const QString html =
        Quoted(first) + Quoted(big) + Quoted(doc) + Quoted(dir.file("missing.png")) + Quoted(last);
    t.LocalUpload(html);
    ASSERT_TRUE(WaitForOk(t));
    EXPECT_EQ(t.Error(), "");
    ASSERT_EQ(server.requests.size(), 2);
    EXPECT_TRUE(server.requests[0].contains("&rnd=001 "));
    EXPECT_TRUE(server.requests[1].contains("&rnd=005 "));
    EXPECT_EQ(t.OriginalFiles(), "one.png|three.gif");
    EXPECT_EQ(t.SavedFiles(), "/s/1|/s/3");
    EXPECT_EQ(t.Body(), "\"/s/1\"" + Quoted(big) + Quoted(doc) + Quoted(dir.file("missing.png")) +
                            "\"/s/3\"");
}

TEST_F(Upload, RefusalsLeaveFilesUnlistedAndTheRunGoesOn) {
    QString html;
    for (const char* name : {"a.png", "b.png", "c.png", "d.png", "e.png"})
        html += Quoted(dir.write(name, name));
    server.script({{B::Answer, ScriptedServer::Ok("no", 404)},
                   {B::Answer, ScriptedServer::Ok("oops", 500)},
                   {B::Answer, ScriptedServer::Ok("")},
                   {B::DropMidRequest, {}},
                   {B::DropMidRequest, {}}, // the network layer resends once after a drop
                   {B::Answer, ScriptedServer::Ok("/e\r\n.png\r\n")}});
    t.LocalUpload(html);
    ASSERT_TRUE(WaitForOk(t));
    EXPECT_EQ(t.Error(), "");
    EXPECT_GE(server.requests.size(), 5);
    EXPECT_EQ(t.OriginalFiles(), "e.png");
    EXPECT_EQ(t.SavedFiles(), "/e.png");
}

TEST_F(Upload, ASlowAnswerIsWaitedForUntilTheDeadline) {
    // Each answer takes about 3 s to arrive byte by byte (40 ms apart). Within the time-out it
    // is taken; past it the file counts as refused however steadily the bytes come.
    const QString a = dir.write("a.png", "a");
    const QString b = dir.write("b.png", "b");
    server.script({{B::SlowAnswer, ScriptedServer::Ok("/slow/a.png\r\n")}});
    qputenv("TESSARY_HTTP_TIMEOUT_MS", "30000");
    t.LocalUpload(Quoted(a));
    bool ok = WaitForOk(t);
    qunsetenv("TESSARY_HTTP_TIMEOUT_MS");
    ASSERT_TRUE(ok);
    EXPECT_EQ(t.Error(), "");
    EXPECT_EQ(t.SavedFiles(), "/slow/a.png");
    EXPECT_EQ(t.Body(), "\"/slow/a.png\"");

    // About 10 s of trickle against a deadline of 1 s.
    server.script({{B::SlowAnswer, ScriptedServer::Ok("/slow/" + QByteArray(240, 'b'))}});
    qputenv("TESSARY_HTTP_TIMEOUT_MS", "1000");
    QElapsedTimer clock;
    clock.start();
    t.LocalUpload(Quoted(b));
    ok = WaitForOk(t);
    qunsetenv("TESSARY_HTTP_TIMEOUT_MS");
    ASSERT_TRUE(ok);
    EXPECT_LT(clock.elapsed(), 7000); // ended by the deadline, not by the last byte
    EXPECT_EQ(t.SavedFiles(), "");
    EXPECT_EQ(t.Body(), Quoted(b));
}

TEST_F(Upload, AHangingRequestTimesOutAndCountsAsRefused) {
    qputenv("TESSARY_HTTP_TIMEOUT_MS", "300");
    const QString a = dir.write("a.png", "a");
    const QString b = dir.write("b.png", "b");
    server.script({{B::Hang, {}}, {B::Answer, ScriptedServer::Ok("/b")}});
    t.LocalUpload(Quoted(a) + Quoted(b));
    const bool ok = WaitForOk(t);
    qunsetenv("TESSARY_HTTP_TIMEOUT_MS");
    ASSERT_TRUE(ok);
    EXPECT_EQ(t.Error(), "");
    EXPECT_EQ(t.SavedFiles(), "/b");
    EXPECT_EQ(t.Body(), Quoted(a) + "\"/b\"");
}

TEST_F(Upload, FallsBackThroughRequestIdsAndStopsWhenNoneWorks) {
    const QString a = dir.write("a.png", "a");
    ObjectFactory::instance().SetFailure("MSXML2.XMLHttp.3.0", "first gone");
    ObjectFactory::instance().SetFailure("MSXML2.XMLHttp", "second gone");
    server.script({{B::Answer, ScriptedServer::Ok("/a")}});
    t.LocalUpload(Quoted(a));
    ASSERT_TRUE(WaitForOk(t));
    EXPECT_EQ(t.Error(), "");
    EXPECT_EQ(t.SavedFiles(), "/a");

    for (const QString& id : ObjectFactory::XmlHttpProgIds())
        ObjectFactory::instance().SetFailure(id, "no http " + id);
    t.LocalUpload(Quoted(a));
    EXPECT_EQ(t.Status(), "ok");
    EXPECT_EQ(t.Error(), "XMLHTTP-Create:no http MSXML2.XMLHttp.5.0");
    EXPECT_EQ(t.Body(), Quoted(a));
    EXPECT_EQ(server.requests.size(), 1);
}

TEST_F(Upload, AnUnreadableFileIsNeverSentTruncated) {
    const QString a = dir.write("a.png", "secret");
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(a).constData(), 0), 0);
    // Root reads anything: look at the file as an ordinary user while the request is built.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::seteuid(65534), 0);
    }
    t.LocalUpload(Quoted(a));
    if (root) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_EQ(t.Status(), "ok");
    EXPECT_TRUE(t.Error().startsWith("XMLHTTP-Send:")) << t.Error().toStdString();
    EXPECT_EQ(t.Body(), Quoted(a));
    EXPECT_EQ(t.SavedFiles(), "");
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST_F(Upload, PathsThatWouldBreakThePartHeaderAreSkipped) {
    CallState& s = page.callState();
    s.LocalExt = "png";
    s.LocalSize = 100;
    s.RunIndex = 1;
    s.SavedNames = QStringList{"", "stale"};
    const QString quote = dir.write("a\"b.png", "x");
    const QString feed = dir.write("a\nb.png", "x");
    EXPECT_TRUE(UploadFile(s, quote, server.url()));
    EXPECT_TRUE(UploadFile(s, feed, server.url()));
    EXPECT_EQ(s.SavedNames.at(1), "");
    EXPECT_FALSE(s.UploadRequest);
}

TEST_F(Upload, HtmlWithoutLocalFilesFinishesInsideTheCall) {
    t.LocalUpload("<a href='file:///C:/doc.htm#part2'>x</a><img src=\"file:///C:/t/report.doc\">");
    EXPECT_EQ(t.Status(), "ok");
    EXPECT_EQ(t.Body(), "<a href='#part2'>x</a><img src=\"file:///C:/t/report.doc\">");
    EXPECT_EQ(t.OriginalFiles(), "");
    EXPECT_EQ(t.Error(), "");
}

TEST_F(Upload, ObjectEndReleasesARequestInFlight) {
    const QString a = dir.write("a.png", "a");
    server.script({{B::Hang, {}}});
    {
        Tessarex other(page);
        other.put_LocalExt("png");
        other.put_LocalSize("1");
        other.LocalUpload(Quoted(a));
        EXPECT_EQ(other.Status(), "") << other.Error().toStdString();
    }
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(page.callState().UploadRequest);
}

TEST_F(Upload, AnswersThatCannotBeAnAddressAreNotAccepted) {
    QString html;
    for (const char* name : {"a.png", "b.png", "c.png", "d.png", "f.png", "e.png"})
        html += Quoted(dir.write(name, name));
    server.script({{B::Answer, ScriptedServer::Ok("\"><script>alert(1)</script>")},
                   {B::Answer, ScriptedServer::Ok("/files/<b>.png")},
                   {B::Answer, ScriptedServer::Ok(QByteArray(3 << 20, 'x'))},
                   {B::Answer, "HTTP/1.0 200 OK\r\n\r\n/" + QByteArray(3 << 20, 'y')},
                   {B::AnswerThenHang, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                       "7ffffffffffffff0\r\n/files/f.png"},
                   {B::Answer, ScriptedServer::Ok("/files/e.png")}});
    qputenv("TESSARY_HTTP_TIMEOUT_MS", "2000"); // the endless chunk ends at the deadline
    t.LocalUpload(html);
    const bool ok = WaitForOk(t);
    qunsetenv("TESSARY_HTTP_TIMEOUT_MS");
    ASSERT_TRUE(ok);
    EXPECT_EQ(t.Error(), "");
    EXPECT_EQ(t.OriginalFiles(), "e.png");
    EXPECT_EQ(t.SavedFiles(), "/files/e.png");
    EXPECT_FALSE(t.Body().contains("<script>"));
    EXPECT_EQ(t.Body().size(), html.size() - Quoted(dir.file("e.png")).size() + 14);
}
