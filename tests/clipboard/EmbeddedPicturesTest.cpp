#include "bridge/EmbeddedPictures.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace {

QByteArray Png(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(qRgb(10, 20, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

} // namespace

TEST(EmbeddedPictures, PicturesBecomeLocalFilesAndEverythingElseStays) {
    ScratchFolder dir;
    const QString folder = dir.path() + "/";
    const QByteArray png = Png(3, 2);
    const QString base64 = QString::fromLatin1(png.toBase64());
    // Base64 with line breaks in it, as some producers write it.
    const QString wrapped = base64.left(10) + "\r\n" + base64.mid(10);
    const QString html =
        "<img src=\"data:image/png;base64," + base64 + "\">" + "<img src='data:image/PNG;base64," +
        wrapped + "'>" + "<img src=\"data:image/png;base64,aGVsbG8gd29ybGQ=\">" + // text, not PNG
        "<img src=\"data:image/jpeg;base64," + base64 + "\">" +                   // wrong type
        "<img src=\"data:image/svg+xml;base64,PHN2Zz4=\">" +
        "<img src=\"data:image/png;base64,!!!\">" + "<p>data:image/png;base64," + base64 + "</p>";
    const QString out = SaveEmbeddedPictures(html, folder, "20260101000000123");
    const QString first = folder + "20260101000000123001.png";
    const QString second = folder + "20260101000000123002.png";
    EXPECT_TRUE(
        out.startsWith("<img src=\"file://" + first + "\"><img src=\"file://" + second + "\">"))
        << out.left(200).toStdString();
    QFile file(first);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), png);
    EXPECT_TRUE(out.endsWith(html.mid(html.indexOf("<img src=\"data:image/png;base64,aGVs"))));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}

TEST(EmbeddedPictures, DecodedSizeIsBounded) {
    ScratchFolder dir;
    const QString html =
        "<img src=\"data:image/png;base64," + QString::fromLatin1(Png(64, 64).toBase64()) + "\">";
    EXPECT_EQ(SaveEmbeddedPictures(html, dir.path() + "/", "1", 50), html);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
    EXPECT_NE(SaveEmbeddedPictures(html, dir.path() + "/", "1"), html);
}
