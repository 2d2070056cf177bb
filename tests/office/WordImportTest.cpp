#include "OfficeDocuments.h"
#include "conversion/cWord.h"
#include "platform/OfficeEngine.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct WordImport {
    ScratchFolder dir;
    QString temp = dir.path() + "/";
    QString error;
    cWord word{error};
    WordImport() { word.setTempFolder(temp); }
};

QStringList PictureSources(const QString& html) {
    QStringList sources;
    static const QRegularExpression line(R"re(^<img src="([^"]+)" border=0><br>)re");
    QString rest = html;
    while (!rest.isEmpty()) {
        const auto match = line.match(rest);
        if (!match.hasMatch())
            return sources << "unexpected: " + rest;
        sources << match.captured(1);
        rest = rest.mid(match.capturedLength());
    }
    return sources;
}

TEST(WordImport, RefusesWhatIsNoWordFileWithoutStartingTheOffice) {
    WordImport w;
    const int starts = OfficeEngine::instance().startCount();
    const QString rtf = w.dir.write("letter.rtf", "{\\rtf1 hello}");
    QDir().mkpath(w.dir.file("folder.doc"));
    for (const QString& path : {rtf, w.dir.file("folder.doc"), w.dir.file("missing.docx")}) {
        QString html = "old";
        EXPECT_FALSE(w.word.Word2HTML(path, html)) << path;
        EXPECT_EQ(w.error, "InvalidFile:doc|docx");
        EXPECT_EQ(html, "");
        EXPECT_FALSE(w.word.Word2Images(path, "", html));
        EXPECT_EQ(w.error, "InvalidFile:doc|docx");
    }
    EXPECT_EQ(OfficeEngine::instance().startCount(), starts);
}

TEST(WordImport, GivesOnePictureOfEachWholePageInPageOrder) {
    WordImport w;
    const QString doc = MakeWordDocument(w.dir, "three.docx", 3);
    QString html;
    ASSERT_TRUE(w.word.Word2Images(doc, "imgtype:png", html)) << w.error;
    EXPECT_EQ(w.error, "");
    const QStringList sources = PictureSources(html);
    ASSERT_EQ(sources.size(), 3) << html;
    const QString stamp = QFileInfo(sources[0]).fileName().left(17);
    for (int page = 1; page <= 3; ++page) {
        const QString& path = sources[page - 1];
        EXPECT_EQ(path, w.temp + stamp + QString("00%1.png").arg(page));
        const QImage picture(path);
        // A4 at 150 dots per inch.
        EXPECT_EQ(picture.size(), QSize(1240, 1754)) << path;
        EXPECT_TRUE(HasInk(path)) << path;
    }
}

TEST(WordImport, PictureTypeIsPngOrGifOnlyWhenWrittenSoElseJpg) {
    WordImport w;
    const QString doc = MakeWordDocument(w.dir, "one.doc", 1);
    for (const auto& [option, suffix] :
         std::initializer_list<std::pair<QString, QString>>{{"imgtype:gif", ".gif"},
                                                            {"imgtype:PNG", ".jpg"},
                                                            {"imgtype:bmp", ".jpg"},
                                                            {"", ".jpg"}}) {
        QString html;
        ASSERT_TRUE(w.word.Word2Images(doc, option, html)) << w.error;
        const QStringList sources = PictureSources(html);
        ASSERT_EQ(sources.size(), 1) << option;
        EXPECT_TRUE(sources[0].endsWith("001" + suffix)) << sources[0];
        EXPECT_FALSE(QImage(sources[0]).isNull()) << sources[0];
    }
}

TEST(WordImport, SavesTheWebPageWithItsPicturesInTheFolderBesideIt) {
    WordImport w;
    const QString doc = MakeWordDocument(w.dir, "pictures.DOCX", 2, 2);
    // A lock file left by a crashed editor does not stop a read-only import.
    w.dir.write(".~lock.pictures.DOCX#", "someone,host,/home/someone;09.12.2026 10:00;");
    // What an earlier import left must not be mixed into this one.
    w.dir.write("Tessary_Temp_Word_Doc_files/image009.png", SamplePicture());
    QString html;
    ASSERT_TRUE(w.word.Word2HTML(doc, html)) << w.error;
    EXPECT_TRUE(html.contains("Page 2 of the sample document.")) << html;
    const QDir folder(w.temp + "Tessary_Temp_Word_Doc_files");
    EXPECT_EQ(folder.entryList(QDir::Files), QStringList({"image001.png", "image002.png"}));
    EXPECT_TRUE(html.contains("src=\"Tessary_Temp_Word_Doc_files/image001.png\"")) << html;
    EXPECT_TRUE(html.contains("src=\"Tessary_Temp_Word_Doc_files/image002.png\"")) << html;
    EXPECT_EQ(QImage(folder.filePath("image002.png")).size(),
              QImage::fromData(SamplePicture(64)).size());
    EXPECT_TRUE(QDir(w.temp).entryList({"*_html_*"}).isEmpty());
}

} // namespace
