#include "host/UploadReceiver.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const QByteArray Token = "---------------------------7d510421399871";

// A body laid out the way the upload run sends it.
QByteArray ClientBody(const QByteArray& path, const QByteArray& bytes) {
    const QByteArray delimiter = "--" + Token;
    return delimiter + "\r\nContent-Disposition: form-data; name=\"originalfile\"\r\n\r\n" + path +
           "\r\n" + delimiter +
           "\r\nContent-Disposition: form-data; name=\"uploadfile\"; filename=\"" + path +
           "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + bytes + "\r\n" + delimiter +
           "--\r\n";
}

MultipartError Parse(const QByteArray& body, MultipartFile* file,
                     const QByteArray& boundary = Token) {
    return ParseMultipartFile(body, boundary, file);
}

} // namespace

TEST(Multipart, BoundaryComesFromTheContentType) {
    EXPECT_EQ(MultipartBoundary("multipart/form-data; boundary=" + Token), Token);
    EXPECT_EQ(MultipartBoundary("Multipart/Form-Data;BOUNDARY=\"a b:c\"; charset=x"), "a b:c");
    EXPECT_EQ(MultipartBoundary("multipart/form-data; charset=utf-8; boundary=xyz "), "xyz");
    EXPECT_EQ(MultipartBoundary(QByteArray("multipart/form-data; boundary=") + QByteArray(70, 'b')),
              QByteArray(70, 'b'));
    for (const QByteArray& refused :
         {QByteArray("multipart/form-data"), QByteArray("multipart/form-data; boundary="),
          QByteArray("multipart/form-data; boundary=\"\""),
          QByteArray("multipart/form-data; boundary=") + QByteArray(71, 'b'),
          QByteArray("multipart/form-data; boundary=\"ends in blank \""),
          QByteArray("multipart/form-data; boundary=semi\"colon"),
          QByteArray("multipart/form-data; boundary=\"unclosed"),
          QByteArray("multipart/mixed; boundary=abc"), QByteArray("text/plain; boundary=abc"),
          QByteArray("multipart/form-data; boundary=tab\there"), QByteArray()})
        EXPECT_EQ(MultipartBoundary(refused), QByteArray()) << refused.constData();
}

TEST(Multipart, FindsTheFileBytesUnchanged) {
    // Bytes that look like line ends, delimiters and part headers stay content.
    const QByteArray bytes = QByteArray("\0\r\n\r\n--", 7) + Token.left(20) + "\r\n--" +
                             Token.chopped(1) + "\r\nContent-Disposition: x\r\n\r\n\xff\r";
    MultipartFile file;
    const QByteArray body = ClientBody("C:\\t\\a b.png", bytes);
    ASSERT_EQ(Parse(body, &file), MultipartError::None);
    EXPECT_EQ(file.fileName, QByteArrayView("C:\\t\\a b.png"));
    EXPECT_EQ(file.content, bytes);

    const QByteArray empty = ClientBody("/home/u/e.png", QByteArray());
    ASSERT_EQ(Parse(empty, &file), MultipartError::None);
    EXPECT_TRUE(file.content.isEmpty());
}

TEST(Multipart, AcceptsWhatOtherClientsSend) {
    MultipartFile file;
    // A preamble, blanks after a delimiter, unquoted parameters, a part without headers and
    // an epilogue; the first file part wins.
    const QByteArray body = "preamble\r\n--B  \r\n\r\nno headers\r\n--B\r\n"
                            "content-disposition: form-data; filename=one.gif; name=f\r\n\r\n"
                            "ONE\r\n--B\r\nContent-Disposition: form-data; name=\"g\"; "
                            "filename=\"two.gif\"\r\n\r\nTWO\r\n--B--\r\nepilogue";
    ASSERT_EQ(Parse(body, &file, "B"), MultipartError::None);
    EXPECT_EQ(file.fileName, QByteArrayView("one.gif"));
    EXPECT_EQ(file.content, QByteArrayView("ONE"));
}

TEST(Multipart, RefusesIncompleteOrMalformedBodies) {
    MultipartFile file;
    const QByteArray whole = ClientBody("/t/a.png", "bytes");
    EXPECT_EQ(Parse(whole.chopped(4), &file), MultipartError::Truncated); // no closing "--"
    EXPECT_EQ(Parse(whole.left(whole.indexOf("bytes") + 3), &file), MultipartError::Truncated);
    EXPECT_EQ(Parse(whole.left(Token.size() + 2), &file), MultipartError::Truncated);
    EXPECT_EQ(Parse(whole, &file, "other"), MultipartError::Malformed);
    EXPECT_EQ(
        Parse("--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"x.png", &file, "B"),
        MultipartError::Truncated);
    EXPECT_EQ(Parse("--Bjunk\r\n\r\nx\r\n--B--", &file, "B"), MultipartError::Malformed);
    EXPECT_EQ(Parse("--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"x.png\r\n\r\n"
                    "x\r\n--B--",
                    &file, "B"),
              MultipartError::Malformed);
    EXPECT_EQ(Parse("", &file, "B"), MultipartError::Malformed);
}

TEST(Multipart, NeedsAPartWithAFileName) {
    MultipartFile file;
    EXPECT_EQ(Parse("--B\r\nContent-Disposition: form-data; name=\"originalfile\"\r\n\r\n/t/a.png"
                    "\r\n--B--\r\n",
                    &file, "B"),
              MultipartError::NoFile);
    // A form posted without a chosen file, and a file part that is no form field.
    EXPECT_EQ(Parse("--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"\"\r\n\r\n"
                    "\r\n--B--\r\n",
                    &file, "B"),
              MultipartError::NoFile);
    EXPECT_EQ(Parse("--B\r\nContent-Disposition: attachment; name=\"f\"; filename=\"a.png\"\r\n"
                    "\r\nx\r\n--B--\r\n",
                    &file, "B"),
              MultipartError::NoFile);
    EXPECT_EQ(Parse("--B--\r\n", &file, "B"), MultipartError::NoFile);
}

TEST(Multipart, OnlyASafeExtensionSurvivesFromTheFileName) {
    const QList<QPair<QByteArray, QString>> cases{
        {"C:\\Temp\\image001.PNG", "png"},
        {"/home/u/a b.jpeg", "jpeg"},
        {"../../x", ""},
        {"/etc/passwd", ""},
        {"a\\..\\b", ""},
        {"x.tar.gz", "gz"},
        {"dir.d/file", ""},
        {".bashrc", ""},
        {"a.", ""},
        {"a.p/ng", ""},
        {"a.png\\..", ""},
        {"a.ph p", ""},
        {"a.\xc3\xa9t\xc3\xa9", ""},
        {"a.abcdefghij", "abcdefghij"},
        {"a.abcdefghijk", ""},
        {"", ""},
    };
    for (const auto& [name, extension] : cases)
        EXPECT_EQ(SafeExtension(name), extension) << name.constData();
}

TEST(Multipart, StoredNamesAreOurOwnShape) {
    EXPECT_TRUE(IsStoredName("0123456789abcdef"));
    EXPECT_TRUE(IsStoredName("0123456789abcdef.png"));
    for (const QByteArray& name :
         {QByteArray("0123456789abcde"), QByteArray("0123456789ABCDEF.png"),
          QByteArray("0123456789abcdef.PNG"), QByteArray("0123456789abcdef."),
          QByteArray("0123456789abcdef/../x"), QByteArray("..%2f0123456789abcdef"),
          QByteArray("0123456789abcdef.png/"), QByteArray("0123456789abcdefx"), QByteArray()})
        EXPECT_FALSE(IsStoredName(name)) << name.constData();
}

TEST(UploadFolderTest, StoresEachFileUnderAFreshName) {
    ScratchFolder scratch;
    const QString path = scratch.file("new/store");
    UploadFolder folder;
    QString error;
    ASSERT_TRUE(folder.open(path, &error)) << error.toStdString();
    QSet<QString> names;
    const QByteArray bytes("\0a\r\nb", 5);
    for (int i = 0; i < 20; ++i) {
        const QString name = folder.store(bytes, i % 2 ? QStringLiteral("png") : QString(), &error);
        ASSERT_TRUE(IsStoredName(name.toLatin1())) << name.toStdString();
        EXPECT_EQ(name.endsWith(".png"), i % 2 == 1);
        names.insert(name);
        QFile stored(path + "/" + name);
        ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
        EXPECT_EQ(stored.readAll(), bytes);
    }
    EXPECT_EQ(names.size(), 20);
    EXPECT_EQ(QDir(path).entryList(QDir::Files | QDir::Hidden).size(), 20);
    qint64 size = 0;
    const int fd = folder.openStored(names.begin()->toLatin1(), &size);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(size, bytes.size());
    if (fd >= 0)
        ::close(fd);
    EXPECT_EQ(folder.openStored("../store", &size), -1);
    // Temporary files are never served, whatever their state.
    QString temporary, error2;
    const int written = folder.createTemporary("tmp", &temporary, &error2);
    ASSERT_GE(written, 0) << error2.toStdString();
    ::close(written);
    EXPECT_EQ(folder.openStored(temporary.toLatin1(), &size), -1);
    folder.discard(temporary);
    EXPECT_EQ(QDir(path).entryList(QDir::Files | QDir::Hidden).size(), 20);
}

TEST(Multipart, ReadsTheSameWhereverTheBodyIsSplit) {
    // Content that holds near-delimiters, so a split inside one must not lose or invent bytes.
    const QByteArray bytes = "a\r\n--" + Token.left(30) + "\r\r\n-" + Token + "x\r\n";
    const QByteArray body = "pre\r\n" + ClientBody("/t/a.png", bytes) + "epilogue";
    auto readInPieces = [&](const QList<qsizetype>& cuts, QByteArray* content) {
        content->clear();
        MultipartFileReader reader(Token, [content](QByteArrayView piece) {
            content->append(piece);
            return true;
        });
        qsizetype at = 0;
        for (qsizetype cut : cuts + QList<qsizetype>{body.size()}) {
            reader.feed(QByteArrayView(body).sliced(at, cut - at));
            at = cut;
        }
        return reader.finish();
    };
    QByteArray content;
    for (qsizetype cut = 0; cut <= body.size(); ++cut) {
        ASSERT_EQ(readInPieces({cut}, &content), MultipartError::None) << cut;
        ASSERT_EQ(content, bytes) << cut;
    }
    QList<qsizetype> everyByte;
    for (qsizetype cut = 1; cut < body.size(); ++cut)
        everyByte.append(cut);
    ASSERT_EQ(readInPieces(everyByte, &content), MultipartError::None);
    EXPECT_EQ(content, bytes);
    // Cut short anywhere, it is never whole.
    for (qsizetype end = 0; end < body.indexOf("--" + Token + "--") + Token.size() + 4; ++end) {
        MultipartFileReader reader(Token, [](QByteArrayView) { return true; });
        reader.feed(QByteArrayView(body).first(end));
        EXPECT_NE(reader.finish(), MultipartError::None) << end;
    }
}

TEST(Multipart, AFailingSinkStopsTheReading) {
    int calls = 0;
    MultipartFileReader reader(Token, [&calls](QByteArrayView) {
        ++calls;
        return false;
    });
    const QByteArray body = ClientBody("/t/a.png", QByteArray(100000, 'x'));
    EXPECT_FALSE(reader.feed(QByteArrayView(body).first(50000)));
    EXPECT_FALSE(reader.feed(QByteArrayView(body).sliced(50000)));
    EXPECT_TRUE(reader.sinkFailed());
    EXPECT_EQ(calls, 1);
}
