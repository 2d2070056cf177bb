#include "ModalAnswer.h"
#include "RecordingServer.h"
#include "tests/support/TestSupport.h"
#include "uploader/Tessaload.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#if !defined(__SANITIZE_ADDRESS__)
// Far too slow under the sanitizers; the normal build sends the file.

namespace {

constexpr qint64 FileBytes = 5'000'000'000LL;
constexpr qint64 ChunkBytes = 8LL * 1024 * 1024;

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

// Both files read side by side; true when every byte is the same.
bool SameBytes(const QString& a, const QString& b, qint64* size) {
    QFile one(a);
    QFile two(b);
    if (!one.open(QIODevice::ReadOnly) || !two.open(QIODevice::ReadOnly))
        return false;
    *size = two.size();
    if (one.size() != two.size())
        return false;
    while (!one.atEnd()) {
        if (one.read(ChunkBytes) != two.read(ChunkBytes))
            return false;
    }
    return true;
}

} // namespace

// Writing five gigabytes takes minutes on a shared disk, so it runs when asked for:
// TESSARY_LARGE_TESTS=1.
TEST(LargeUpload, FiveGigabytesGoThroughTheWindowToTheReceiverWhole) {
    if (qEnvironmentVariableIntValue("TESSARY_LARGE_TESTS") != 1)
        GTEST_SKIP() << "set TESSARY_LARGE_TESTS=1 to upload a 5 GB file";
    ScratchFolder scratch;
    // A sparse source with known bytes around 4 GiB, across a block's end, and at its end.
    const QString source = scratch.file("disk.img");
    {
        const int fd = ::open(QFile::encodeName(source).constData(), O_RDWR | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, FileBytes), 0);
        const QByteArray mark = "bytes past four gibibytes";
        for (qint64 at :
             {qint64(0), (4LL << 30) - 7, (4LL << 30) + ChunkBytes - 3, FileBytes - mark.size()})
            ASSERT_EQ(::pwrite(fd, mark.constData(), size_t(mark.size()), off_t(at)), mark.size());
        ::close(fd);
    }

    QProcess receiver;
    receiver.start(TessaryCommand(),
                   {"receiver", "--port", "0", "--folder", scratch.file("store")});
    ASSERT_TRUE(receiver.waitForStarted());
    QByteArray banner;
    ASSERT_TRUE(WaitUntil([&] {
        banner += receiver.readAllStandardOutput();
        return banner.contains('\n');
    })) << receiver.readAllStandardError().constData();
    const QByteArray address = banner.mid(banner.indexOf("http://")).trimmed();

    UploadPageState page;
    Tessaload control{page};
    QStringList events;
    QObject::connect(&control, &Tessaload::OnUpload,
                     [&](const QString& f, const QString& v) { events << f + " " + v; });
    control.put_Lang("en");
    control.put_AllowExt("img");
    control.put_AllowSize("10000000");
    control.put_BlockSize("8192");
    control.put_SendUrl(QString::fromLatin1(address) + "upload?disk=1");
    control.show();
    // Queued the user's way: Browse, the file's name in the dialog.
    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        dialog->setDirectory(scratch.path());
        auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        edit->setText("disk.img");
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QTest::mouseClick(control.findChild<QPushButton*>("cmdBrowse"), Qt::LeftButton);
    ASSERT_EQ(page.Queue.count(), 1);
    EXPECT_EQ(page.Queue.items[1].ByteSize, FileBytes);

    const qint64 rssBefore = ResidentKb();
    qint64 rssPeak = rssBefore;
    QTest::mouseClick(control.findChild<QPushButton*>("cmdUpload"), Qt::LeftButton);
    ASSERT_EQ(events.value(0), "begin ");
    ASSERT_TRUE(WaitUntil(
        [&] {
            rssPeak = std::max(rssPeak, ResidentKb());
            return !events.isEmpty() && events.last().startsWith("end");
        },
        30 * 60 * 1000));
    // One block in the request body, the one before it maybe not yet freed.
    EXPECT_LT(rssPeak - rssBefore, 3 * ChunkBytes / 1024 + 30 * 1024);
    ASSERT_EQ(events.size(), 2);
    ASSERT_TRUE(events.last().startsWith("endall " + source + "::")) << events.last().toStdString();
    EXPECT_EQ(page.Queue.items[1].Status, "ok");

    const QString saved = events.last().mid(events.last().indexOf("::") + 2);
    const QString stored = scratch.file("store/") + saved.mid(saved.lastIndexOf('/') + 1);
    qint64 size = 0;
    EXPECT_TRUE(SameBytes(source, stored, &size)) << stored.toStdString();
    EXPECT_EQ(size, FileBytes);
    receiver.terminate();
    receiver.waitForFinished();
}

#endif
