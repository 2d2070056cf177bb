#include "ClipboardPeers.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XServer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

using Targets = QList<QPair<QByteArray, QByteArray>>;

QByteArray Encoded(const QImage& picture, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

QImage Picture() {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(qRgb(250, 250, 250));
    QPainter painter(&picture);
    painter.fillRect(0, 0, 20, 15, QColor(200, 0, 0));
    painter.fillRect(20, 15, 20, 15, QColor(0, 0, 200));
    return picture;
}

// A page that calls one paste method and prints what the object reports.
QString PastePage(const QString& call, const QString& sendUrl = {}) {
    return "var o = new ActiveXObject('Orvanta.Tessarex');\n"
           "o.SendUrl = " +
           JsString(sendUrl) +
           ";\no.LocalExt = 'png|gif|jpg';\no.LocalSize = '10000';\n"
           "var thrown = false;\ntry { o." +
           call +
           "; } catch (e) { thrown = true; print('Thrown=' + e.number + ' ' + e.description); }\n"
           "print('done=' + (!thrown && waitFor(function () { return o.Status == 'ok'; }, "
           "30000)));\n"
           "print('Error=' + o.Error);\nprint('SavedFiles=' + o.SavedFiles);\n"
           "print('OriginalFiles=' + o.OriginalFiles);\nprint('Body=' + o.Body);\n";
}

struct Paste : ::testing::Test {
    PrivateXServer x;
    ScratchFolder dir;
    void SetUp() override { ASSERT_TRUE(x.isRunning()); }
    QString stored(const QString& saved) const {
        return dir.file("store/" + saved.mid(saved.lastIndexOf('/') + 1));
    }
};

} // namespace

TEST_F(Paste, ClipboardFlagsFollowWhatTheOwnerOffers) {
    const QString page = "var o = new ActiveXObject('Orvanta.Tessarex');\n"
                         "print('flag=' + o.GetClipboardFlag());\n";
    EXPECT_EQ(RunPage(page)["flag"], "0|0|0|0|0|0");
    const QByteArray writer = "application/x-openoffice-objectdescriptor-xml;classname="
                              "\"8BC6B165-B1B2-4EDD-aa47-dae2ee689dd6\";typename=\"Writer\"";
    const QByteArray calc = "application/x-openoffice-objectdescriptor-xml;classname="
                            "\"47BBB4CB-CE4C-4E80-a591-42d9ae74950f\";typename=\"Calc\"";
    const QList<QPair<Targets, QString>> cases = {
        {{{"UTF8_STRING", "a"}, {"text/html", "<b>a</b>"}}, "0|1|0|0|1|0"},
        {{{"image/png", Encoded(Picture(), "PNG")}}, "1|0|0|0|0|0"},
        {{{"application/x-openoffice-emf;windows_formatname=\"Image EMF\"", "EMF"}}, "1|0|0|0|0|0"},
        {{{"text/uri-list", "file:///tmp/a.png\r\n"}}, "0|0|0|1|0|0"},
        {{{"text/rtf", "{\\rtf1 a}"}, {"text/plain", "a"}}, "0|1|1|0|0|0"},
        {{{writer, "<x/>"}, {"text/html", "<p>w</p>"}, {"UTF8_STRING", "w"}}, "0|1|0|0|1|1"},
        {{{calc, "<x/>"}, {"text/html", "<table></table>"}, {"UTF8_STRING", "c"}}, "0|1|0|0|1|2"},
        {{{"text/html", ""}}, "0|0|0|0|1|0"}, // the header alone is a non-empty text
    };
    for (const auto& [targets, flag] : cases) {
        OwnerProcess owner(targets);
        ASSERT_TRUE(owner.ready());
        const auto result = RunPage(page);
        EXPECT_EQ(result["flag"], flag)
            << targets.first().first.constData() << " " << result["stderr"].toStdString();
    }
}

TEST_F(Paste, XclipTextAndAStalledOwnerFromAPage) {
    const QString input = dir.write("xclip.html", "<p>from <b>xclip</b></p>");
    QProcess xclip;
    // Its background owner keeps inherited pipes open; the X server's end stops it.
    xclip.setStandardInputFile(QProcess::nullDevice());
    xclip.setStandardOutputFile(QProcess::nullDevice());
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start("xclip", {"-selection", "clipboard", "-t", "text/html", "-i", input});
    ASSERT_TRUE(xclip.waitForFinished(10000));
    auto result = RunPage(PastePage("PasteWord('mode:html')"));
    EXPECT_EQ(result["done"], "true") << result["stderr"].toStdString();
    EXPECT_TRUE(result["Body"].contains("from xclip")) << result["Body"].toStdString();
    EXPECT_EQ(result["Thrown"], "");

    OwnerProcess stalled(Targets{{"text/html", QByteArray(1 << 20, 'x')}},
                         {"--stall", "--chunk", "8192"});
    ASSERT_TRUE(stalled.ready());
    result = RunPage(PastePage("PasteWord('mode:html')"));
    EXPECT_EQ(result["Thrown"], QString::number(qint32(0x80040623)) + " Unable to Open Clipboard.");
}

TEST_F(Paste, PasteImageUploadsAPictureOfTheChosenTypeWithTheClipboardPixels) {
    ReceiverProcess receiver(dir.file("store"));
    ASSERT_NE(receiver.port(), 0);
    OwnerProcess owner(Targets{{"image/png", Encoded(Picture(), "PNG")}});
    ASSERT_TRUE(owner.ready());
    for (const QString& type : {QString("png"), QString("gif"), QString("PNG")}) {
        const auto result =
            RunPage(PastePage("PasteImage('imgtype:" + type + "')", receiver.url("/upload?x=1")));
        ASSERT_EQ(result["done"], "true") << result["stderr"].toStdString();
        EXPECT_EQ(result["Error"], "");
        const QString extension = type == "PNG" ? "jpg" : type;
        EXPECT_TRUE(result["OriginalFiles"].endsWith("." + extension))
            << result["OriginalFiles"].toStdString();
        const QString saved = result["SavedFiles"];
        ASSERT_TRUE(saved.startsWith(receiver.url("/files/"))) << saved.toStdString();
        EXPECT_EQ(result["Body"], "<img src=\"" + saved + "\" border=0><br>");
        const QImage uploaded(stored(saved));
        ASSERT_EQ(uploaded.size(), Picture().size()) << type.toStdString();
        const int tolerance = extension == "png" ? 0 : 12;
        for (const QPoint p : {QPoint(3, 3), QPoint(30, 25), QPoint(35, 2), QPoint(2, 28)}) {
            const QRgb a = uploaded.pixel(p), b = Picture().pixel(p);
            EXPECT_LE(std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b)),
                      tolerance)
                << type.toStdString();
        }
    }
}

TEST_F(Paste, PictureBranchWithoutPictureOrWithOnlyAMetafile) {
    {
        OwnerProcess owner(Targets{{"UTF8_STRING", "only text"}});
        ASSERT_TRUE(owner.ready());
        const auto result = RunPage(PastePage("PasteWord('')"));
        EXPECT_EQ(result["done"], "true");
        EXPECT_EQ(result["Body"], "");
        EXPECT_EQ(result["Error"], "");
    }
    OwnerProcess owner(
        Targets{{"application/x-openoffice-wmf;windows_formatname=\"Image WMF\"", "WMF"}});
    ASSERT_TRUE(owner.ready());
    const auto result = RunPage(PastePage("PasteImage('')"));
    EXPECT_EQ(result["done"], "true");
    EXPECT_TRUE(result["Error"].startsWith("GDIPlus:")) << result["Error"].toStdString();
    EXPECT_EQ(result["Body"], "");
}

TEST_F(Paste, HtmlPasteUploadsLocalAndEmbeddedPictures) {
    ReceiverProcess receiver(dir.file("store"));
    ASSERT_NE(receiver.port(), 0);
    const QByteArray png = Encoded(Picture(), "PNG");
    const QString local = dir.write("pics/local pic.png", png);
    const QByteArray html = "<p>Text <img src=\"data:image/png;base64," + png.toBase64() +
                            "\" width=40> <img src=\"file://" +
                            QUrl::toPercentEncoding(local, "/") +
                            "\"> <img src=\"data:image/png;base64,bm90IGEgcGljdHVyZQ==\"></p>";
    for (const char* method : {"PasteWord", "PasteExcel"}) {
        OwnerProcess owner(Targets{{"text/html", html}});
        ASSERT_TRUE(owner.ready());
        const auto result = RunPage(
            PastePage(QString(method) + "('mode:html;opt2image:1')", receiver.url("/upload?x=1")));
        ASSERT_EQ(result["done"], "true") << result["stderr"].toStdString();
        EXPECT_EQ(result["Error"], "");
        const QStringList saved = result["SavedFiles"].split('|');
        ASSERT_EQ(saved.size(), 2) << method << " " << result["Body"].toStdString();
        for (const QString& address : saved) {
            EXPECT_TRUE(result["Body"].contains(address));
            QFile file(stored(address));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << address.toStdString();
            EXPECT_EQ(file.readAll(), png);
        }
        EXPECT_FALSE(result["Body"].contains("file://")) << result["Body"].toStdString();
        EXPECT_TRUE(result["Body"].contains("data:image/png;base64,bm90IGEgcGljdHVyZQ=="));
    }
}

TEST_F(Paste, PictureSetByThisSystemIsServedToOthersAndReadBackLocally) {
    QProcess owner;
    owner.setProcessEnvironment(DesktopChildEnvironment());
    owner.start(CLIPBOARD_PICTURE_OWNER);
    QByteArray out;
    while (!out.contains("ready\n") && owner.waitForReadyRead(20000))
        out += owner.readAll();
    ASSERT_TRUE(out.contains("ready\n")) << out.constData();
    EXPECT_TRUE(out.startsWith("local=1 1\n")) << out.constData();

    const CommandResult png =
        RunCommand("xclip", {"-selection", "clipboard", "-o", "-t", "image/png"}, {}, 10000);
    const QImage served = QImage::fromData(png.out, "PNG");
    ASSERT_EQ(served.size(), QSize(16, 8));
    EXPECT_EQ(served.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(served.pixel(12, 6), qRgb(0, 128, 0));
    const auto result = RunPage("var o = new ActiveXObject('Orvanta.Tessarex');\n"
                                "print('flag=' + o.GetClipboardFlag());\n");
    EXPECT_EQ(result["flag"], "1|0|0|0|0|0");
    owner.kill();
    owner.waitForFinished();
}

TEST(PasteWithoutDisplay, EveryClipboardMethodSaysThatTheDesktopIsMissing) {
    const QString page = "var o = new ActiveXObject('Orvanta.Tessarex');\n"
                         "try { o.GetClipboardFlag(); } catch (e) { print('Flag=' + e.number + ' ' "
                         "+ e.description); }\n"
                         "try { o.PasteWord('mode:html'); } catch (e) { print('Html=' + e.number + "
                         "' ' + e.description); }\n"
                         "try { o.PasteImage(''); } catch (e) { print('Image=' + e.number + ' ' + "
                         "e.description); }\n";
    const auto result = RunPage(page, 60000, false);
    EXPECT_TRUE(result["Flag"].startsWith("521 Can't open Clipboard: no X11 display"))
        << result["Flag"].toStdString() << result["stderr"].toStdString();
    EXPECT_TRUE(result["Html"].startsWith(QString::number(qint32(0x80040623)) +
                                          " Unable to Open Clipboard. There is no X11 display"))
        << result["Html"].toStdString();
    EXPECT_TRUE(result["Image"].startsWith("521 Can't open Clipboard: no X11 display"));
}

TEST_F(Paste, PasteFileListUploadsTheCopiedPicturesThatPassTheLimits) {
    ReceiverProcess receiver(dir.file("store"));
    ASSERT_NE(receiver.port(), 0);
    const QByteArray png = Encoded(Picture(), "PNG");
    const QString picture = dir.write("copied/b shot.png", png);
    const QString text = dir.write("copied/a.txt", "not a picture");
    const QString big = dir.write("copied/c.png", QByteArray(20 * 1024 * 1024, 'x'));
    const QByteArray list = QUrl::fromLocalFile(big).toEncoded() + "\r\n" +
                            QUrl::fromLocalFile(text).toEncoded() + "\r\n" +
                            QUrl::fromLocalFile(picture).toEncoded() + "\r\n" +
                            "http://example.com/remote.png\r\n";
    OwnerProcess owner(Targets{{"text/uri-list", list}});
    ASSERT_TRUE(owner.ready());
    const auto result = RunPage(PastePage("PasteFileList('')", receiver.url("/upload?x=1")));
    EXPECT_EQ(result["done"], "true") << result["stderr"].toStdString();
    EXPECT_EQ(result["Error"], "");
    // Only the picture within LocalExt and LocalSize is listed, and it is uploaded.
    EXPECT_EQ(result["OriginalFiles"], "b shot.png");
    const QString saved = result["SavedFiles"];
    ASSERT_TRUE(saved.startsWith(receiver.url("/files/"))) << saved.toStdString();
    EXPECT_EQ(result["Body"], "<img src=\"" + saved + "\" border=0><br>");
    QFile stored(this->stored(saved));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), png);
}

TEST_F(Paste, PasteFileListWithoutAFileListStartsNoRun) {
    OwnerProcess owner(Targets{{"UTF8_STRING", "just text"}});
    ASSERT_TRUE(owner.ready());
    const auto result = RunPage(PastePage("PasteFileList('')") + "print('Status=' + o.Status);\n");
    EXPECT_EQ(result["Error"], "");
    EXPECT_EQ(result["Body"], "");
    EXPECT_EQ(result["Status"], "");
}
