#include "platform/HtmlFormat.h"

#include <QString>
#include <gtest/gtest.h>

namespace {
qsizetype Offset(const QByteArray& block, const QByteArray& name) {
    const qsizetype at = block.indexOf(name + ":");
    return at < 0 ? -1 : block.mid(at + name.size() + 1, 10).toLongLong();
}
QByteArray Fragment(const QByteArray& block) {
    const qsizetype start = Offset(block, "StartFragment");
    return block.mid(start, Offset(block, "EndFragment") - start);
}
} // namespace

TEST(HtmlFormat, FragmentsOfEachProducerShapeAreFoundByByteOffsets) {
    // Browsers: the fragment alone, in Firefox after a charset note.
    QByteArray block = MakeHtmlFormat("<meta charset='utf-8'><b>ä</b>", {});
    EXPECT_EQ(Fragment(block), "<b>ä</b>");
    EXPECT_FALSE(block.contains("SourceURL"));
    EXPECT_EQ(block.mid(Offset(block, "StartHTML")),
              "<html>\r\n<meta charset='utf-8'><body>\r\n"
              "<!--StartFragment--><b>ä</b><!--EndFragment-->"
              "\r\n</body>\r\n</html>");
    // Markers the producer kept; UTF-16 with a byte-order mark becomes UTF-8.
    const QString marked =
        QStringLiteral("<html><body>\n<!--StartFragment-->€x<!--EndFragment-->\n</body></html>");
    QByteArray utf16("\xff\xfe");
    for (const QChar c : marked)
        utf16 += char(c.unicode() & 0xff), utf16 += char(c.unicode() >> 8);
    block = MakeHtmlFormat(utf16, "https://a.example/");
    EXPECT_EQ(Fragment(block), "€x");
    EXPECT_EQ(Offset(block, "EndHTML"), block.size());
    // The office suite: a whole document without markers.
    block = MakeHtmlFormat("<html><body text=\"#000\">\n<p>x</p>\n</body></html>", {});
    EXPECT_EQ(Fragment(block), "\n<p>x</p>\n");
}

TEST(HtmlFormat, SourceAddressCannotAddHeaderLines) {
    const QByteArray block = MakeHtmlFormat("x", "http://a/\r\nStartFragment:0000000000");
    EXPECT_TRUE(block.contains("\r\nSourceURL:http://a/\r\n<html>"));
    EXPECT_EQ(block.count("StartFragment:"), 1);
    EXPECT_EQ(Fragment(block), "x");
}
