#include "BlockingSocket.h"
#include "RawHttp.h"
#include "host/UploadReceiver.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

// Files sent block by block the way the upload control sends them: each block a POST to
// the page's address with "&action=mfu&type=...&rnd=NNN", the previous answer as
// "&blockfile=" from the second block on, "&blockflag=end" on the last; a cancel is a GET
// with "&blockflag=cancel&blockfile=" and the last answer, "." and the extension.

namespace {

const QByteArray Boundary = "---------------------------7d510111300035";
const QByteArray Base = "/upload.asp?x=1&action=mfu&type=file";
const QByteArray LocalPath = "C:\\docs\\report.pdf";

// Percent-encoding as the control applies it to a token: letters and digits stay, a blank
// becomes "+", everything else "%XX" in upper case.
QByteArray UrlEncode(const QByteArray& text) {
    QByteArray out;
    for (char c : text) {
        const auto byte = uchar(c);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            out += c;
        else if (c == ' ')
            out += '+';
        else
            out += '%' + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
    }
    return out;
}

QByteArray BlockBody(const QByteArray& bytes) {
    return "--" + Boundary + "\r\nContent-Disposition: form-data; name=\"originalfile\"\r\n\r\n" +
           LocalPath + "\r\n--" + Boundary +
           "\r\nContent-Disposition: form-data; name=\"uploadfile\"; filename=\"" + LocalPath +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + bytes + "\r\n--" + Boundary +
           "--\r\n";
}

QByteArray BlockRequest(const QByteArray& target, const QByteArray& bytes) {
    const QByteArray body = BlockBody(bytes);
    return "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " +
           "multipart/form-data; boundary=" + Boundary +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

QByteArray Target(const QByteArray& token, bool last) {
    return Base + "&rnd=001" + (token.isEmpty() ? QByteArray() : "&blockfile=" + UrlEncode(token)) +
           (last ? "&blockflag=end" : "");
}

QByteArray FileBytes(qsizetype size) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

struct Blocks : ::testing::Test {
    ScratchFolder scratch;
    QString store = scratch.file("store");
    UploadReceiver receiver;
    quint16 port = 0;

    void open(const UploadReceiver::Settings& settings = {}) {
        receiver.setSettings(settings);
        QString error;
        ASSERT_TRUE(receiver.open(store, 0, &error)) << error.toStdString();
        port = receiver.port();
    }
    RawAnswer send(const QByteArray& request) {
        const RawExchange exchange = Exchange(port, request, 1, false);
        return exchange.answers.value(0);
    }
    RawAnswer block(const QByteArray& token, const QByteArray& bytes, bool last) {
        return send(BlockRequest(Target(token, last), bytes));
    }
    QStringList entries() const {
        return QDir(store).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                     QDir::NoDotAndDotDot);
    }
    QByteArray storedBytes(const QByteArray& address) const {
        const QByteArray prefix = "http://127.0.0.1:" + QByteArray::number(port) + "/files/";
        if (!address.startsWith(prefix))
            return "<not an address: " + address + ">";
        QFile file(store + "/" + QString::fromLatin1(address.mid(prefix.size())));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

bool IsToken(const QByteArray& answer, qint64 offset) {
    return QRegularExpression(QStringLiteral("^[0-9a-f]{16}-%1$").arg(offset))
        .match(QString::fromLatin1(answer))
        .hasMatch();
}

} // namespace

TEST_F(Blocks, AFileArrivesWholeBlockByBlock) {
    open();
    const QByteArray file = FileBytes(120000);
    const RawAnswer first = block({}, file.left(51200), false);
    ASSERT_EQ(first.status, 200);
    EXPECT_TRUE(IsToken(first.body, 51200)) << first.body.constData();
    EXPECT_EQ(entries().size(), 1); // the partial file, never served
    const RawAnswer second = block(first.body, file.mid(51200, 51200), false);
    ASSERT_EQ(second.status, 200);
    EXPECT_TRUE(IsToken(second.body, 102400)) << second.body.constData();
    EXPECT_EQ(second.body.left(16), first.body.left(16));
    const RawAnswer last = block(second.body, file.mid(102400), true);
    ASSERT_EQ(last.status, 200);
    EXPECT_TRUE(last.body.endsWith(".pdf")) << last.body.constData();
    EXPECT_EQ(storedBytes(last.body), file);
    EXPECT_EQ(entries().size(), 1);
    const RawAnswer served = send("GET /files/" + last.body.mid(last.body.lastIndexOf('/') + 1) +
                                  " HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(served.body, file);

    // A file of one block, and an empty one, come in a single request.
    const RawAnswer one = block({}, file.left(51200), true);
    ASSERT_EQ(one.status, 200);
    EXPECT_EQ(storedBytes(one.body), file.left(51200));
    const RawAnswer empty = block({}, {}, true);
    ASSERT_EQ(empty.status, 200);
    EXPECT_EQ(storedBytes(empty.body), QByteArray());
    EXPECT_EQ(entries().size(), 3);
}

TEST_F(Blocks, BlocksOutOfOrderOrForUnknownFilesAreRefused) {
    open();
    const QByteArray file = FileBytes(30000);
    const RawAnswer first = block({}, file.left(10000), false);
    const RawAnswer second = block(first.body, file.mid(10000, 10000), false);
    ASSERT_EQ(second.status, 200);
    // The second block again, and a block that skips ahead.
    EXPECT_EQ(block(first.body, file.mid(10000, 10000), false).status, 409);
    EXPECT_EQ(block(first.body.left(17) + "30000", file.mid(20000), true).status, 409);
    // Tokens this receiver never gave.
    const QByteArray id = first.body.left(16);
    for (const QByteArray& unknown :
         {QByteArray("0123456789abcdef-20000"), QByteArray("x"), QByteArray("../" + id),
          id.toUpper() + "-20000", id + "-", id + "-2e4", QByteArray()})
        EXPECT_EQ(block(unknown.isEmpty() ? "%" : unknown, file.mid(20000), true).status, 404)
            << unknown.constData();
    // The refusals changed nothing: the right block still completes the file exactly.
    const RawAnswer last = block(second.body, file.mid(20000), true);
    ASSERT_EQ(last.status, 200);
    EXPECT_EQ(storedBytes(last.body), file);
    // A completed file takes no more blocks.
    EXPECT_EQ(block(second.body, file.mid(20000), true).status, 404);
    EXPECT_EQ(entries().size(), 1);
}

TEST_F(Blocks, ACancelOrABrokenBlockRemovesThePartialFile) {
    open();
    const QByteArray file = FileBytes(20000);
    const RawAnswer first = block({}, file.left(10000), false);
    ASSERT_EQ(first.status, 200);
    const RawAnswer cancel =
        send("GET " + Base + "&blockflag=cancel&blockfile=" + UrlEncode(first.body + ".pdf") +
             " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(cancel.status, 200);
    EXPECT_EQ(entries(), QStringList());
    EXPECT_EQ(block(first.body, file.mid(10000), true).status, 404);

    // A block whose body is cut short is refused, and its file with it.
    const RawAnswer again = block({}, file.left(10000), false);
    ASSERT_EQ(again.status, 200);
    QByteArray broken = BlockRequest(Target(again.body, true), file.mid(10000));
    broken.chop(4);
    broken.replace("Content-Length: " + QByteArray::number(BlockBody(file.mid(10000)).size()),
                   "Content-Length: " + QByteArray::number(BlockBody(file.mid(10000)).size() - 4));
    EXPECT_EQ(send(broken).status, 400);
    EXPECT_EQ(entries(), QStringList());
    EXPECT_EQ(block(again.body, file.mid(10000), true).status, 404);
}

TEST_F(Blocks, PartialFilesLeftBehindExpire) {
    UploadReceiver::Settings settings;
    settings.partialExpiryMs = 300;
    open(settings);
    const RawAnswer first = block({}, "abc", false);
    ASSERT_EQ(first.status, 200);
    EXPECT_EQ(entries().size(), 1);
    QThread::msleep(1800);
    EXPECT_EQ(entries(), QStringList());
    EXPECT_EQ(block(first.body, "def", true).status, 404);
}
