#include "conversion/cWord.h"
#include "tests/support/TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QJsonObject ParseResult(const CommandResult& result) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << result.out.left(200).toStdString();
    return document.object();
}

TEST(CleanCommand, PrintsStyleAndBodyAsJson) {
    ScratchFolder folder;
    const QByteArray html = "<html><head><style>p.a {color:red;mso-x:1;}</style></head><body>"
                            "<p class=a>\"quoted\" \\ tab\there \xe4\xb8\xad\xe6\x96\x87 "
                            "\xf0\x9f\x98\x80</p>\r\n</body></html>";
    const QString path = folder.write(u"in.html"_s, html);

    const CommandResult fromFile =
        RunCommand(TessaryCommand(), {"clean", "word", "paste", "optimizemode:1", path});
    ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err.toStdString();
    const QJsonObject result = ParseResult(fromFile);

    QString error;
    QString style;
    QString body;
    cWord(error).OptimizeHTML(u"paste"_s, QString::fromUtf8(html), u"optimizemode:1"_s, style,
                              body);
    EXPECT_EQ(result.value("style"_L1).toString(), style);
    EXPECT_EQ(result.value("body"_L1).toString(), body);
    EXPECT_EQ(result.keys(), (QStringList{u"body"_s, u"style"_s}));

    // Standard input gives the same.
    const CommandResult fromInput =
        RunCommand(TessaryCommand(), {"clean", "word", "paste", "optimizemode:1"}, html);
    EXPECT_EQ(fromInput.exitCode, 0);
    EXPECT_EQ(fromInput.out, fromFile.out);
}

TEST(CleanCommand, InvalidUtf8IsDecodedWithReplacementCharacters) {
    const CommandResult result = RunCommand(TessaryCommand(), {"clean", "excel", "import", ""},
                                            "<table><tr><td>a\xff\xfe b</td></tr></table>");
    ASSERT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QString body = ParseResult(result).value("body"_L1).toString();
    EXPECT_TRUE(body.contains(u"a\uFFFD\uFFFD b"_s)) << body.toStdString();
    EXPECT_TRUE(body.startsWith(u"<table id=\"t"_s));
}

TEST(CleanCommand, WrongArgumentsAndMissingFiles) {
    const QStringList wrong[] = {
        {"clean"},
        {"clean", "word"},
        {"clean", "word", "paste"},
        {"clean", "powerpoint", "paste", ""},
        {"clean", "word", "Paste", ""},
        {"clean", "word", "paste", "", "a", "b"},
    };
    for (const QStringList& arguments : wrong) {
        const CommandResult result = RunCommand(TessaryCommand(), arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains("usage: tessary clean")) << result.err.toStdString();
        EXPECT_TRUE(result.out.isEmpty());
    }
    const CommandResult missing =
        RunCommand(TessaryCommand(), {"clean", "word", "import", "", "/no/such/file.html"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("cannot read /no/such/file.html"))
        << missing.err.toStdString();
    EXPECT_TRUE(missing.out.isEmpty());

    ScratchFolder folder;
    const CommandResult folderGiven =
        RunCommand(TessaryCommand(), {"clean", "word", "import", "", folder.path()});
    EXPECT_EQ(folderGiven.exitCode, 1);
    EXPECT_TRUE(folderGiven.out.isEmpty());
}

} // namespace
