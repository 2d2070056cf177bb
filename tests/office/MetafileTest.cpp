#include "OfficeDocuments.h"
#include "common/ScriptError.h"
#include "platform/MetafilePicture.h"
#include "platform/OfficeEngine.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QImage>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

// A metafile made by the office from a picture, as a clipboard would carry it.
QByteArray MakeMetafile(const ScratchFolder& dir, const QString& name, const QString& mime) {
    const QString picture = dir.write("picture.png", SamplePicture(80));
    OfficeEngine::instance().request(
        {{"op", "graphic"}, {"path", picture}, {"out", dir.file(name)}, {"mime", mime}});
    QFile file(dir.file(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

TEST(Metafile, EnhancedAndOldMetafilesRenderToTheWholePicture) {
    ScratchFolder dir;
    for (const auto& [kind, name, mime] :
         {std::tuple{MetafileKind::Enhanced, "drawing.emf", "image/x-emf"},
          std::tuple{MetafileKind::Picture, "drawing.wmf", "image/x-wmf"}}) {
        const QByteArray metafile = MakeMetafile(dir, name, mime);
        ASSERT_GT(metafile.size(), 100) << name;
        const QImage image = RenderMetafile(metafile, kind);
        ASSERT_FALSE(image.isNull()) << name;
        EXPECT_GE(image.width(), 40) << name;
        EXPECT_GE(image.height(), 40) << name;
        // Red in the middle, blue at the corner: the drawing, not an empty canvas.
        const QRgb middle = image.pixel(image.width() / 2, image.height() / 2);
        const QRgb corner = image.pixel(image.width() / 8, image.height() / 8);
        EXPECT_GT(qRed(middle), 200) << name;
        EXPECT_LT(qBlue(middle), 60) << name;
        EXPECT_GT(qBlue(corner), 200) << name;
    }
}

TEST(Metafile, BytesThatAreNoMetafileRaise) {
    EXPECT_THROW(RenderMetafile(QByteArray(300, 'x'), MetafileKind::Enhanced), ScriptError);
    EXPECT_THROW(RenderMetafile(QByteArray(), MetafileKind::Picture), ScriptError);
}

} // namespace
