#include "OfficeDocuments.h"
#include "conversion/cExcel.h"
#include "platform/OfficeEngine.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace {

struct ExcelImport {
    ScratchFolder dir;
    QString temp = dir.path() + "/";
    QString error;
    cExcel excel{error, [] { return QStringLiteral("20260101120000000"); }};
    ExcelImport() { excel.setTempFolder(temp); }
};

// Made once: converting a workbook costs more than the tests that read it.
const QString& SampleBook() {
    static ScratchFolder dir;
    static const QString path = MakeWorkbook(dir, "sample.xlsx", {"First", "", "Third", "~Secret"});
    return path;
}

TEST(ExcelImport, ListsEverySheetIncludingEmptyAndHiddenOnes) {
    ExcelImport x;
    QString names = "old";
    ASSERT_TRUE(x.excel.GetExcelWorkSheetName(SampleBook(), names)) << x.error;
    EXPECT_EQ(names, "First\r\nEmpty1\r\nThird\r\nSecret");
    EXPECT_EQ(x.error, "");
    // The old binary format lists the same.
    const QString xls = MakeWorkbook(x.dir, "old.XLS", {"One", "Two"});
    ASSERT_TRUE(x.excel.GetExcelWorkSheetName(xls, names)) << x.error;
    EXPECT_EQ(names, "One\r\nTwo");
}

TEST(ExcelImport, RefusesWhatIsNoExcelFileWithoutStartingTheOffice) {
    ExcelImport x;
    const int starts = OfficeEngine::instance().startCount();
    const QString csv = x.dir.write("table.csv", "a,b\n1,2\n");
    QString names = "old", style = "old", body = "old";
    EXPECT_FALSE(x.excel.GetExcelWorkSheetName(csv, names));
    EXPECT_EQ(x.error, "InvalidFile:xls|xlsx");
    EXPECT_EQ(names, "");
    EXPECT_FALSE(x.excel.Excel2HTML(x.dir.file("missing.xlsx"), 0, "", style, body));
    EXPECT_EQ(x.error, "InvalidFile:xls|xlsx");
    EXPECT_FALSE(x.excel.Excel2Images(csv, 0, "", body));
    EXPECT_EQ(x.error, "InvalidFile:xls|xlsx");
    EXPECT_EQ(OfficeEngine::instance().startCount(), starts);
}

TEST(ExcelImport, EverySheetFormPublishesOnlySheetsThatHoldSomething) {
    ExcelImport x;
    QString style, body;
    ASSERT_TRUE(x.excel.Excel2HTML(SampleBook(), 0, "", style, body)) << x.error;
    EXPECT_EQ(style.count("<style>"), 3) << style;
    EXPECT_EQ(body.count("<table"), 3) << body;
    EXPECT_LT(body.indexOf("First"), body.indexOf("Third"));
    EXPECT_LT(body.indexOf("Third"), body.indexOf("Secret"));
    for (const char* page : {"1", "3", "4"}) {
        QFile file(x.temp + "Tessary_Temp_Excel_Sheet" + page + ".html");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page;
        EXPECT_TRUE(
            file.readAll().contains(QByteArray("<div id=\"Tessary_Excel_Sheet_Div") + page + "\""));
    }
    EXPECT_FALSE(QFile::exists(x.temp + "Tessary_Temp_Excel_Sheet2.html"));
}

TEST(ExcelImport, OneSheetIsPublishedEvenWhenEmptyAndAMissingOneFails) {
    ExcelImport x;
    QString style, body;
    ASSERT_TRUE(x.excel.Excel2HTML(SampleBook(), 2, "", style, body)) << x.error;
    EXPECT_TRUE(QFile::exists(x.temp + "Tessary_Temp_Excel_Sheet2.html"));
    EXPECT_EQ(style.count("<style>"), 1);
    ASSERT_TRUE(x.excel.Excel2HTML(SampleBook(), 3, "", style, body)) << x.error;
    EXPECT_TRUE(body.contains("Third")) << body;
    EXPECT_FALSE(body.contains("First")) << body;

    EXPECT_FALSE(x.excel.Excel2HTML(SampleBook(), 9, "", style, body));
    EXPECT_EQ(x.error, "SetSheet:Subscript out of range");
    EXPECT_EQ(body, "");
}

TEST(ExcelImport, PicturesOfTheUsedRangesNumberedBySheetPosition) {
    ExcelImport x;
    QString body;
    ASSERT_TRUE(x.excel.Excel2Images(SampleBook(), 0, "imgtype:png", body)) << x.error;
    const QString prefix = "<img src=\"" + x.temp + "20260101120000000";
    EXPECT_EQ(body, prefix + "001.png\" border=0><br>" + prefix + "003.png\" border=0><br>" +
                        prefix + "004.png\" border=0><br>");
    const QImage picture(x.temp + "20260101120000000001.png");
    // Two columns and two rows of text, not a whole page.
    EXPECT_GT(picture.width(), 40);
    EXPECT_LT(picture.width(), 600);
    EXPECT_LT(picture.height(), 200);
    EXPECT_TRUE(HasInk(x.temp + "20260101120000000001.png"));

    ASSERT_TRUE(x.excel.Excel2Images(SampleBook(), 3, "", body)) << x.error;
    EXPECT_EQ(body, prefix + "003.jpg\" border=0><br>");
    // An empty sheet, a negative index and one past the end give no picture.
    for (const qint16 index : {qint16(2), qint16(-1), qint16(12)}) {
        ASSERT_TRUE(x.excel.Excel2Images(SampleBook(), index, "", body)) << index;
        EXPECT_EQ(body, "") << index;
    }
}

// Chart sheets are sheets like the others: listed, numbered and imported in workbook
// order, so list positions, Worksheets positions and n_SheetIndex agree.
TEST(ExcelImport, AChartSheetKeepsItsPlaceAndItsChart) {
    ExcelImport x;
    const QString book = x.dir.file("chart.xlsx");
    const CommandResult made = RunCommand(
        "/usr/bin/python3",
        {QString(TESSARY_SOURCE_DIR) + "/tests/office/fixtures/make_chart_workbook.py", book});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    QString names;
    ASSERT_TRUE(x.excel.GetExcelWorkSheetName(book, names)) << x.error;
    EXPECT_EQ(names, "Data\r\nChart1\r\nAfter");

    QString style, body;
    ASSERT_TRUE(x.excel.Excel2HTML(book, 0, "optimizemode:1", style, body)) << x.error;
    EXPECT_EQ(style.count("<style>"), 3);
    QFile chartPage(x.temp + "Tessary_Temp_Excel_Sheet2.html");
    ASSERT_TRUE(chartPage.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        chartPage.readAll().contains("src=\"Tessary_Temp_Excel_Sheet2_files/image001.png\""));
    // The bars too: the chart's data lies on another sheet.
    EXPECT_GT(ColouredPixels(x.temp + "Tessary_Temp_Excel_Sheet2_files/image001.png"), 1000);
    EXPECT_LT(body.indexOf("Tessary_Temp_Excel_Sheet2_files"), body.indexOf("after the chart"));

    ASSERT_TRUE(x.excel.Excel2Images(book, 2, "imgtype:png", body)) << x.error;
    const QString picture = x.temp + "20260101120000000002.png";
    EXPECT_EQ(body, "<img src=\"" + picture + "\" border=0><br>");
    // The whole chart, not the one used cell below it.
    EXPECT_GT(QImage(picture).width(), 400);
    EXPECT_GT(QImage(picture).height(), 250);
    EXPECT_GT(ColouredPixels(picture), 1000);
}

} // namespace
