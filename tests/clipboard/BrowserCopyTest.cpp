#include "ClipboardPeers.h"
#include "capture/ClipboardReaders.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// A static web server on 127.0.0.1 that tells its port on its first line.
class PageServer {
public:
    explicit PageServer(const QString& folder) {
        m_process.setWorkingDirectory(folder);
        m_process.start("/usr/bin/python3",
                        {"-c", "import http.server, sys\n"
                               "s = http.server.ThreadingHTTPServer(('127.0.0.1', 0), "
                               "http.server.SimpleHTTPRequestHandler)\n"
                               "print(s.server_address[1], flush=True)\n"
                               "s.serve_forever()\n"});
        if (m_process.waitForReadyRead(20000))
            port = m_process.readLine().trimmed().toUShort();
    }
    ~PageServer() {
        m_process.kill();
        m_process.waitForFinished();
    }
    quint16 port = 0;

private:
    QProcess m_process;
};

class Browser {
public:
    Browser(const QString& profile, const QString& url) {
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start("chromium",
                        {"--no-sandbox", "--disable-gpu", "--no-first-run",
                         "--disable-background-networking", "--disable-component-update",
                         "--disable-sync", "--user-data-dir=" + profile, url});
    }
    ~Browser() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

private:
    QProcess m_process;
};

// Selects the whole page and copies it, until the browser has put HTML on the clipboard.
bool CopyWholePage() {
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        const CommandResult window =
            RunCommand("xdotool", {"search", "--onlyvisible", "--class", "chromium"}, {}, 5000);
        if (!window.out.trimmed().isEmpty()) {
            const QString id = QString::fromLatin1(window.out.trimmed().split('\n').last());
            RunCommand("xdotool", {"windowfocus", id}, {}, 5000);
            RunCommand("xdotool", {"key", "ctrl+a", "ctrl+c"}, {}, 5000);
            try {
                if (GetClipboardHtml().contains("Hello"))
                    return true;
            } catch (...) {
            }
        }
        QThread::msleep(500);
    }
    return false;
}

} // namespace

TEST(BrowserCopy, ChromiumSelectionBecomesHtmlFormatWithItsSourceAndPastesWithPictures) {
    if (QStandardPaths::findExecutable("chromium").isEmpty() ||
        QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "chromium or xdotool missing";
    PrivateXServer x;
    ASSERT_TRUE(x.isRunning());
    ScratchFolder dir;
    QImage dot(6, 4, QImage::Format_RGB32);
    dot.fill(qRgb(0, 0, 255));
    QByteArray png;
    {
        QFile file(dir.file("site/dot.png"));
        dir.write("site/dot.png", {});
        dot.save(dir.file("site/dot.png"), "PNG");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        png = file.readAll();
    }
    dir.write("site/s.css", ".x { color: red }");
    dir.write("site/index.html",
              "<html><head><link rel=\"stylesheet\" href=\"s.css\"></head><body><p class=\"x\">"
              "Hello <b>world</b> <img src=\"data:image/png;base64," +
                  png.toBase64() + "\"></p></body></html>");
    PageServer server(dir.file("site"));
    ASSERT_NE(server.port, 0);
    const QString address = QStringLiteral("http://127.0.0.1:%1/index.html").arg(server.port);
    Browser browser(dir.file("profile"), address);
    ASSERT_TRUE(CopyWholePage());

    // What the browser wrote, read by this process: the fragment with its header and the
    // page's address.
    const QByteArray block = GetClipboardHtml().toUtf8();
    EXPECT_TRUE(block.startsWith("Version:0.9\r\nStartHTML:"));
    EXPECT_TRUE(block.contains("\r\nSourceURL:" + address.toUtf8() + "\r\n")) << block.constData();
    const qsizetype start = block.mid(block.indexOf("StartFragment:") + 14, 10).toLongLong();
    EXPECT_EQ(block.mid(start - 20, 20), "<!--StartFragment-->");

    ReceiverProcess receiver(dir.file("store"));
    ASSERT_NE(receiver.port(), 0);
    const auto result =
        RunPage("var o = new ActiveXObject('Orvanta.Tessarex');\n"
                "o.SendUrl = " +
                JsString(receiver.url("/upload?x=1")) +
                ";\no.LocalExt = 'png';\no.LocalSize = '100';\n"
                "print('flag=' + o.GetClipboardFlag());\n"
                "o.PasteWord('mode:html;opt2image:1');\n"
                "print('done=' + waitFor(function () { return o.Status == 'ok'; }, 30000));\n"
                "print('SavedFiles=' + o.SavedFiles);\nprint('Body=' + o.Body);\n"
                "o.QuickFormat();\nprint('QuickError=' + o.Error);\n"
                "print('QuickStyle=' + o.Style);\nprint('QuickBody=' + o.Body);\n");
    EXPECT_EQ(result["flag"], "0|1|0|0|1|0") << result["stderr"].toStdString();
    EXPECT_EQ(result["done"], "true");
    EXPECT_TRUE(result["Body"].contains("Hello")) << result["Body"].toStdString();
    const QString saved = result["SavedFiles"];
    ASSERT_TRUE(saved.startsWith(receiver.url("/files/"))) << saved.toStdString();
    EXPECT_TRUE(result["Body"].contains("src=\"" + saved + "\""));
    QFile stored(dir.file("store/" + saved.mid(saved.lastIndexOf('/') + 1)));
    ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored.readAll(), png);

    // Quick format of the same copy: the fragment alone has no head, so the page itself is
    // fetched for it and its linked sheet is inlined.
    EXPECT_EQ(result["QuickError"], "");
    EXPECT_TRUE(result["QuickStyle"].contains(".x { color: red }"))
        << result["QuickStyle"].toStdString();
    EXPECT_FALSE(result["QuickStyle"].contains("s.css")) << result["QuickStyle"].toStdString();
    EXPECT_FALSE(result["QuickBody"].isEmpty());
}
