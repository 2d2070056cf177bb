#include "OfficeDocuments.h"
#include "conversion/cExcel.h"
#include "conversion/cWord.h"
#include "platform/OfficeEngine.h"
#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>

namespace {

// A copy of the OOXML package `source` whose part `part` is replaced by `content`.
QString ReplacePart(const QString& source, const QString& target, const QString& part,
                    const QByteArray& content, const ScratchFolder& dir) {
    const QString contentPath = dir.write("part.xml", content);
    const CommandResult result = RunCommand(
        "/usr/bin/python3",
        {"-c",
         "import sys, zipfile\n"
         "src, dst, part, content = sys.argv[1:5]\n"
         "with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, 'w', zipfile.ZIP_DEFLATED) as "
         "zout:\n"
         "    for item in zin.infolist():\n"
         "        data = open(content, 'rb').read() if item.filename == part else "
         "zin.read(item.filename)\n"
         "        zout.writestr(item, data)\n",
         source, target, part, contentPath});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    return target;
}

QByteArray EntityBomb(const QByteArray& rootElement) {
    QByteArray xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE bomb [\n<!ENTITY e0 \"lollollollol\">\n";
    for (int i = 1; i <= 12; ++i) {
        xml += "<!ENTITY e" + QByteArray::number(i) + " \"";
        for (int j = 0; j < 10; ++j)
            xml += "&e" + QByteArray::number(i - 1) + ";";
        xml += "\">\n";
    }
    return xml + "]>\n" + rootElement;
}

struct Imports {
    ScratchFolder dir;
    QString temp = dir.path() + "/";
    QString error;
    cWord word{error};
    cExcel excel{error};
    Imports() {
        word.setTempFolder(temp);
        excel.setTempFolder(temp);
    }
    // Both Word imports end with "Open:" and the office still answers afterwards.
    void expectWordOpenFailure(const QString& path, const QString& why) {
        QElapsedTimer timer;
        timer.start();
        QString html = "old";
        EXPECT_FALSE(word.Word2HTML(path, html)) << why.toStdString();
        EXPECT_TRUE(error.startsWith("Open:")) << why.toStdString() << ": " << error.toStdString();
        EXPECT_GT(error.size(), 5) << why.toStdString();
        EXPECT_EQ(html, "");
        EXPECT_FALSE(word.Word2Images(path, "", html)) << why.toStdString();
        EXPECT_TRUE(error.startsWith("Open:")) << why.toStdString();
        EXPECT_LT(timer.elapsed(), 60000) << why.toStdString();
    }
    void expectExcelOpenFailure(const QString& path, const QString& why) {
        QString names = "old";
        EXPECT_FALSE(excel.GetExcelWorkSheetName(path, names)) << why.toStdString();
        EXPECT_TRUE(error.startsWith("Open:")) << why.toStdString() << ": " << error.toStdString();
        EXPECT_EQ(names, "");
    }
};

const QString& GoodDocument() {
    static ScratchFolder dir;
    static const QString path = MakeWordDocument(dir, "good.docx", 1);
    return path;
}

void ExpectStillWorks(Imports& imports) {
    QString html;
    EXPECT_TRUE(imports.word.Word2HTML(GoodDocument(), html)) << imports.error.toStdString();
    EXPECT_TRUE(html.contains("Page 1 of the sample document.")) << html.toStdString();
}

TEST(BadDocuments, ProtectedCorruptAndMisnamedFilesEndWithOpen) {
    Imports imports;
    const QString locked = MakeWordDocument(imports.dir, "locked.doc", 1, 0, "secret");
    imports.expectWordOpenFailure(locked, "password");

    QFile good(GoodDocument());
    ASSERT_TRUE(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    imports.expectWordOpenFailure(imports.dir.write("cut.docx", bytes.left(bytes.size() / 2)),
                                  "truncated");
    imports.expectWordOpenFailure(imports.dir.write("picture.docx", SamplePicture()), "picture");
    imports.expectWordOpenFailure(imports.dir.write("notes.doc", "just some text\n"), "text");
    const QString book = MakeWorkbook(imports.dir, "book.xlsx", {"Sheet"});
    QFile::copy(book, imports.dir.file("book-named.docx"));
    imports.expectWordOpenFailure(imports.dir.file("book-named.docx"), "workbook");
    QFile::copy(GoodDocument(), imports.dir.file("letter-named.xlsx"));
    imports.expectExcelOpenFailure(imports.dir.file("letter-named.xlsx"), "letter");
    imports.expectExcelOpenFailure(imports.dir.write("noise.xls", QByteArray(5000, '\x07')),
                                   "noise");
    ExpectStillWorks(imports);
}

TEST(BadDocuments, EntityExpansionBombsEndWithOpen) {
    Imports imports;
    const QString bomb = ReplacePart(
        GoodDocument(), imports.dir.file("bomb.docx"), "word/document.xml",
        EntityBomb("<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/"
                   "2006/main\"><w:body><w:p><w:r><w:t>&e12;</w:t></w:r></w:p></w:body>"
                   "</w:document>"),
        imports.dir);
    imports.expectWordOpenFailure(bomb, "docx bomb");
    // The XML spreadsheet format is read through a style-sheet transformation.
    const QString sheetBomb = imports.dir.write(
        "bomb.xls",
        EntityBomb("<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
                   "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet "
                   "ss:Name=\"A\"><Table><Row><Cell><Data ss:Type=\"String\">&e12;</Data></Cell>"
                   "</Row></Table></Worksheet></Workbook>"));
    imports.expectExcelOpenFailure(sheetBomb, "xml spreadsheet bomb");
    ExpectStillWorks(imports);
}

TEST(BadDocuments, ADocumentThatTakesTooLongStopsTheOfficeWhichThenStartsAgain) {
    Imports imports;
    ScratchFolder dir;
    QString body;
    for (int i = 0; i < 40000; ++i)
        body += QString("<text:p>Paragraph %1 of a long document.</text:p>").arg(i);
    const QString source =
        dir.write("long.fodt", ("<?xml version=\"1.0\"?><office:document "
                                "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                                "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
                                "office:mimetype=\"application/vnd.oasis.opendocument.text\">"
                                "<office:body><office:text>" +
                                body + "</office:text></office:body></office:document>")
                                   .toUtf8());
    const QString slow = ConvertWithOffice(source, dir.file("long.docx"), "MS Word 2007 XML");

    OfficeEngine& engine = OfficeEngine::instance();
    const int starts = engine.startCount();
    const int limit = engine.timeLimit();
    engine.setTimeLimit(100);
    QString html;
    EXPECT_FALSE(imports.word.Word2HTML(slow, html));
    engine.setTimeLimit(limit);
    EXPECT_TRUE(imports.error.startsWith("Open:The office engine did not finish within"))
        << imports.error.toStdString();
    EXPECT_FALSE(engine.isRunning());
    ExpectStillWorks(imports);
    EXPECT_EQ(engine.startCount(), starts + 1);
}

TEST(BadDocuments, TooMuchMemoryStopsTheOffice) {
    Imports imports;
    const QString book = MakeWorkbook(imports.dir, "any.xlsx", {"A"});
    OfficeEngine& engine = OfficeEngine::instance();
    // The office itself needs far more than this, so the first look stops it.
    engine.setMemoryLimit(1 << 20);
    QString names;
    EXPECT_FALSE(imports.excel.GetExcelWorkSheetName(book, names));
    engine.setMemoryLimit(qint64(2) << 30);
    EXPECT_EQ(imports.error, "Open:The document needs more memory than the office engine may use.");
    EXPECT_FALSE(engine.isRunning());
    ExpectStillWorks(imports);
}

} // namespace
