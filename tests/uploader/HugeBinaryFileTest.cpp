#include "common/ScriptError.h"
#include "tests/support/TestSupport.h"
#include "uploader/QueueHelpers.h"
#include "uploader/clsHugeBinaryFile.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

qint32 ErrorOf(const std::function<void()>& step) {
    try {
        step();
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.source(), "HugeBinaryFile");
        return error.number();
    }
    return 0;
}

} // namespace

TEST(HugeBinaryFile, OpensOnlyOrdinaryFilesAndReportsNumberedErrors) {
    ScratchFolder dir;
    clsHugeBinaryFile file;
    EXPECT_FALSE(file.OpenFile(dir.file("missing"), false));
    EXPECT_FALSE(file.IsOpen());
    try {
        file.FileSize();
        FAIL();
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), 45607);
        EXPECT_EQ(error.description(), "File must be open for this operation.");
    }
    ASSERT_TRUE(file.OpenFile(dir.file("made"), true));
    EXPECT_EQ(file.FileSize(), 0);
    EXPECT_TRUE(QFile::exists(dir.file("made")));
    EXPECT_EQ(ErrorOf([&] { file.OpenFile(dir.file("made"), false); }), 45601);
    EXPECT_FALSE(file.IsOpen());

    // A folder or a FIFO is refused at once; a FIFO must never wait for a writer.
    EXPECT_FALSE(file.OpenFile(dir.path(), false));
    const QString fifo = dir.file("pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(file.OpenFile(fifo, false));
    EXPECT_EQ(ErrorOf([&] { file.OpenFile(fifo, true); }), 45602);
    EXPECT_THROW(GetFileSize(fifo), ScriptError);
    try {
        file.OpenFile(dir.file("no/such/folder/x"), true);
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), 45602);
        EXPECT_TRUE(error.description().startsWith("Error opening file.\r\nError 2\r\n"))
            << error.description().toStdString();
    }
}

TEST(HugeBinaryFile, ReadsAtPositionsWithinTheBufferRules) {
    ScratchFolder dir;
    QByteArray content(120, '\0');
    for (int i = 0; i < 120; ++i)
        content[i] = char(i);
    const QString path = dir.write("f.bin", content);
    clsHugeBinaryFile file;
    ASSERT_TRUE(file.OpenFile(path, false));
    QByteArray buffer(51200, '\0');
    EXPECT_EQ(file.GetDataFromPosition(100, buffer, 0, 51200), 20);
    EXPECT_EQ(buffer.left(20), content.mid(100));
    EXPECT_EQ(file.GetDataFromPosition(120, buffer, 0, 51200), 0);
    EXPECT_EQ(file.GetDataFromPosition(200, buffer, 0, 51200), 0);
    EXPECT_TRUE(file.IsEOF());
    QByteArray small(10, '\0');
    EXPECT_EQ(file.GetDataFromPosition(3, small, 4, 6), 6);
    EXPECT_EQ(small.mid(4), content.mid(3, 6));
    EXPECT_EQ(ErrorOf([&] { file.GetData(small, 10, 1); }), 45610);
    EXPECT_FALSE(file.IsOpen()); // every error closes the file
    ASSERT_TRUE(file.OpenFile(path, false));
    EXPECT_EQ(ErrorOf([&] { file.GetData(small, 5, 6); }), 45608);
    ASSERT_TRUE(file.OpenFile(path, false));
    file.SeekAbsolute(119);
    quint16 word = 7;
    EXPECT_EQ(ErrorOf([&] { file.GetDataWord(word); }), 45605);
    EXPECT_EQ(word, 0x77); // the byte that was there, the rest zeroed
    ASSERT_TRUE(file.OpenFile(path, false));
    file.GetDataWord(word);
    EXPECT_EQ(word, 0x0100);
    EXPECT_EQ(file.PutDataAtPosition(QByteArray("ab"), 0, 2, 118), 2);
    EXPECT_EQ(file.SetFileSize(200), 200);
    EXPECT_EQ(file.FileSize(), 200);
    file.CloseFile();
    QFile check(path);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll().mid(118, 3), QByteArray("ab\0", 3));
}

// Every typed value is written in its own little-endian layout and read back from the
// position it was written at; the position moves by the bytes transferred.
TEST(HugeBinaryFile, TypedValuesRoundTripAtTheirPositions) {
    ScratchFolder dir;
    clsHugeBinaryFile file;
    ASSERT_TRUE(file.OpenFile(dir.file("typed.bin"), true));
    file.PutDataWord(0xBEEF);
    file.PutDataLongWord(0xDEADBEEFu);
    file.PutDataSingle(1.5f);
    file.PutDataDouble(-2.25);
    file.PutDataCurrency(123456789012345LL); // 12 345 678 901.2345
    file.PutDataDate(45000.5);
    file.PutDataQuadWord({0x11111111u, 0x22222222u, 0x33333333u});
    EXPECT_EQ(file.PutDataString(QStringLiteral("añ")), 3); // every UTF-8 byte is written
    EXPECT_EQ(file.PutDataAllOfBuffer(QByteArray("xyz")), 3);
    EXPECT_EQ(ErrorOf([&] { file.PutDataQuadWord({1}); }), 45609);
    ASSERT_TRUE(file.OpenFile(dir.file("typed.bin"), false));
    EXPECT_EQ(ErrorOf([&] { file.PutDataString(QString()); }), 45609);
    ASSERT_TRUE(file.OpenFile(dir.file("typed.bin"), false));
    EXPECT_EQ(file.FileSize(), 2 + 4 + 4 + 8 + 8 + 8 + 8 + 3 + 3);

    QByteArray all(64, '\0');
    all.truncate(int(file.FileSize()));
    EXPECT_EQ(file.GetDataToFillBuffer(all), all.size());
    EXPECT_EQ(all.left(6), QByteArray::fromHex("efbeefbeadde"));
    EXPECT_EQ(all.mid(34, 8), QByteArray::fromHex("1111111122222222"));

    quint16 word = 0;
    file.GetDataWordFromPosition(0, word);
    EXPECT_EQ(word, 0xBEEF);
    quint32 longword = 0;
    file.GetDataLongWord(longword);
    EXPECT_EQ(longword, 0xDEADBEEFu);
    float single = 0;
    file.GetDataSingle(single);
    EXPECT_EQ(single, 1.5f);
    double number = 0;
    file.GetDataDouble(number);
    EXPECT_EQ(number, -2.25);
    qint64 currency = 0;
    file.GetDataCurrencyFromPosition(18, currency);
    EXPECT_EQ(currency, 123456789012345LL);
    double date = 0;
    file.GetDataDate(date);
    EXPECT_EQ(date, 45000.5);
    QList<quint32> quad{9, 9, 9};
    file.GetDataQuadWordFromPosition(34, quad);
    // Three elements take twelve bytes: the last one is "añ" and "x".
    EXPECT_EQ(quad, (QList<quint32>{0x11111111u, 0x22222222u, 0x78B1C361u}));
    QString text(3, QLatin1Char('?'));
    EXPECT_EQ(file.GetDataStringFromPosition(42, text), 3);
    EXPECT_EQ(text, QStringLiteral("añ"));
    QString rest(10, QLatin1Char('?'));
    EXPECT_EQ(file.GetDataString(rest), 3) << "a short string read is no error";
    EXPECT_EQ(rest, QStringLiteral("xyz"));
    QString empty;
    EXPECT_EQ(ErrorOf([&] { file.GetDataString(empty); }), 45608);
    ASSERT_TRUE(file.OpenFile(dir.file("typed.bin"), false));
    double late = 1;
    EXPECT_EQ(ErrorOf([&] { file.GetDataDoubleFromPosition(file.FileSize() - 4, late); }), 45605);
    EXPECT_FALSE(file.IsOpen());
}

// Offsets past 4 GiB must not wrap: the bytes written there come back from there.
TEST(HugeBinaryFile, SparseFileBeyondFourGibibytesReadsBackExactly) {
    ScratchFolder dir;
    const QString path = dir.file("sparse.bin");
    const qint64 far = (qint64(5) << 30) + 12345;
    const QByteArray marker("far-away-bytes");
    {
        clsHugeBinaryFile writer;
        ASSERT_TRUE(writer.OpenFile(path, true));
        EXPECT_EQ(writer.PutDataAtPosition(marker, 0, int(marker.size()), far), marker.size());
        EXPECT_EQ(writer.PutDataAtPosition(QByteArray("near"), 0, 4, 12345), 4);
    }
    clsHugeBinaryFile file;
    ASSERT_TRUE(file.OpenFile(path, false));
    EXPECT_EQ(file.FileSize(), far + marker.size());
    QByteArray buffer(64, 'z');
    EXPECT_EQ(file.GetDataFromPosition(far - 2, buffer, 0, 64), marker.size() + 2);
    EXPECT_EQ(buffer.left(marker.size() + 2), QByteArray("\0\0", 2) + marker);
    EXPECT_EQ(file.GetDataFromPosition(12345, buffer, 0, 4), 4);
    EXPECT_EQ(buffer.left(4), "near");
    EXPECT_EQ(file.SeekEOF(), far + marker.size());
    file.CloseFile();
    EXPECT_EQ(GetFileSize(path), far + marker.size());
}
