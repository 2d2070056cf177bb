#include "BlockingSocket.h"
#include "RawHttp.h"
#include "host/UploadReceiver.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

struct Hardening : ::testing::Test {
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
    // Every entry of the folder, temporary files included.
    QStringList entries() const {
        return QDir(store).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                     QDir::NoDotAndDotDot);
    }
    // The answer's status line and body of one exchange on a fresh connection.
    QByteArray statusOf(const QByteArray& request) {
        BlockingSocket socket(port);
        socket.send(request);
        return socket.readAnswer(10000).left(12);
    }
};

qint64 ProcessCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

[[maybe_unused]] qint64 ResidentKb() {
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

TEST_F(Hardening, AHalfClosedClientIsAnswered) {
    open();
    BlockingSocket socket(port);
    ASSERT_TRUE(socket.send(UploadRequest("/t/a.png", "half")));
    socket.shutdownSending();
    const QByteArray answer = socket.readAnswer(10000);
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.constData();
    EXPECT_TRUE(answer.contains("/files/"));
    EXPECT_EQ(entries().size(), 1);
}

TEST_F(Hardening, ASlowHeadIsDroppedAtItsDeadline) {
    UploadReceiver::Settings settings;
    settings.headTimeoutMs = 1200;
    open(settings);
    const QByteArray head = UploadRequest("/t/a.png", "slow");
    BlockingSocket socket(port);
    QElapsedTimer timer;
    timer.start();
    // A byte every 200 ms keeps any idle timer from firing; only the deadline ends it.
    bool closed = false;
    for (qsizetype i = 0; i < 40 && !closed; ++i) {
        closed = !socket.send(head.mid(i, 1));
        QThread::msleep(200);
        closed = closed || socket.closedByPeer();
    }
    EXPECT_TRUE(closed);
    EXPECT_GE(timer.elapsed(), 1000);
    EXPECT_LT(timer.elapsed(), 4000);
    // A keep-alive connection gets the deadline anew for its next request's head.
    BlockingSocket kept(port);
    ASSERT_TRUE(kept.send(UploadRequest("/t/b.png", "kept")));
    bool keptClosed = false;
    const QByteArray answer = kept.readUntilClosed(4000, &keptClosed);
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.constData();
    EXPECT_TRUE(keptClosed);
    EXPECT_EQ(entries().size(), 1);
}

TEST_F(Hardening, ManySlowClientsDoNotLockUploadsOut) {
    // Room for both ends of every connection in this one process.
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ASSERT_GE(limit.rlim_cur, rlim_t(2600)) << "the hard descriptor limit is too low";
    UploadReceiver::Settings settings;
    settings.maxConnections = 1000;
    settings.headTimeoutMs = 60000; // only making room can let the upload in
    open(settings);

    std::vector<std::unique_ptr<BlockingSocket>> slow;
    for (int i = 0; i < 1100; ++i) {
        slow.push_back(std::make_unique<BlockingSocket>(port));
        ASSERT_TRUE(slow.back()->isOpen());
        slow.back()->send("POST /upload HTTP/1.1\r\nHo");
    }
    QThread::msleep(300);
    const qint64 cpuBefore = ProcessCpuMs();
    QThread::msleep(1000);
    // A full table is waited on, not polled.
    EXPECT_LT(ProcessCpuMs() - cpuBefore, 300);

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(statusOf(UploadRequest("/t/a.png", "still served")), "HTTP/1.1 200");
    EXPECT_LT(timer.elapsed(), 3000);
    // The slow ones go on sending; those dropped for room see their connection end.
    int dropped = 0;
    for (auto& socket : slow) {
        socket->send("s");
        dropped += socket->closedByPeer() ? 1 : 0;
    }
    EXPECT_GE(dropped, 100);
    EXPECT_EQ(entries().size(), 1);
}

TEST_F(Hardening, ABodyOverTheLimitIsRefusedUnread) {
    UploadReceiver::Settings settings;
    settings.maxBodyBytes = 1024 * 1024;
    open(settings);
    const QByteArray fits = UploadRequest("/t/a.bin", QByteArray(1024 * 1024 - 400, 'f'));
    EXPECT_EQ(statusOf(fits), "HTTP/1.1 200");
    const QByteArray over = UploadRequest("/t/b.bin", QByteArray(1024 * 1024, 'o'));
    EXPECT_EQ(statusOf(over), "HTTP/1.1 413");
    EXPECT_EQ(entries().size(), 1);
}

#if !defined(__SANITIZE_ADDRESS__)
// Hundreds of megabytes are too slow under the sanitizers.
TEST_F(Hardening, MemoryDoesNotGrowWithTheBody) {
    open();
    constexpr qint64 ContentBytes = 400LL * 1024 * 1024;
    const QByteArray token = "---------------------------7d510421399871";
    const QByteArray opening = "--" + token +
                               "\r\nContent-Disposition: form-data; name=\"uploadfile\"; "
                               "filename=\"big.bin\"\r\n\r\n";
    const QByteArray closing = "\r\n--" + token + "--\r\n";
    BlockingSocket socket(port);
    ASSERT_TRUE(socket.send(PostHead(opening.size() + ContentBytes + closing.size(),
                                     "multipart/form-data; boundary=" + token) +
                            opening));
    QByteArray chunk(1024 * 1024, '\0');
    for (int i = 0; i < chunk.size(); ++i)
        chunk[i] = char((i * 131) >> 3);
    const qint64 before = ResidentKb();
    qint64 peak = before;
    for (qint64 sent = 0; sent < ContentBytes; sent += chunk.size()) {
        ASSERT_TRUE(socket.send(chunk));
        if (sent % (32 * 1024 * 1024) == 0)
            peak = std::max(peak, ResidentKb());
    }
    ASSERT_TRUE(socket.send(closing));
    const QByteArray answer = socket.readAnswer(60000).left(12);
    EXPECT_EQ(answer, "HTTP/1.1 200");
    peak = std::max(peak, ResidentKb());
    EXPECT_LT(peak - before, 40 * 1024) << "resident memory grew by " << (peak - before) << " KiB";
    const QStringList names = entries();
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(QFileInfo(store + "/" + names.first()).size(), ContentBytes);
}
#endif

TEST_F(Hardening, AClientThatEndsInTheMiddleOfItsBodyLeavesNothing) {
    open();
    const QByteArray request = UploadRequest("/t/a.png", QByteArray(200000, 'h'));
    BlockingSocket socket(port);
    ASSERT_TRUE(socket.send(request.left(request.size() / 2)));
    socket.shutdownSending();
    bool closed = false;
    socket.readUntilClosed(5000, &closed);
    EXPECT_TRUE(closed);
    for (int i = 0; i < 50 && !entries().isEmpty(); ++i)
        QThread::msleep(100);
    EXPECT_EQ(entries(), QStringList());
}
