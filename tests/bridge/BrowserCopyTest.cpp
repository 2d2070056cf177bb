// Quick format of what a real browser puts on the clipboard: Chromium under a private X
// server copies a selection of a page served on 127.0.0.1, and the copy (only the
// fragment, no head) is formatted with the head and style sheets of the page itself.
#include "bridge/clsRemote.h"
#include "conversion/cQuickFormat.h"
#include "tests/bridge/PageServer.h"
#include "tests/support/HtmlFormat.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XServer.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// The clipboard's target as xclip reads it, polled until the owner offers it.
QByteArray ReadTarget(const QString& target, int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    do {
        const CommandResult read =
            RunCommand("xclip", {"-o", "-selection", "clipboard", "-t", target}, {}, 5000);
        if (read.exitCode == 0 && !read.out.isEmpty())
            return read.out;
        QThread::msleep(200);
    } while (!deadline.hasExpired());
    return {};
}

QString WindowNamed(const QString& name, int waitMs) {
    const QDeadlineTimer deadline(waitMs);
    do {
        const CommandResult found = RunCommand("xdotool", {"search", "--name", name}, {}, 5000);
        if (found.exitCode == 0 && !found.out.trimmed().isEmpty())
            return QString::fromLatin1(found.out.split('\n').first().trimmed());
        QThread::msleep(200);
    } while (!deadline.hasExpired());
    return {};
}

// A browser of its own for one test, ended when the test ends.
class Browser {
public:
    Browser(const QString& profile, const QString& url) {
        m_process.start("chromium",
                        {"--no-sandbox", "--no-first-run", "--disable-gpu",
                         "--no-default-browser-check", "--password-store=basic",
                         "--disable-extensions", "--user-data-dir=" + profile, "--app=" + url});
    }
    ~Browser() {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    bool started() { return m_process.waitForStarted(); }

private:
    QProcess m_process;
};

const QByteArray Page = "<!doctype html><html><head><meta charset=\"utf-8\"><title>post</title>"
                        "<link rel=\"stylesheet\" href=\"css/site.css\">"
                        "<style>p{margin:0}</style>"
                        "<script>window.onload = function () {"
                        "  var range = document.createRange();"
                        "  range.selectNodeContents(document.getElementById('copied'));"
                        "  getSelection().removeAllRanges(); getSelection().addRange(range);"
                        "  document.title = 'selected';"
                        "};</script>"
                        "</head><body><p>before</p><p id=\"copied\">copied <b>bold</b> words</p>"
                        "<p>after</p></body></html>";

} // namespace

TEST(BrowserCopy, QuickFormatOfAChromiumCopyInlinesThePageSheets) {
    PrivateXServer display;
    ASSERT_TRUE(display.isRunning());
    PageServer server;
    server.route("/blog/post.html", PageServer::Kind::Answer,
                 PageServer::Ok(Page, 200, "text/html; charset=utf-8"));
    server.answer("/blog/css/site.css", "\xef\xbb\xbf"
                                        "b{color:#a00}");

    ScratchFolder profile;
    Browser browser(profile.path(), server.url("/blog/post.html"));
    ASSERT_TRUE(browser.started());
    const QString window = WindowNamed("selected", 60000);
    ASSERT_FALSE(window.isEmpty()) << "the page did not load";
    RunCommand("xdotool", {"windowfocus", "--sync", window});
    RunCommand("xdotool", {"key", "--window", window, "ctrl+c"});

    const QByteArray fragment = ReadTarget("text/html", 20000);
    const QByteArray source = ReadTarget("chromium/x-source-url", 5000);
    ASSERT_TRUE(fragment.contains("bold")) << fragment.constData();
    // What makes fetching the page necessary: no head, no links in the copy.
    EXPECT_FALSE(fragment.contains("<head")) << fragment.constData();
    EXPECT_FALSE(fragment.contains("<link")) << fragment.constData();
    ASSERT_EQ(source, server.url("/blog/post.html").toUtf8());

    // The clipboard's "HTML Format" text around it, as the clipboard presents it.
    const QString document = "<html>\r\n<body>\r\n<!--StartFragment-->" +
                             QString::fromUtf8(fragment) +
                             "<!--EndFragment-->\r\n</body>\r\n</html>";
    QString error, style, body;
    cQuickFormat format(error, MakeRemotePageFetcher());
    format.QuickFormat(style, body,
                       [&] { return HtmlFormat(document, QString::fromUtf8(source)); });

    const QString sheet = "\r\n<style>\r\nb{color:#a00}\r\n</style>\r\n";
    EXPECT_EQ(body, "<!doctype html><html><head><meta charset=\"utf-8\"><title>post</title>" +
                        sheet +
                        "<style>p{margin:0}</style></head>"
                        "<span id=Tessary_Temp_Span>&nbsp;</span>\r\n</body>\r\n</html>");
    EXPECT_EQ(style, sheet.mid(2) + "<style>p{margin:0}</style>\r\n");
    EXPECT_EQ(error, "");
}
