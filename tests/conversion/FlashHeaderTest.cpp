// Frame sizes of Flash movies written byte by byte here: both signatures, field widths
// from narrow to the widest, negative coordinates, and files that are no movies.
#include "conversion/cFlashHeader.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <zlib.h>

namespace {

// The rectangle as the format stores it: the field width in 5 bits, then the four
// coordinates in that many bits each, most significant bit first, padded to whole bytes.
QByteArray Rectangle(int width, qint64 xMin, qint64 xMax, qint64 yMin, qint64 yMax) {
    QList<int> bits;
    const auto put = [&bits](quint64 value, int count) {
        for (int i = count - 1; i >= 0; --i)
            bits.append(int((value >> i) & 1));
    };
    put(quint64(width), 5);
    for (const qint64 value : {xMin, xMax, yMin, yMax})
        put(quint64(value), width);
    QByteArray bytes((bits.size() + 7) / 8, '\0');
    for (int i = 0; i < bits.size(); ++i)
        if (bits[i])
            bytes[i / 8] = char(quint8(bytes[i / 8]) | (0x80 >> (i % 8)));
    return bytes;
}

QByteArray LittleEndian32(quint32 value) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xff);
    return bytes;
}

QByteArray Deflate(const QByteArray& bytes) {
    uLongf size = compressBound(uLong(bytes.size()));
    QByteArray out(qsizetype(size), '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(bytes.constData()), uLong(bytes.size()), 9);
    out.truncate(qsizetype(size));
    return out;
}

// A movie: header, rectangle, frame rate and count, one end tag.
QByteArray Movie(const char* signature, const QByteArray& rectangle,
                 const QByteArray& rest = QByteArray("\x00\x18\x01\x00\x00\x00", 6),
                 qint64 announced = -1) {
    const QByteArray body = rectangle + rest;
    const quint32 length = announced < 0 ? quint32(8 + body.size()) : quint32(announced);
    const QByteArray head = QByteArray(signature) + '\x0a' + LittleEndian32(length);
    return head + (QByteArray(signature) == "CWS" ? Deflate(body) : body);
}

struct Result {
    bool ok = false;
    QString size;
    QString error;
};

Result Parse(const QString& path) {
    QString error = "left over";
    cFlashHeader header(error);
    Result result;
    result.ok = header.Parse(path);
    if (result.ok)
        result.size = QString::number(header.Width()) + "|" + QString::number(header.Height());
    result.error = error;
    return result;
}

Result ParseBytes(const QByteArray& bytes, const QString& name = "movie.swf") {
    ScratchFolder folder;
    return Parse(folder.write(name, bytes));
}

qint64 PeakMemory() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

} // namespace

TEST(FlashHeader, ReadsPlainAndCompressedMovies) {
    // The bytes 78 00 05 5F 00 00 0F A0 00: 15-bit fields, 11000 by 8000 twips.
    const QByteArray known = QByteArray::fromHex("7800055f00000fa000");
    ASSERT_EQ(Rectangle(15, 0, 11000, 0, 8000), known);
    for (const char* signature : {"FWS", "CWS"}) {
        SCOPED_TRACE(signature);
        Result result = ParseBytes(Movie(signature, known));
        EXPECT_TRUE(result.ok);
        EXPECT_EQ(result.size, "550|400");
        EXPECT_EQ(result.error, "");
        // Halves go to the even neighbour: 550.5 -> 550, 551.5 -> 552.
        EXPECT_EQ(ParseBytes(Movie(signature, Rectangle(15, 0, 11010, 0, 11030))).size, "550|552");
        EXPECT_EQ(ParseBytes(Movie(signature, known), "MOVIE.SWF").size, "550|400");
    }
}

TEST(FlashHeader, ReadsEveryFieldWidthAndSignedCoordinates) {
    struct Case {
        int width;
        qint64 xMin, xMax, yMin, yMax;
        const char* size;
    };
    const Case cases[] = {
        {7, 0, 40, 0, 60, "2|3"},
        {13, -2000, 2000, -1000, 1000, "200|100"}, // negative minimum
        {16, 0, 32767, 0, 20, "1638|1"},
        {17, 0, 65535, 0, 65535, "3277|3277"},        // beyond the 72 bits once read
        {23, -4000000, -3990000, 100, 300, "500|10"}, // both negative
        {31, -20, 655340, 0, 20, "32768|1"},          // width overflows 16 bits
        {31, -655340, 0, 0, 20, "32767|1"},
        {5, 10, -10, 0, 0, "-1|0"}, // Xmax below Xmin
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const QByteArray rectangle = Rectangle(c.width, c.xMin, c.xMax, c.yMin, c.yMax);
        for (const char* signature : {"FWS", "CWS"}) {
            const Result result = ParseBytes(Movie(signature, rectangle));
            if (QByteArray(c.size) == "32768|1") {
                EXPECT_FALSE(result.ok) << signature;
                continue;
            }
            EXPECT_TRUE(result.ok) << signature;
            EXPECT_EQ(result.size, c.size) << signature;
        }
    }
}

TEST(FlashHeader, RefusesWhatIsNoMovie) {
    const QByteArray good = Movie("FWS", Rectangle(15, 0, 11000, 0, 8000));
    // Wrong extension or no file: the page learns which files are accepted.
    Result result = ParseBytes(good, "movie.txt");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "InvalidFile:swf");
    ScratchFolder folder;
    EXPECT_EQ(Parse(folder.file("absent.swf")).error, "InvalidFile:swf");

    // A file of the right name that is no movie: false, and no message.
    const QList<QByteArray> bad = {
        "",
        "FWS",
        QByteArray("ZWS\x0a\x20\x00\x00\x00", 8) + good.mid(8), // another compression
        "GIF89a" + good.mid(6),
        good.left(15),                                      // rectangle cut short
        Movie("FWS", Rectangle(31, 0, 20, 0, 20)).left(20), // wide fields cut short
        Movie("FWS", QByteArray(9, '\0')),                  // field width 0
        QByteArray("CWS\x0a\x20\x00\x00\x00", 8) + "not a zlib stream at all",
        Movie("CWS", Rectangle(15, 0, 11000, 0, 8000)).left(11),        // stream cut short
        QByteArray("CWS\x0a\x20\x00\x00\x00", 8) + Deflate("\x78\x00"), // stream ends early
    };
    for (qsizetype i = 0; i < bad.size(); ++i) {
        result = ParseBytes(bad[i]);
        EXPECT_FALSE(result.ok) << i;
        EXPECT_EQ(result.error, "") << i;
    }
}

TEST(FlashHeader, AFailedParseKeepsTheLastSize) {
    ScratchFolder folder;
    QString error;
    cFlashHeader header(error);
    ASSERT_TRUE(
        header.Parse(folder.write("a.swf", Movie("CWS", Rectangle(15, 0, 11000, 0, 8000)))));
    EXPECT_FALSE(header.Parse(folder.write("b.swf", "FWS")));
    EXPECT_EQ(header.Width(), 550);
    EXPECT_EQ(header.Height(), 400);
}

TEST(FlashHeader, AHugeAnnouncedLengthCostsNoMemory) {
    // 1 GB announced and 256 MB really behind the rectangle, compressed piece by piece so
    // that making the file costs little memory: a reader that inflated the whole body, or
    // allocated by the announced length, would grow by hundreds of megabytes.
    ScratchFolder folder;
    const QString path = folder.file("big.swf");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("CWS\x0a", 4) + LittleEndian32(quint32(1) << 30));
    z_stream stream{};
    ASSERT_EQ(deflateInit(&stream, 1), Z_OK);
    const QByteArray rectangle = Rectangle(15, 0, 11000, 0, 8000);
    const QByteArray zeros(1024 * 1024, '\0');
    QByteArray out(256 * 1024, '\0');
    const auto feed = [&](const QByteArray& piece, int flush) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.constData()));
        stream.avail_in = uInt(piece.size());
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out.data());
            stream.avail_out = uInt(out.size());
            deflate(&stream, flush);
            file.write(out.constData(), out.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    };
    feed(rectangle, Z_NO_FLUSH);
    for (int i = 0; i < 256; ++i)
        feed(zeros, i == 255 ? Z_FINISH : Z_NO_FLUSH);
    deflateEnd(&stream);
    file.close();

    const qint64 before = PeakMemory();
    const Result result = Parse(path);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.size, "550|400");
    EXPECT_LT(PeakMemory() - before, 64LL * 1024 * 1024);
}

TEST(FlashHeader, AFifoDoesNotHang) {
    ScratchFolder folder;
    const QString path = folder.file("pipe.swf");
    ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // Nobody ever writes to it; a reader that opened it blocking would wait for ever.
    const Result result = Parse(path);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "InvalidFile:swf");
}
