#include "BlockingSocket.h"
#include "host/UploadReceiver.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#if !defined(__SANITIZE_ADDRESS__)
// Far too slow under the sanitizers; the normal build receives the file.

namespace {

constexpr qint64 FileBytes = 5'000'000'000LL;
constexpr qint64 BlockBytes = 8LL * 1024 * 1024;
const QByteArray Boundary = "---------------------------7d510424800090";

// A checksum that sees every byte and its position within its 8-byte word.
struct Checksum {
    quint64 value = 0xcbf29ce484222325ULL;
    void add(QByteArrayView bytes) {
        for (char c : bytes)
            value = (value ^ uchar(c)) * 0x100000001b3ULL;
    }
};

bool ReadAt(int fd, qint64 offset, QByteArray* bytes) {
    qsizetype done = 0;
    while (done < bytes->size()) {
        const ssize_t n =
            ::pread(fd, bytes->data() + done, size_t(bytes->size() - done), off_t(offset + done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

qint64 ResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace

// Writing five gigabytes takes minutes on a shared disk, so it runs when asked for:
// TESSARY_LARGE_TESTS=1.
TEST(LargeFile, FiveGigabytesArriveWholeBlockByBlock) {
    if (qEnvironmentVariableIntValue("TESSARY_LARGE_TESTS") != 1)
        GTEST_SKIP() << "set TESSARY_LARGE_TESTS=1 to receive a 5 GB file";
    ScratchFolder scratch;
    // A sparse source with known bytes around 4 GiB and at its end.
    const QString source = scratch.file("source.bin");
    {
        const int fd = ::open(QFile::encodeName(source).constData(), O_RDWR | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, FileBytes), 0);
        const QByteArray mark = "bytes past four gibibytes";
        for (qint64 at :
             {qint64(0), (4LL << 30) - 7, (4LL << 30) + BlockBytes - 3, FileBytes - mark.size()})
            ASSERT_EQ(::pwrite(fd, mark.constData(), size_t(mark.size()), off_t(at)), mark.size());
        ::close(fd);
    }
    UploadReceiver receiver;
    QString error;
    ASSERT_TRUE(receiver.open(scratch.file("store"), 0, &error)) << error.toStdString();

    const int fd = ::open(QFile::encodeName(source).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    BlockingSocket socket(receiver.port());
    Checksum sent;
    QByteArray token;
    QByteArray address;
    QByteArray block;
    const qint64 rssBefore = ResidentKb();
    qint64 rssPeak = rssBefore;
    const QByteArray path = "/data/disk.img";
    for (qint64 offset = 0; offset < FileBytes; offset += BlockBytes) {
        block.resize(qsizetype(std::min(BlockBytes, FileBytes - offset)));
        ASSERT_TRUE(ReadAt(fd, offset, &block));
        sent.add(block);
        const bool last = offset + BlockBytes >= FileBytes;
        const QByteArray target =
            "/u?x=1&action=mfu&type=file&rnd=001" +
            (token.isEmpty() ? QByteArray() : "&blockfile=" + token.replace("-", "%2D")) +
            (last ? "&blockflag=end" : "");
        const QByteArray opening =
            "--" + Boundary + "\r\nContent-Disposition: form-data; name=\"originalfile\"\r\n\r\n" +
            path + "\r\n--" + Boundary +
            "\r\nContent-Disposition: form-data; name=\"uploadfile\"; filename=\"" + path +
            "\"\r\nContent-Type: application/octet-stream\r\n\r\n";
        const QByteArray closing = "\r\n--" + Boundary + "--\r\n";
        const QByteArray head =
            "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " +
            "multipart/form-data; boundary=" + Boundary + "\r\nContent-Length: " +
            QByteArray::number(opening.size() + block.size() + closing.size()) + "\r\n\r\n";
        ASSERT_TRUE(socket.send(head + opening) && socket.send(block) && socket.send(closing));
        const QByteArray answer = socket.readAnswer(60000);
        ASSERT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.left(200).constData();
        const QByteArray body = answer.mid(answer.indexOf("\r\n\r\n") + 4);
        (last ? address : token) = body;
        if ((offset / BlockBytes) % 64 == 0)
            rssPeak = std::max(rssPeak, ResidentKb());
    }
    ::close(fd);
    // The test's own blocks come and go; the receiver adds no more than a little.
    EXPECT_LT(rssPeak - rssBefore, 64 * 1024);

    const QString stored =
        scratch.file("store/") + QString::fromLatin1(address.mid(address.lastIndexOf('/') + 1));
    EXPECT_TRUE(stored.endsWith(".img")) << stored.toStdString();
    const int storedFd = ::open(QFile::encodeName(stored).constData(), O_RDONLY);
    ASSERT_GE(storedFd, 0);
    Checksum received;
    qint64 size = 0;
    for (qint64 offset = 0;; offset += BlockBytes) {
        block.resize(BlockBytes);
        const ssize_t n = ::pread(storedFd, block.data(), size_t(BlockBytes), off_t(offset));
        ASSERT_GE(n, 0);
        if (n == 0)
            break;
        block.resize(n);
        received.add(block);
        size += n;
    }
    ::close(storedFd);
    EXPECT_EQ(size, FileBytes);
    EXPECT_EQ(received.value, sent.value);
    EXPECT_EQ(QDir(scratch.file("store"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .size(),
              1);
}

#endif
