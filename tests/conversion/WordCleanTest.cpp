#include "tests/conversion/CleanResult.h"

#include <gtest/gtest.h>

namespace {

const QString kModeOne = u"optimizemode:1"_s;

TEST(WordClean, ModeIsOneOnlyForTheExactValueOne) {
    const QString html = Page({}, u"<p><span class=x>a</span></p>"_s);
    for (const QString& options : {u""_s, u"optimizemode:2"_s, u"optimizemode:yes"_s,
                                   u"optimizemode:"_s, u"optimizemode:11"_s})
        EXPECT_EQ(CleanWord(html, options).body, u"<p>a</p>"_s) << options.toStdString();
    EXPECT_EQ(CleanWord(html, u"optimizemode: 1 "_s).body, u"<p><span class=x>a</span></p>"_s);
    EXPECT_EQ(CleanWord(html, u"OptimizeMode:1"_s).body, u"<p><span class=x>a</span></p>"_s);
}

TEST(WordClean, ModeTwoKeepsTagsByNamePrefix) {
    const QString body =
        u"<p class=x><span>a</span><b>b</b><a href=x>c</a><img src=y><table><tr><td>d</td></tr>"
        "</table><pre>e</pre><br><tbody></tbody><thead></thead><sub>2</sub></p>"_s;
    EXPECT_EQ(CleanWord(Page({}, body), {}).body, u"<p>abcd<pre>e</pre><br>2</p>"_s);
    // Tables keep their tags and get a visible border; "thead" stays under "th", "tbody" goes.
    EXPECT_EQ(CleanWord(Page({}, body), u"opt2table:1"_s).body,
              u"<p>abc<table style=\"border-collapse:collapse;\" border=1 "
              "bordercolor=\"#000000\"><tr><td>d</td></tr></table><pre>e</pre><br><thead>"
              "</thead>2</p>"_s);
    EXPECT_EQ(CleanWord(Page({}, u"<p>a<img src=y>b</p>"_s), u"opt2image:1"_s).body,
              u"<p>a<img src=y>b</p>"_s);
}

TEST(WordClean, ModeTwoSwitchesForEquationsIndentAndLineBreaks) {
    // A raised picture of a paste becomes a subscript, then sits in the middle.
    const QString raised =
        u"<p>x<span style='position:relative;top:4.0pt;mso-text-raise:-4.0pt'><img width=20 "
        "src=\"eq.png\"></span><sup>2</sup></p>"_s;
    EXPECT_EQ(
        CleanWord(Page({}, raised), u"opt2eq:1"_s).body,
        u"<p>x<img style=\"vertical-align:middle;\" width=20 src=\"eq.png\"><sup>2</sup></p>"_s);
    // The same in an import has no subscript around it and is only kept.
    EXPECT_EQ(CleanWord(Page({}, raised), u"opt2eq:1"_s, u"import"_s).body,
              u"<p>x<img width=20 src=\"eq.png\"><sup>2</sup></p>"_s);
    EXPECT_EQ(CleanWord(Page({}, raised), {}).body, u"<p>x2</p>"_s);

    const QString paragraphs = u"<p class=a>one</p><p>two</p>"_s;
    EXPECT_EQ(CleanWord(Page({}, paragraphs), u"opt2indent:1"_s).body,
              u"<p style=\"text-indent:2em;\">one</p><p style=\"text-indent:2em;\">two</p>"_s);
    EXPECT_EQ(CleanWord(Page({}, paragraphs), u"opt2ptobr:1"_s).body, u"one<br>two<br>"_s);
}

TEST(WordClean, StyleSheetIsCollectedAndCleaned) {
    EXPECT_EQ(CleanWord(Page({}, u"<p>x</p>"_s), {}).style, StyleSheet({}));

    // Two style elements: the first one's rules first, one line break between them.
    const QString twoSheets = u"<style>p {color:red;}</style><style>b {color:blue;}</style>"_s;
    EXPECT_EQ(CleanWord(Page(twoSheets, {}), {}).style,
              StyleSheet(u"p {color:red;}\r\nb {color:blue;}"_s));

    const QString officeSheet =
        u"<style>\r\n<!--\r\n /* Font Definitions */\r\n @font-face\r\n\t{font-family:SimSun;}\r\n"
        "st1\\:*{behavior:url(#ieooui) }\r\nv\\:* {behavior:url(#default#VML);}\r\n"
        ".shape {behavior:url(#default#VML);}\r\n"
        "p.MsoNormal, li.MsoNormal\r\n\t{mso-style-parent:\"\";\r\n\tmargin:0cm;\r\n"
        "\tmso-pagination:widow-orphan;\r\n\tfont-size:12.0pt;}\r\n"
        "a:link, "
        "span.MsoHyperlink\r\n\t{color:blue;}\r\nspan.empty\r\n\t{mso-ansi-language:EN;}\r\n"
        "ol\r\n\t{margin-bottom:0cm;}\r\n@list l0\r\n\t{mso-list-id:1;}\r\n-->\r\n</style>"_s;
    // The VML behaviour rules leave only with "opt1vml", in either mode.
    EXPECT_EQ(CleanWord(Page(officeSheet, {}), {}).style,
              StyleSheet(u"v\\:* {behavior:url(#default#VML);}\r\n"
                         ".shape {behavior:url(#default#VML);}\r\n"
                         "p.MsoNormal, li.MsoNormal {margin:0cm;font-size:12.0pt;}"_s));
    EXPECT_EQ(CleanWord(Page(officeSheet, {}), u"opt1vml:1"_s).style,
              StyleSheet(u"p.MsoNormal, li.MsoNormal {margin:0cm;font-size:12.0pt;}"_s));

    // Office's conditional comments in the head take their style elements with them.
    const QString conditional =
        u"<!--[if gte mso 9]><style>p {color:red;}</style><![endif]--><style>b {x:y;}</style>"_s;
    EXPECT_EQ(CleanWord(Page(conditional, {}), {}).style, StyleSheet(u"b {x:y;}"_s));
}

TEST(WordClean, HeadAndBodyMarkers) {
    // The clipboard header lines belong to the head and never reach the body.
    const QString paste =
        u"Version:0.9\r\nStartHTML:0000000105\r\nEndHTML:0000000199\r\nStartFragment:0000000140\r\n"
        "EndFragment:0000000170\r\n<html><head><style>p {color:red;}</style></head>"
        "<body><!--StartFragment--><p>x</p><!--EndFragment--></body></html>"_s;
    const CleanResult pasted = CleanWord(paste, {});
    EXPECT_EQ(pasted.body, u"<p>x</p>"_s);
    EXPECT_EQ(pasted.style, StyleSheet(u"p {color:red;}"_s));

    // Without "</head>" the style elements are searched in the whole text, and the body
    // is the whole text too.
    const CleanResult headless = CleanWord(u"<style>p {color:red;}</style><p>x</p>"_s, {});
    EXPECT_EQ(headless.style, StyleSheet(u"p {color:red;}"_s));
    EXPECT_EQ(headless.body, u"p {color:red;}<p>x</p>"_s);

    // Markers are found whatever their case; the body ends at the last "</body>".
    EXPECT_EQ(
        CleanWord(u"<HTML><HEAD></HEAD><BODY BGCOLOR=white><P>a</P></BODY>x</BODY></HTML>"_s, {})
            .body,
        u"<P>a</P>x"_s);
    EXPECT_EQ(CleanWord(u"<p>no markers</p>"_s, {}).body, u"<p>no markers</p>"_s);
    EXPECT_EQ(CleanWord({}, {}).body, QString());
}

TEST(WordClean, VmlPicturesAndTheirFallbacks) {
    const QString picture =
        u"<p><!--[if gte vml 1]><v:shape id=\"i1\" style='width:10pt'><v:imagedata src=\"a.png\"/>"
        "</v:shape><![endif]--><![if !vml]><img width=10 height=10 src=\"a.png\" "
        "v:shapes=\"i1\"><![endif]></p>"_s;
    EXPECT_EQ(CleanWord(Page({}, picture), kModeOne).body, u"<p>&nbsp;</p>"_s);
    EXPECT_EQ(CleanWord(Page({}, picture), kModeOne + u";opt1vml:1"_s).body,
              u"<p><img width=10 height=10 src=\"a.png\"></p>"_s);
    // Mode 2 always falls back to the picture, and keeps it when asked to.
    EXPECT_EQ(CleanWord(Page({}, picture), u"opt2image:1"_s).body,
              u"<p><img width=10 height=10 src=\"a.png\"></p>"_s);
}

TEST(WordClean, ModeOneRemovesOfficeMarkupAndKeepsFormatting) {
    const QString body =
        // Smart tags give way to their content one level per clean-up.
        u"<p class=MsoNormal><span lang=EN-US style='font-size:12.0pt;mso-bidi-font-size:10.0pt;"
        "mso-fareast-language:ZH-CN'>a<o:p></o:p></span></p>"
        "<p class=MsoNormal style=\"mso-margin-top-alt:auto\"><st1:place w:st=\"on\">"
        "<st1:City w:st=\"on\">Paris</st1:City></st1:place><o:p>&nbsp;</o:p></p>"
        "<p class=MsoNormal></p><span style='color:red'></span>"
        "<p>a<span class=x><font face=y></font></span>b</p><!--[if mso]><x>y</x><![endif]-->"_s;
    EXPECT_EQ(CleanWord(Page({}, body), kModeOne).body,
              u"<p class=MsoNormal><span style='font-size:12.0pt;'>a</span></p>"
              "<p class=MsoNormal ><st1:City w:st=\"on\">Paris</st1:City></p>"
              "<p class=MsoNormal>&nbsp;</p><p>ab</p>"_s);
}

TEST(WordClean, ModeOneSwitches) {
    const QString positioned =
        u"<p style='margin-left:-18.0pt;left:-3pt;position:absolute;top:2pt'>x</p>"_s;
    EXPECT_EQ(CleanWord(Page({}, positioned), kModeOne + u";opt1absolute:1"_s).body,
              u"<p style='margin-left:-18.0pt;left:-3pt;;top:2pt'>x</p>"_s);
    EXPECT_EQ(CleanWord(Page({}, positioned), kModeOne + u";opt1margin:1"_s).body,
              u"<p style='margin-left:0pt;left:0pt;position:absolute;top:2pt'>x</p>"_s);
    EXPECT_EQ(CleanWord(Page({}, positioned), kModeOne).body, positioned);

    const QString spaces =
        u"<p class=MsoNormal><span><b>&nbsp;&nbsp;</b></span></p><p>keep</p><p class=a>text</p>"
        "<p class=a><b></b>&nbsp;<i></i></p>"_s;
    EXPECT_EQ(CleanWord(Page({}, spaces), kModeOne + u";opt1space:1"_s).body,
              u"<p>keep</p><p class=a>text</p><p class=a><b></b>&nbsp;<i></i></p>"_s);

    const QString imported = u"<p><sub><img width=9 style='width:9pt' src=\"e.gif\"></sub></p>"_s;
    EXPECT_EQ(CleanWord(Page({}, imported), kModeOne + u";opt1eq:1"_s, u"import"_s).body,
              u"<p><img style=\"vertical-align:middle;\" width=9  src=\"e.gif\"></p>"_s);
    // A paste knows raised pictures only; a subscript picture stays as it is.
    EXPECT_EQ(CleanWord(Page({}, imported), kModeOne + u";opt1eq:1"_s).body, imported);
    const QString raised =
        u"<p><span style='mso-text-raise:-4pt'><img width=9 style='width:9pt' src=\"e.gif\">"
        "</span></p>"_s;
    EXPECT_EQ(CleanWord(Page({}, raised), kModeOne + u";opt1eq:1"_s).body,
              u"<p><img style=\"vertical-align:middle;\" width=9  src=\"e.gif\"></p>"_s);
}

const QString kA4InPoints =
    u"<style>@page WordSection1\r\n\t{size:595.3pt 841.9pt;\r\n\tmargin:72.0pt 90.0pt 72.0pt "
    "90.0pt;\r\n\tmso-header-margin:42.55pt;}</style>"_s;
const QString kFrameStart = u"<table border=0 cellpadding=0 cellspacing=0 align=center "
                            "style=\"overflow-x:hidden;word-break:break-all;"_s;

TEST(WordClean, PageFrameFromThePageSetUp) {
    const QString html = Page(kA4InPoints, u"<p>x</p>"_s);
    EXPECT_EQ(CleanWord(html, u"pagewidth:1"_s).body,
              kFrameStart + u"width:415.3pt;\"><tr><td><p>x</p></td></tr></table>"_s);
    EXPECT_EQ(CleanWord(html, u"pagewidth:1;pagemargin:1"_s).body,
              kFrameStart +
                  u"width:595.3pt;padding:72.0pt 90.0pt 72.0pt 90.0pt;\"><tr><td><p>x</p></td>"
                  "</tr></table>"_s);
    const QString frame = kFrameStart + u"width:415.3pt;\"><tr><td><p>x</p></td></tr></table>"_s;
    EXPECT_EQ(CleanWord(html, u"pagewidth:1;pageeffect:1;pagescroll:1"_s).body,
              u"<div style=\"width:100%;overflow:auto;\"><table cellspacing=0 cellpadding=0 "
              "align=center style=\"border-top:1px solid #000000;border-left:1px solid "
              "#000000;border-right:3px solid #000000;border-bottom:3px solid #000000;\"><tr>"
              "<td style=\"background-color:#ffffff;\">"_s +
                  frame + u"</td></table></div>"_s);
    // The decorations need the frame.
    EXPECT_EQ(CleanWord(html, u"pageeffect:1;pagescroll:1;pagemargin:1"_s).body, u"<p>x</p>"_s);
    // The page rule never reaches the style sheet.
    EXPECT_EQ(CleanWord(html, u"pagewidth:1"_s).style, StyleSheet({}));
}

TEST(WordClean, PageFrameInCentimetresAndUnusableSetUps) {
    const QString a4InCm =
        u"<style>@page Section1 {size:21cm 29.7cm; margin:2cm 2cm 2cm 2cm;}</style>"_s;
    EXPECT_EQ(CleanWord(Page(a4InCm, u"<p>x</p>"_s), u"pagewidth:1"_s).body,
              kFrameStart + u"width:481.95pt;\"><tr><td><p>x</p></td></tr></table>"_s);

    const QString unusable[] = {
        u"<style>@page S {size:595.3pt 841.9pt; margin:72.0pt 90.0pt;}</style>"_s,
        u"<style>@page S {size:8.5in 11.0in; margin:1in 1in 1in 1in;}</style>"_s,
        u"<style>@page S {size:595.3pt  841.9pt; margin:72pt 90pt 72pt 90pt;}</style>"_s,
        u"<style>@page S {margin:72pt 90pt 72pt 90pt;}</style>"_s,
        u"<style>p {size:595.3pt 841.9pt; margin:72pt 90pt 72pt 90pt;}</style>"_s,
    };
    for (const QString& sheet : unusable)
        EXPECT_EQ(CleanWord(Page(sheet, u"<p>x</p>"_s), u"pagewidth:1"_s).body, u"<p>x</p>"_s)
            << sheet.toStdString();
}

TEST(WordClean, TailTidiesTagsAndEmptyElements) {
    // Mode 1 only tidies a tag name followed by blanks; mode 2 collapses blanks in tags.
    EXPECT_EQ(CleanWord(Page({}, u"<p   >a</p><p class=x ></p><b >c</b>"_s), kModeOne).body,
              u"<p>a</p><p class=x >&nbsp;</p><b>c</b>"_s);
    // Nested empty spans and fonts go level by level; a "spanner" tag is not a span.
    EXPECT_EQ(
        CleanWord(Page({}, u"<span a=1><font><span></span></font></span><spanner></spanner>"_s),
                  kModeOne)
            .body,
        u"<spanner></spanner>"_s);
}

TEST(WordClean, ErrorIsClearedAndResultsAreReplaced) {
    QString error = u"old error"_s;
    QString style = u"old style"_s;
    QString body = u"old body"_s;
    cWord(error).OptimizeHTML(u"paste"_s, Page({}, u"<p>x</p>"_s), {}, style, body);
    EXPECT_EQ(error, QString());
    EXPECT_EQ(style, StyleSheet({}));
    EXPECT_EQ(body, u"<p>x</p>"_s);
}

} // namespace
