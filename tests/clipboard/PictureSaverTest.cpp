#include "capture/cSaveBitmapAs.h"
#include "capture/frmHidden.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// A screenshot-like picture: a gradient, flat areas, text-like detail and a transparent
// corner that the picture box must draw on white.
QImage TestPicture() {
    QImage picture(97, 61, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgba(x * 255 / 96, y * 255 / 60, 128, 255));
    QPainter painter(&picture);
    painter.fillRect(5, 5, 30, 20, QColor(200, 30, 30));
    painter.fillRect(50, 30, 40, 25, QColor(20, 160, 60));
    for (int x = 40; x < 90; x += 3)
        painter.fillRect(x, 8, 1, 12, Qt::black);
    painter.end();
    for (int y = 0; y < 10; ++y)
        for (int x = 87; x < 97; ++x)
            picture.setPixel(x, y, qRgba(0, 0, 0, 0));
    return picture;
}

// Reads the file with PIL (an independent decoder) and compares it with `expected`:
// size, mean and largest channel difference, colour count, and JPEG tables.
QJsonObject ReadBack(const QString& path, const QImage& expected, const ScratchFolder& dir) {
    const QString reference = dir.file("expected.png");
    EXPECT_TRUE(expected.convertToFormat(QImage::Format_RGB32).save(reference, "PNG"));
    const QString script = QStringLiteral(R"(
import json, sys
from PIL import Image
im = Image.open(sys.argv[1]); ref = Image.open(sys.argv[2]).convert('RGB')
out = {'format': im.format, 'width': im.size[0], 'height': im.size[1]}
if im.format == 'JPEG':
    out['tables'] = sorted(set(v for t in im.quantization.values() for v in t))
rgb = im.convert('RGB')
out['colours'] = len(rgb.getcolors(1 << 20) or [])
a = rgb.tobytes(); b = ref.tobytes()
if len(a) == len(b):
    d = [abs(x - y) for x, y in zip(a, b)]
    out['mean'] = sum(d) / len(d); out['max'] = max(d)
print(json.dumps(out))
)");
    const CommandResult result =
        RunCommand(QStringLiteral("/usr/bin/python3"), {"-c", script, path, reference});
    EXPECT_EQ(result.exitCode, 0) << result.err.constData();
    return QJsonDocument::fromJson(result.out).object();
}

} // namespace

TEST(PictureSaver, EachFormatDecodesToThePictureOnWhite) {
    ScratchFolder dir;
    PictureBox box;
    box.setPicture(TestPicture());
    ASSERT_EQ(box.image().pixel(96, 0), qRgb(255, 255, 255));
    const cSaveBitmapAs saver;
    struct Case {
        const char* name;
        const char* format;
        double meanLimit;
        int maxLimit;
    };
    // Lossless formats are exact; JPEG (chroma subsampled, so thin lines bleed) and the
    // dithered GIF stay close on average.
    for (const Case& c :
         {Case{"a.PNG", "PNG", 0, 0}, Case{"b.bmp", "BMP", 0, 0}, Case{"c.tif", "TIFF", 0, 0},
          Case{"d.jpg", "JPEG", 6, 160}, Case{"e.gif", "GIF", 6, 120}}) {
        const QString path = dir.file(c.name);
        ASSERT_TRUE(saver.SavePictureFromHDC(box.image(), path)) << c.name;
        const QJsonObject read = ReadBack(path, box.image(), dir);
        EXPECT_EQ(read["format"].toString(), c.format) << c.name;
        EXPECT_EQ(read["width"].toInt(), 97);
        EXPECT_EQ(read["height"].toInt(), 61);
        EXPECT_LE(read["mean"].toDouble(99), c.meanLimit) << c.name;
        EXPECT_LE(read["max"].toInt(999), c.maxLimit) << c.name;
        if (QByteArray(c.format) == "JPEG") { // quality 100: every quantizer step is 1
            EXPECT_EQ(read["tables"].toVariant().toList(), QVariantList{1});
        }
        if (QByteArray(c.format) == "GIF") {
            EXPECT_LE(read["colours"].toInt(), 256);
            EXPECT_GT(read["colours"].toInt(), 16); // quantized, not a fixed tiny palette
        }
    }
}

TEST(PictureSaver, RefusesOtherNamesInvalidBitmapsAndUnwritableFolders) {
    ScratchFolder dir;
    const cSaveBitmapAs saver;
    const QImage picture = TestPicture();
    for (const char* name : {"a.jpeg", "a.tiff", "png", "a", "a.webp"}) {
        EXPECT_FALSE(saver.SavePictureFromHDC(picture, dir.file(name))) << name;
        EXPECT_FALSE(QFile::exists(dir.file(name))) << name;
    }
    EXPECT_FALSE(saver.SavePictureFromHDC(QImage(), dir.file("null.png")));
    EXPECT_FALSE(QFile::exists(dir.file("null.png")));
    EXPECT_FALSE(saver.SavePictureFromHDC(picture, dir.file("missing/folder/x.png")));
    // One saver, several files.
    EXPECT_TRUE(saver.SavePictureFromHDC(picture, dir.file("1.gif")));
    EXPECT_TRUE(saver.SavePictureFromHDC(picture, dir.file("2.gif")));
    EXPECT_EQ(QFile(dir.file("1.gif")).size(), QFile(dir.file("2.gif")).size());
}
