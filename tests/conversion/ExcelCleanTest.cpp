#include "common/RegexOps.h"
#include "tests/conversion/CleanResult.h"

#include <gtest/gtest.h>

namespace {

const QString kModeOne = u"optimizemode:1"_s;
const QString kTableId = u"t091502037"_s;

QString Sheet(const QString& head, const QString& body) {
    return u"<html><head>"_s + head + u"</head><body link=blue>"_s + body + u"</body></html>"_s;
}

TEST(ExcelClean, TablesShareOneIdentifierAndCellRulesAreScopedToIt) {
    const QString html = Sheet(
        u"<style>td {color:red;}\r\n.xl65 {color:blue;}\r\ntd\r\n\t{border:none;}</style>"_s,
        u"<table x:str border=0><tr><td>a</td></tr></table><TABLE><tr><td>b</td></tr></TABLE>"_s);
    const CleanResult result = CleanExcel(html, kModeOne);
    // A cell rule at the very start of the style text is not scoped.
    EXPECT_EQ(
        result.style,
        StyleSheet(u"td {color:red;}\r\n.xl65 {color:blue;}\r\n#t091502037 td {border:none;}"_s));
    EXPECT_EQ(result.body, u"<table id=\"t091502037\" border=0><tr><td>a</td></tr></table>"
                           "<TABLE id=\"t091502037\"><tr><td>b</td></tr></TABLE>"_s);

    // Another call at another time: other identifier, so the sheets' rules stay apart.
    const CleanResult later = CleanExcel(html, kModeOne, u"20261209091502038"_s);
    EXPECT_TRUE(later.style.contains(u"#t091502038 td"_s));
    EXPECT_TRUE(later.body.contains(u"id=\"t091502038\""_s));

    // The real clock gives "t" and ten digits, the same for every table of the call.
    QString error;
    QString style;
    QString body;
    cExcel(error).OptimizeHTML(u"paste"_s, html, kModeOne, style, body);
    const QString id = RegexSubMatch(body, u"id=\"(t[0-9]+)\""_s, 0);
    EXPECT_EQ(id.size(), 10);
    EXPECT_EQ(body.count(id), 2);
}

TEST(ExcelClean, StyleElementsWithAttributesAndOfficeProperties) {
    const QString head =
        u"<style id=\"Book1_styles\" "
        u"media=screen>\r\n<!--table\r\n\t{mso-displayed-decimal-separator:"
        "\"\\.\";\r\n\tmso-displayed-thousand-separator:\"\\,\";}\r\n.xl65\r\n\t{mso-style-parent:"
        "style0;\r\n\tmso-number-format:\"0\\.00_ \";\r\n\tcolor:red;}\r\n"
        "ruby\r\n\t{ruby-align:left;}\r\nrt\r\n\t{color:windowtext;}\r\n-->\r\n</style>"
        "<!--[if gte mso 9]><xml><x:ExcelWorkbook></x:ExcelWorkbook></xml><![endif]-->"_s;
    EXPECT_EQ(CleanExcel(Sheet(head, u"<table><tr><td>1</td></tr></table>"_s), {}).style,
              StyleSheet(u".xl65 {color:red;}"_s));
    // Ruby rules stay for a sheet with ruby text.
    EXPECT_EQ(
        CleanExcel(Sheet(head, u"<ruby>a<rt>b</rt></ruby>"_s), {}).style,
        StyleSheet(u".xl65 {color:red;}\r\nruby {ruby-align:left;}\r\nrt {color:windowtext;}"_s));
    EXPECT_EQ(CleanExcel(Sheet({}, {}), {}).style, StyleSheet({}));
}

TEST(ExcelClean, ModeTwoKeepsTableTagsOnly) {
    const QString body =
        u"<table border=0 class=x style='width:10pt' x:str><col width=72><tr height=18 "
        "style='height:13.5pt'><td class=xl65 x:num=\"1.5\">1.50</td><td class=xl66 "
        "x:num>2</td><td><p>p"
        "<br><span>s</span><font>f</font><img src=a.png></p></td></tr></table>"_s;
    EXPECT_EQ(CleanExcel(Sheet({}, body), {}).body,
              u"<table id=\"t091502037\" border=0><tr height=18><td>1.50</td><td>2</td><td>psf"
              "</td></tr></table>"_s);
    EXPECT_EQ(CleanExcel(Sheet({}, body), u"opt2image:1;opt2table:1"_s).body,
              u"<table id=\"t091502037\" border=1 style=\"border-collapse:collapse;\"><tr "
              "height=18><td>1.50</td><td>2</td><td>psf<img src=a.png></td></tr></table>"_s);
}

TEST(ExcelClean, EmptyRowSwitches) {
    const QString rows =
        u"<table border=0><tr height=1><td>　</td><td> </td></tr><tr height=2><td></td><td>"
        "</td></tr><tr height=3><td>&nbsp;</td></tr><tr height=4><td>x</td></tr></table>"_s;
    // Blank cells (ideographic spaces too, "&nbsp;" not) in mode 1.
    EXPECT_EQ(CleanExcel(Sheet({}, rows), kModeOne + u";opt1space:1"_s).body,
              u"<table id=\"t091502037\" border=0><tr height=3><td>&nbsp;</td></tr><tr "
              "height=4><td>x</td></tr></table>"_s);
    // Only completely empty cells in mode 2.
    EXPECT_EQ(CleanExcel(Sheet({}, rows), u"opt2space:1"_s).body,
              u"<table id=\"t091502037\" border=0><tr height=1><td>　</td><td> </td></tr><tr "
              "height=3><td>&nbsp;</td></tr><tr height=4><td>x</td></tr></table>"_s);
}

TEST(ExcelClean, ModeOneVmlAndBorders) {
    const QString drawing =
        u"<table border=0 width=9><tr><td><!--[if gte vml 1]><v:shape id=\"s1\"><v:imagedata "
        "src=\"a.png\"/><x:ClientData "
        "ObjectType=\"Pict\"></x:ClientData></v:shape><![endif]--><![if "
        "!vml]><span><img src=\"a.png\" v:shapes=\"s1\"></span><![endif]><o:p>o</o:p></td></tr>"
        "</table>"_s;
    EXPECT_EQ(CleanExcel(Sheet({}, drawing), kModeOne + u";opt1vml:1"_s).body,
              u"<table id=\"t091502037\" border=0 width=9><tr><td><span><img src=\"a.png\">"
              "</span>o</td></tr></table>"_s);
    // Without the switch the fallback goes and the drawing stays.
    EXPECT_EQ(CleanExcel(Sheet({}, drawing), kModeOne).body,
              u"<table id=\"t091502037\" border=0 width=9><tr><td><!--[if gte vml 1]><v:shape "
              "id=\"s1\"><v:imagedata src=\"a.png\"/><x:ClientData ObjectType=\"Pict\">"
              "</x:ClientData></v:shape><![endif]--><o:p>o</o:p></td></tr></table>"_s);

    const QString sheet = Sheet(u"<style>.a {color:red;}\r\ntd {border:none;color:red;}</style>"_s,
                                u"<table border=0 width=9><tr><td>x</td></tr></table>"_s);
    const CleanResult bordered = CleanExcel(sheet, kModeOne + u";opt1table:1;opt1overflow:1"_s);
    EXPECT_EQ(bordered.style, StyleSheet(u".a {color:red;}\r\n#t091502037 td {;color:red;}"_s));
    EXPECT_EQ(bordered.body,
              u"<div style=\"width:100%;overflow:auto;\">\r\n<table id=\"t091502037\" border=1 "
              "width=9><tr><td>x</td></tr></table>\r\n</div>"_s);
}

TEST(ExcelClean, DoFlagHasNoEffectAndResultsAreReplaced) {
    const QString html =
        Sheet(u"<style>td {x:y;}</style>"_s, u"<table><tr><td>a<br>b</td></tr></table>"_s);
    for (const QString& options : {QString(), kModeOne}) {
        const CleanResult paste = CleanExcel(html, options, kFixedTimestamp, u"paste"_s);
        const CleanResult import = CleanExcel(html, options, kFixedTimestamp, u"import"_s);
        EXPECT_EQ(paste.style, import.style);
        EXPECT_EQ(paste.body, import.body);
        EXPECT_EQ(paste.error, QString());
    }
}

} // namespace
