#include "ClipboardPeers.h"
#include "capture/ClipboardReaders.h"
#include "capture/cClipboard.h"
#include "common/ScriptError.h"
#include "platform/ClipboardBackend.h"
#include "tests/support/XServer.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

using Targets = QList<QPair<QByteArray, QByteArray>>;

const QByteArray WriterDescriptor =
    "application/x-openoffice-objectdescriptor-xml;windows_formatname=\"Star Object "
    "Descriptor (XML)\";classname=\"8BC6B165-B1B2-4EDD-aa47-dae2ee689dd6\";typename="
    "\"LibreOffice Writer\";displayname=\"report.odt\"";
const QByteArray CalcDescriptor =
    "application/x-openoffice-objectdescriptor-xml;windows_formatname=\"Star Object "
    "Descriptor (XML)\";classname=\"47BBB4CB-CE4C-4E80-a591-42d9ae74950f\";typename="
    "\"LibreOffice Calc\"";
const QByteArray Link = "application/x-openoffice-link;windows_formatname=\"Link\"";

struct Clipboard : ::testing::Test {
    PrivateXServer x;
    void SetUp() override {
        ASSERT_TRUE(x.isRunning());
        ClipboardBackend::SetWaitMs(1500);
    }
    void TearDown() override { ClipboardBackend::SetWaitMs(3000); }
};

QStringList Names(cClipboard& clipboard) {
    QStringList names;
    const qint32 count = clipboard.GetCurrentFormats(0);
    for (qint32 i = 1; i <= count; ++i)
        names.append(QString::number(clipboard.GetCurrentFormatID(i)) + ":" +
                     clipboard.GetCurrentFormatName(i));
    return names;
}

// The value of one "Name:0000000123" header line.
qsizetype HeaderOffset(const QByteArray& block, const QByteArray& name) {
    const qsizetype at = block.indexOf(name + ":");
    return at < 0 ? -1 : block.mid(at + name.size() + 1, 10).toLongLong();
}

} // namespace

TEST_F(Clipboard, EmptyClipboardHasNoFormatsAndNoTexts) {
    cClipboard clipboard;
    EXPECT_EQ(clipboard.GetCurrentFormats(0), 0);
    EXPECT_THROW(clipboard.GetCurrentFormatID(1), ScriptError);
    EXPECT_EQ(GetClipboardHtml(), "");
    EXPECT_EQ(GetClipboardFormatText("OwnerLink"), "");
    QStringList files{"kept"};
    qint32 count = 7;
    clipboard.ClipboardOpen(0);
    EXPECT_FALSE(clipboard.GetFileList(files, count));
    EXPECT_EQ(count, 7);
    EXPECT_EQ(files, QStringList{"kept"});
}

TEST_F(Clipboard, FormatsOfSeveralTargetsInOneStableOrder) {
    OwnerProcess owner(Targets{{"UTF8_STRING", "plain"},
                               {"text/html", "<b>x</b>"},
                               {"image/png", "not decoded here"},
                               {WriterDescriptor, "<xml/>"},
                               {Link, QByteArray("soffice\0/tmp/report.odt\0bm1\0\0", 30)},
                               {"x-special/gnome-copied-files", "copy\nfile:///tmp/a.png"}});
    ASSERT_TRUE(owner.ready());
    cClipboard clipboard;
    const QStringList names = Names(clipboard);
    const qint32 html = ClipboardBackend::RegisterFormat("HTML Format");
    ASSERT_GE(names.size(), 12) << names.join(", ").toStdString();
    const QString utf8 = QString::number(ClipboardBackend::RegisterFormat("UTF8_STRING"));
    EXPECT_EQ(names.mid(0, 4),
              (QStringList{"13:Text (Unicode)", "1:Text", "7:Text (OEM)", utf8 + ":UTF8_STRING"}));
    EXPECT_TRUE(names.contains(QString::number(html) + ":HTML Format"));
    EXPECT_TRUE(names.contains("2:Bitmap Picture"));
    EXPECT_TRUE(names.contains("8:DIB Bitmap Picture"));
    EXPECT_TRUE(names.contains("15:File List"));
    EXPECT_EQ(names.indexOf("2:Bitmap Picture") + 1, names.indexOf("8:DIB Bitmap Picture"));
    // Same clipboard, same list.
    cClipboard again;
    EXPECT_EQ(Names(again), names);
    // Standard numbers without a name and unknown registered numbers.
    EXPECT_EQ(clipboard.FormatName(16), "");
    EXPECT_EQ(clipboard.FormatName(17), "");
    EXPECT_EQ(clipboard.FormatName(0x7fff0000), "");

    const QString owned = GetClipboardFormatText("OwnerLink");
    EXPECT_TRUE(owned.startsWith("Word.Document")) << owned.toStdString();
    EXPECT_EQ(owned, QString::fromUtf8("Word.Document.8\0report.odt\0\0\0", 29));
    const QString object = GetClipboardFormatText("ObjectLink");
    EXPECT_EQ(object, QString::fromUtf8("Word.Document.8\0/tmp/report.odt\0bm1\0\0", 38));
    EXPECT_EQ(GetClipboardFormatText("Ownerlink"), ""); // names compare exactly
}

TEST_F(Clipboard, SpreadsheetCopyNamesExcelAndUnknownOfficeClassesNothing) {
    {
        OwnerProcess owner(Targets{{CalcDescriptor, "<xml/>"}, {Link, "soffice"}});
        ASSERT_TRUE(owner.ready());
        EXPECT_TRUE(GetClipboardFormatText("ObjectLink").startsWith("Excel.Sheet"));
        EXPECT_TRUE(GetClipboardFormatText("OwnerLink").startsWith("Excel.Sheet"));
    }
    QByteArray other = CalcDescriptor;
    other.replace("47BBB4CB", "00000000");
    OwnerProcess owner(Targets{{other, "<xml/>"}, {Link, "soffice"}});
    ASSERT_TRUE(owner.ready());
    EXPECT_EQ(GetClipboardFormatText("OwnerLink"), "");
    EXPECT_EQ(GetClipboardFormatText("ObjectLink"), "");
}

TEST_F(Clipboard, HtmlFormatHeaderCountsUtf8BytesAndCarriesTheSourceAddress) {
    const QByteArray fragment = "<p>Grüße – 日本</p>";
    QByteArray moz;
    for (const QChar c : QStringLiteral("https://example.org/page?q=1\nTitle"))
        moz += char(c.unicode() & 0xff), moz += char(c.unicode() >> 8);
    OwnerProcess owner(Targets{{"text/html", fragment}, {"text/x-moz-url-priv", moz}});
    ASSERT_TRUE(owner.ready());
    const QString text = GetClipboardHtml();
    const QByteArray block = text.toUtf8();
    EXPECT_TRUE(block.startsWith("Version:0.9\r\nStartHTML:")) << block.constData();
    EXPECT_TRUE(block.contains("\r\nSourceURL:https://example.org/page?q=1\r\n<html>"));
    const qsizetype startHtml = HeaderOffset(block, "StartHTML");
    const qsizetype endHtml = HeaderOffset(block, "EndHTML");
    const qsizetype start = HeaderOffset(block, "StartFragment");
    const qsizetype end = HeaderOffset(block, "EndFragment");
    EXPECT_EQ(block.mid(startHtml, 6), "<html>");
    EXPECT_EQ(endHtml, block.size());
    EXPECT_EQ(block.mid(start, end - start), fragment);
    EXPECT_EQ(block.mid(start - 20, 20), "<!--StartFragment-->");
    EXPECT_EQ(block.mid(end, 18), "<!--EndFragment-->");
}

TEST_F(Clipboard, WholeDocumentsGetMarkersInsideTheBodyAndTrailingNulsStay) {
    const QByteArray document =
        QByteArray(
            "<html><head><style>p{}</style></head><BODY lang=\"de\"><p>a</p></body></html>") +
        QByteArray(2, '\0');
    OwnerProcess owner(
        Targets{{"text/html", document}, {"chromium/x-source-url", "http://127.0.0.1/x.html"}});
    ASSERT_TRUE(owner.ready());
    const QString text = GetClipboardHtml();
    ASSERT_TRUE(text.endsWith(QString::fromUtf8("</html>\0\0", 9))) << text.toStdString();
    const QByteArray block = text.toUtf8();
    EXPECT_TRUE(block.contains("SourceURL:http://127.0.0.1/x.html\r\n<html><head>"));
    const qsizetype start = HeaderOffset(block, "StartFragment");
    const qsizetype end = HeaderOffset(block, "EndFragment");
    EXPECT_EQ(block.mid(start, end - start), "<p>a</p>");
    EXPECT_EQ(HeaderOffset(block, "EndHTML"), block.size());
}

TEST_F(Clipboard, FileListIsDecodedFilteredAndSortedByCodeUnits) {
    OwnerProcess owner(
        Targets{{"text/uri-list",
                 "# comment\r\nfile:///data/b.png\r\nhttp://example.org/x.png\r\n"
                 "file:///data/A.gif\r\nfile://localhost/data/a.jpg\r\n"
                 "file:///data/with%20space%C3%A9.png\r\nfile://otherhost/data/z.png\r\n"}});
    ASSERT_TRUE(owner.ready());
    cClipboard clipboard;
    clipboard.ClipboardOpen(0);
    QStringList files;
    qint32 count = 0;
    ASSERT_TRUE(clipboard.GetFileList(files, count));
    EXPECT_EQ(count, 4);
    EXPECT_EQ(files, (QStringList{"/data/A.gif", "/data/a.jpg", "/data/b.png",
                                  QString::fromUtf8("/data/with spaceé.png")}));
}

TEST_F(Clipboard, UrlListWithoutLocalFilesIsNoFileList) {
    OwnerProcess owner(Targets{{"text/uri-list", "https://example.org/\r\n"}});
    ASSERT_TRUE(owner.ready());
    cClipboard clipboard;
    clipboard.ClipboardOpen(0);
    EXPECT_FALSE(clipboard.IsDataAvailableForFormat(ClipboardFormat::FileList));
    QStringList files;
    qint32 count = 3;
    EXPECT_FALSE(clipboard.GetFileList(files, count));
    EXPECT_EQ(count, 3);
}

TEST_F(Clipboard, ReadsNeedAnOpenClipboard) {
    OwnerProcess owner(Targets{{"text/html", "<p>x</p>"}});
    ASSERT_TRUE(owner.ready());
    cClipboard clipboard;
    QByteArray bytes;
    try {
        clipboard.GetBinaryData(ClipboardBackend::RegisterFormat("HTML Format"), bytes);
        FAIL() << "read while closed";
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), qint32(0x80040622));
        EXPECT_EQ(error.source(), "Tessarex.cCustomClipboard");
        EXPECT_EQ(error.description(), "Attempt to access the clipboard when clipboard not Open.");
    }
}

TEST_F(Clipboard, LargeIncrementalTransferArrivesWhole) {
    QByteArray html;
    for (int i = 0; html.size() < 3'000'000; ++i)
        html += "<p>line " + QByteArray::number(i) + " ü</p>\n";
    OwnerProcess owner(Targets{{"text/html", html}}, {"--chunk", "65536"});
    ASSERT_TRUE(owner.ready());
    const QByteArray block = GetClipboardHtml().toUtf8();
    const qsizetype start = HeaderOffset(block, "StartFragment");
    const qsizetype end = HeaderOffset(block, "EndFragment");
    EXPECT_EQ(block.mid(start, end - start), html);
}

// An owner that never answers and one that stops in the middle of a transfer both end
// the read with the open failure after the wait, never with a hang.
TEST_F(Clipboard, OwnersThatStopAnsweringFailTheOpenInTime) {
    for (const QStringList& flags :
         {QStringList{"--mute"}, QStringList{"--stall", "--chunk", "4096"}}) {
        OwnerProcess owner(Targets{{"text/html", QByteArray(100000, 'x')}}, flags);
        ASSERT_TRUE(owner.ready());
        QElapsedTimer timer;
        timer.start();
        try {
            GetClipboardHtml();
            FAIL() << flags.join(' ').toStdString();
        } catch (const ScriptError& error) {
            EXPECT_EQ(error.number(), qint32(0x80040623));
            EXPECT_EQ(error.source(), "Tessarex.cCustomClipboard");
            EXPECT_EQ(error.description(), "Unable to Open Clipboard.");
        }
        EXPECT_LT(timer.elapsed(), 15000);
    }
    // The next owner is read normally again.
    OwnerProcess owner(Targets{{"text/html", "<i>ok</i>"}});
    ASSERT_TRUE(owner.ready());
    EXPECT_TRUE(GetClipboardHtml().contains("<i>ok</i>"));
}

TEST(ClipboardWithoutDisplay, NoDisplayAndADeadDisplayAreClearErrors) {
    const QByteArray previous = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    ClipboardBackend::SetWaitMs(1000);
    try {
        GetClipboardHtml();
        FAIL() << "no display";
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), qint32(0x80040623));
        EXPECT_TRUE(error.description().contains("no X11 display")) << error.what();
    }
    qputenv("DISPLAY", ":59999");
    ClipboardBackend::SetWaitMs(1000);
    try {
        GetClipboardHtml();
        FAIL() << "dead display";
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.description(), "Unable to Open Clipboard.");
    }
    ClipboardBackend::SetWaitMs(3000);
    qputenv("DISPLAY", previous);
}
