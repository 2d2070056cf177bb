#include "common/RegexOps.h"
#include "common/TextHelpers.h"
#include "tests/conversion/CleanResult.h"

#include <QFile>
#include <gtest/gtest.h>

// Realistic clipboard and saved-page HTML from Word and Excel, cleaned under many
// option strings; the checks are what the editor relies on whatever the options.
namespace {

QString Fixture(const char* name) {
    QFile file(QStringLiteral(TESSARY_SOURCE_DIR "/tests/conversion/fixtures/") +
               QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return DecodeUtf8(file.readAll());
}

const QString kWordOptions[] = {
    u""_s,
    u"optimizemode:1"_s,
    u"optimizemode:1;opt1vml:1;opt1absolute:1;opt1space:1;opt1eq:1;opt1margin:1"_s,
    u"optimizemode:1;opt1vml:1;pagewidth:1;pagemargin:1;pageeffect:1;pagescroll:1"_s,
    u"opt2image:1;opt2table:1;opt2eq:1;opt2indent:1;opt2ptobr:1"_s,
    u"opt2image:1;pagewidth:1"_s,
    u"opt2table:1;opt2eq:1"_s,
};

void ExpectCleanStyleSheet(const QString& style) {
    EXPECT_TRUE(style.startsWith(u"<style>\r\n/* Generator: Tessary */\r\n"_s))
        << style.toStdString();
    EXPECT_TRUE(style.endsWith(u"\r\n</style>"_s));
    EXPECT_FALSE(style.contains(u"mso-"_s, Qt::CaseInsensitive)) << style.toStdString();
    EXPECT_FALSE(style.contains(u"@"_s)) << style.toStdString();
    EXPECT_FALSE(style.contains(u"<!--"_s));
}

TEST(OfficeFixtures, WordPasteAndImportUnderManyOptions) {
    for (const char* name : {"word-paste.html", "word-import.html"}) {
        const QString html = Fixture(name);
        const QString doFlag = QLatin1String(name).contains("paste"_L1) ? u"paste"_s : u"import"_s;
        for (const QString& options : kWordOptions) {
            SCOPED_TRACE(std::string(name) + " / " + options.toStdString());
            const CleanResult result = CleanWord(html, options, doFlag);
            EXPECT_EQ(result.error, QString());
            ExpectCleanStyleSheet(result.style);
            EXPECT_TRUE(
                result.style.contains(u"p.MsoNormal, li.MsoNormal, div.MsoNormal {margin:0cm;"_s));
            // The Normal Table rules sat in an Office-only conditional comment.
            EXPECT_FALSE(result.style.contains(u"MsoNormalTable"_s));

            const QString& body = result.body;
            EXPECT_FALSE(body.contains(u"<!--"_s));
            EXPECT_FALSE(body.contains(u"<o:p>"_s, Qt::CaseInsensitive));
            EXPECT_FALSE(body.contains(u"StartHTML"_s));
            EXPECT_FALSE(body.contains(u"</body>"_s, Qt::CaseInsensitive));
            EXPECT_FALSE(body.contains(u"v:shapes"_s));
            EXPECT_TRUE(body.contains(u"Tail 中文 text"_s));
            EXPECT_TRUE(body.contains(u"Quarterly Report"_s) || body.contains(u"Quarterly "_s));
            if (options.contains(u"optimizemode:1"_s)) {
                EXPECT_FALSE(body.contains(u"mso-"_s)) << body.toStdString();
                EXPECT_FALSE(body.contains(u"lang="_s));
                // The smart-tag wrapper gives way to its content.
                EXPECT_FALSE(body.contains(u"st1:"_s));
                // A paragraph that holds only a picture counts as empty for "opt1space".
                if (!options.contains(u"opt1space"_s)) {
                    EXPECT_EQ(body.contains(u"image002.png"_s), options.contains(u"opt1vml:1"_s));
                }
            } else {
                // Only the kept tag names are left.
                const QString stray = RegexSubMatch(
                    body,
                    u"(<(?!(p|/p|br|img|table|tr|td|th|/table|/tr|/td|/th|sub|sup|/sub|/sup))[^>]*>)"_s,
                    0);
                EXPECT_EQ(stray, QString());
                EXPECT_EQ(body.contains(u"<img"_s),
                          options.contains(u"opt2image"_s) || options.contains(u"opt2eq"_s));
                EXPECT_EQ(body.contains(u"border=1 bordercolor=\"#000000\""_s),
                          options.contains(u"opt2table"_s));
            }
            if (options.contains(u"pagewidth:1;pagemargin:1"_s)) {
                EXPECT_TRUE(
                    body.contains(u"width:595.3pt;padding:72.0pt 90.0pt 72.0pt 90.0pt;\""_s));
            } else if (options.contains(u"pagewidth:1"_s)) {
                EXPECT_TRUE(body.contains(u"width:415.3pt;\""_s));
            }
        }
    }
}

TEST(OfficeFixtures, WordEquationPicturesFollowTheDoFlag) {
    const QString options = u"optimizemode:1;opt1eq:1"_s;
    const QString middle = u"<img style=\"vertical-align:middle;\" width=13 height=20  src="_s;
    EXPECT_TRUE(CleanWord(Fixture("word-paste.html"), options, u"paste"_s).body.contains(middle));
    EXPECT_TRUE(CleanWord(Fixture("word-import.html"), options, u"import"_s).body.contains(middle));
    // The flag must match exactly: another spelling is treated like a paste.
    EXPECT_FALSE(
        CleanWord(Fixture("word-import.html"), options, u"Import"_s).body.contains(middle));
}

const QString kExcelOptions[] = {
    u""_s,
    u"opt2image:1;opt2space:1;opt2table:1"_s,
    u"optimizemode:1"_s,
    u"optimizemode:1;opt1vml:1;opt1space:1;opt1table:1;opt1overflow:1"_s,
};

TEST(OfficeFixtures, ExcelSheetUnderManyOptions) {
    const QString html = Fixture("excel-sheet.html");
    for (const QString& options : kExcelOptions) {
        SCOPED_TRACE(options.toStdString());
        const CleanResult result = CleanExcel(html, options);
        ExpectCleanStyleSheet(result.style);
        EXPECT_TRUE(result.style.contains(u"\r\n#t091502037 td {padding-top:1px;"_s));
        EXPECT_FALSE(result.style.contains(u"ruby"_s));

        const QString& body = result.body;
        EXPECT_EQ(body.count(u"<table id=\"t091502037\" border="_s), 1);
        EXPECT_FALSE(body.contains(u"x:num"_s));
        EXPECT_FALSE(body.contains(u"x:str"_s));
        EXPECT_FALSE(body.contains(u"ExcelWorkbook"_s));
        EXPECT_TRUE(body.contains(u"東京"_s));
        EXPECT_TRUE(body.contains(u"3,234.50"_s));
        if (options.contains(u"optimizemode:1"_s)) {
            EXPECT_FALSE(body.contains(u"mso-"_s));
            EXPECT_TRUE(body.contains(u"class=xl66"_s));
            EXPECT_EQ(body.contains(u"v:shape"_s), !options.contains(u"opt1vml"_s));
            EXPECT_EQ(body.contains(u"image002.png"_s), options.contains(u"opt1vml"_s));
        } else {
            EXPECT_FALSE(body.contains(u"class="_s));
            EXPECT_FALSE(body.contains(u"style="_s) && !options.contains(u"opt2table"_s));
            EXPECT_EQ(body.contains(u"<img"_s), options.contains(u"opt2image"_s));
            EXPECT_FALSE(body.contains(u"<font"_s));
        }
    }
}

} // namespace
