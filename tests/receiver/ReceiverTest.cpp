#include "RawHttp.h"
#include "host/UploadReceiver.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// Every path under a folder, for telling that nothing appeared beside the storage folder.
QStringList Tree(const QString& root) {
    QStringList paths;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths.append(it.next());
    paths.sort();
    return paths;
}

QByteArray Binary() {
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i)
        bytes.append(char(i * 7 % 256));
    return bytes + QByteArray("\0\r\n\r\n-----------------------------7d51\r\n", 41);
}

struct Receiver : ::testing::Test {
    ScratchFolder scratch;
    QString store = scratch.file("store");
    UploadReceiver receiver;
    quint16 port = 0;

    void SetUp() override {
        QString error;
        ASSERT_TRUE(receiver.open(store, 0, &error)) << error.toStdString();
        port = receiver.port();
    }
    QByteArray base() const { return "http://127.0.0.1:" + QByteArray::number(port) + "/files/"; }
    QStringList stored() const {
        return QDir(store).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                     QDir::NoDotAndDotDot);
    }
    QByteArray bytesOf(const QByteArray& name) const {
        QFile file(store + "/" + QString::fromLatin1(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

} // namespace

TEST_F(Receiver, StoresTheFileAndGivesItBack) {
    const QByteArray bytes = Binary();
    const RawExchange posted = Exchange(port, UploadRequest("C:\\t\\a b.PNG", bytes), 1, false);
    ASSERT_EQ(posted.answers.size(), 1);
    EXPECT_EQ(posted.answers[0].status, 200) << posted.answers[0].body.constData();
    const QByteArray address = posted.answers[0].body;
    ASSERT_TRUE(address.startsWith(base())) << address.constData();
    const QByteArray name = address.mid(base().size());
    EXPECT_TRUE(IsStoredName(name) && name.endsWith(".png")) << name.constData();
    EXPECT_EQ(stored(), QStringList{QString::fromLatin1(name)});
    EXPECT_EQ(bytesOf(name), bytes);

    const RawExchange got =
        Exchange(port, "GET /files/" + name + "?v=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 1, false);
    ASSERT_EQ(got.answers.size(), 1);
    EXPECT_EQ(got.answers[0].status, 200);
    EXPECT_EQ(got.answers[0].body, bytes);
    const RawExchange head = Exchange(
        port, "HEAD /files/" + name + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 1, false, true);
    ASSERT_EQ(head.answers.size(), 1);
    EXPECT_TRUE(
        head.answers[0].head.contains("Content-Length: " + QByteArray::number(bytes.size())));

    receiver.setBaseUrl("/saved/");
    const RawExchange other = Exchange(port, UploadRequest("/home/u/x.gif", "GIF89a"), 1, false);
    ASSERT_EQ(other.answers.size(), 1);
    EXPECT_TRUE(other.answers[0].body.startsWith("/saved/")) << other.answers[0].body.constData();
    EXPECT_EQ(bytesOf(other.answers[0].body.mid(7)), "GIF89a");
}

TEST_F(Receiver, KeepsTheConnectionAcrossRequests) {
    // Two pipelined uploads, then one that waits for "100 Continue", all on one connection.
    const QByteArray big(3 * 1024 * 1024 + 17, '\x5a');
    const QByteArray requests = UploadRequest("/t/1.png", "one") + UploadRequest("/t/2.jpg", big) +
                                UploadRequest("/t/3.gif", "three", "Expect: 100-continue\r\n");
    const RawExchange exchange = Exchange(port, requests, 3, false);
    ASSERT_EQ(exchange.answers.size(), 3);
    EXPECT_FALSE(exchange.closed);
    QList<QByteArray> contents;
    for (const RawAnswer& answer : exchange.answers) {
        EXPECT_EQ(answer.status, 200);
        contents.append(bytesOf(answer.body.mid(base().size())));
    }
    EXPECT_EQ(contents, (QList<QByteArray>{"one", big, "three"}));
    EXPECT_EQ(stored().size(), 3);
    // HTTP/1.0 closes unless asked otherwise.
    const QByteArray old = UploadRequest("/t/4.png", "four").replace("HTTP/1.1", "HTTP/1.0");
    const RawExchange closing = Exchange(port, old, 1, true);
    ASSERT_EQ(closing.answers.size(), 1);
    EXPECT_EQ(closing.answers[0].status, 200);
    EXPECT_TRUE(closing.closed);
}

TEST_F(Receiver, HostileFileNamesNeverLeaveTheFolder) {
    const QStringList before = Tree(scratch.path());
    const QList<QPair<QByteArray, QString>> names{
        {"../../x", ""},           {"/etc/passwd", ""},
        {"a\\..\\b", ""},          {"../../../../tmp/evil.png", "png"},
        {"..\\..\\evil.sh", "sh"}, {QByteArray(5000, 'n') + ".gif", "gif"},
        {"x.png/../../y", ""},     {"\xc3\xa9t\xc3\xa9.jp\xc3\xa9g", ""},
        {"%2e%2e%2fx.png", "png"},
    };
    QStringList expected;
    for (const auto& [name, extension] : names) {
        const RawExchange exchange = Exchange(port, UploadRequest(name, name), 1, false);
        ASSERT_EQ(exchange.answers.size(), 1) << name.left(40).constData();
        const RawAnswer& answer = exchange.answers[0];
        EXPECT_EQ(answer.status, 200) << name.left(40).constData();
        const QByteArray stored = answer.body.mid(base().size());
        EXPECT_TRUE(IsStoredName(stored)) << stored.constData();
        EXPECT_EQ(QString::fromLatin1(stored.mid(17)), extension);
        EXPECT_EQ(bytesOf(stored), name);
        expected.append(store + "/" + QString::fromLatin1(stored));
    }
    // An empty file name is a form without a chosen file.
    const RawExchange empty = Exchange(port, UploadRequest("", "x"));
    ASSERT_EQ(empty.answers.size(), 1);
    EXPECT_EQ(empty.answers[0].status, 400);

    QStringList after = Tree(scratch.path());
    QStringList wanted = before + QStringList{store} + expected;
    wanted.removeDuplicates();
    wanted.sort();
    EXPECT_EQ(after, wanted);
}

TEST_F(Receiver, MalformedRequestsGetRefusedAndWriteNothing) {
    const QByteArray good = UploadRequest("/t/a.png", "data");
    const qsizetype split = good.indexOf("\r\n\r\n") + 4;
    const QByteArray body = good.mid(split);
    const QByteArray type =
        "multipart/form-data; boundary=---------------------------7d510421399871";
    const QByteArray noFile =
        QByteArray(body).replace("; filename=\"/t/a.png\"", ""); // only form fields
    const QList<QPair<QByteArray, int>> cases{
        {PostHead(body.size(), "multipart/form-data") + body, 415},
        {PostHead(body.size(), "multipart/form-data; boundary=" + QByteArray(71, '-')) + body, 415},
        {PostHead(body.size(), "application/x-www-form-urlencoded") + body, 415},
        {PostHead(body.size(), "multipart/form-data; boundary=other") + body, 400},
        {PostHead(body.size() - 4, type) + body.chopped(4), 400}, // no closing delimiter
        {PostHead(9, type) + "--nothing", 400},
        {PostHead(body.indexOf("uploadfile") - 40, type) +
             body.left(body.indexOf("uploadfile") - 40),
         400},
        {PostHead(noFile.size(), type) + noFile, 400},
        {good.left(split - 2) + "X-Pad: " + QByteArray(20000, 'p') + "\r\n\r\n" + body, 431},
        {"POST / HTTP/1.1\r\nX-Pad: " + QByteArray(70000, 'p'), 431}, // head never ends
        // Framings on which a proxy and the receiver could disagree where a request ends.
        {QByteArray(good).replace("Content-Length: ", "Content-Length: 3\r\nContent-Length: "),
         400},
        {QByteArray(good).replace("Content-Length:", "Content-Length :"), 400},
        {QByteArray(good).replace("Content-Length:", "Content-Length\t:"), 400},
        {QByteArray(good).replace("Host: 127.0.0.1\r\n", "Host: 127.0.0.1\r\nX-A: a\r\n b\r\n"),
         400},
        {QByteArray(good).replace("Host: 127.0.0.1\r\n", "Host: 127.0.0.1\r\nX-A: a\r\n\tb c\r\n"),
         400},
        {QByteArray(good).replace("/upload?", "/up\rload?"), 400},
        {QByteArray(good).replace("x=1", "x=\r1"), 400},
        {QByteArray(good).replace("POST", "PUT"), 405},
        {"DELETE /files/0123456789abcdef HTTP/1.1\r\nHost: x\r\n\r\n", 405},
        {QByteArray(good).replace("Content-Length", "X-Length"), 411},
        {QByteArray(good).replace("Content-Length: ", "Transfer-Encoding: chunked\r\nX: "), 411},
        {PostHead(5LL * 1024 * 1024 * 1024, type), 413},
        {QByteArray(good).replace("Content-Length: ", "Content-Length: 1x"), 400},
        {QByteArray(good).replace("Content-Length: ", "Content-Length: -"), 400},
        {"GET /files/x HTTP/2.0\r\nHost: x\r\n\r\n", 505},
        {"GET /files/../store HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /files/..%2f..%2fetc%2fpasswd HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /files/0123456789abcdef.png HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /files/ HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /etc/passwd HTTP/1.1\r\nHost: x\r\n\r\n", 404},
    };
    const QStringList before = Tree(scratch.path());
    for (const auto& [request, status] : cases) {
        const RawExchange exchange = Exchange(port, request);
        EXPECT_TRUE(exchange.closed) << request.left(80).constData();
        if (exchange.answers.size() != 1) {
            ADD_FAILURE() << "no answer to " << request.mid(140, 80).constData();
            continue;
        }
        EXPECT_EQ(exchange.answers[0].status, status) << request.left(80).constData();
        EXPECT_EQ(Tree(scratch.path()), before) << request.mid(140, 80).constData();
    }
    // A request line that does not parse ends the connection without an answer.
    EXPECT_TRUE(Exchange(port, "GARBAGE\r\n\r\n").closed);
    // The same length twice is one length.
    const RawExchange twice =
        Exchange(port,
                 QByteArray(good).replace("Content-Length: ",
                                          "Content-Length: " + QByteArray::number(body.size()) +
                                              "\r\nContent-Length: "),
                 1, false);
    ASSERT_EQ(twice.answers.size(), 1);
    EXPECT_EQ(twice.answers[0].status, 200);
    // A client that vanishes in the middle of its body leaves nothing either.
    {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        socket.write(good.left(good.size() - 10));
        ASSERT_TRUE(socket.waitForBytesWritten(5000));
        socket.abort();
    }
    const RawExchange last = Exchange(port, good, 1, false);
    ASSERT_EQ(last.answers.size(), 1);
    EXPECT_EQ(last.answers[0].status, 200);
    // The receiver notices the vanished client on its own thread.
    for (int i = 0; i < 100 && stored().size() != 2; ++i)
        QThread::msleep(100);
    EXPECT_EQ(stored().size(), 2) << stored().join(" ").toStdString();
    EXPECT_EQ(Tree(scratch.path()).size(), before.size() + 2);
}
