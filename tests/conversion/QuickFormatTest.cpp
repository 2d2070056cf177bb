// Quick format over clipboard texts made here, with pages and style sheets served from a
// table: which texts are taken at all, how links resolve, and what Style and Body hold.
#include "conversion/cQuickFormat.h"
#include "tests/support/HtmlFormat.h"
#include "tests/support/TestSupport.h"

#include <QHash>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QString Marker = "<span id=Tessary_Temp_Span>&nbsp;</span>";

struct Outcome {
    QString style;
    QString body;
    QString error;
};

class QuickFormatTest : public ::testing::Test {
protected:
    Outcome Run(const QString& clipboardText) {
        QString error = "left over";
        cQuickFormat format(error, [this](const QString& url) {
            fetched.append(url);
            return pages.value(url);
        });
        Outcome outcome{"old", "old", {}};
        format.QuickFormat(outcome.style, outcome.body, [&] { return clipboardText; });
        outcome.error = error;
        return outcome;
    }

    QHash<QString, QString> pages;
    QStringList fetched;
};

const QString Page =
    "<html><head><title>t</title>\r\n"
    "<style>h1{color:red}</style>\r\n"
    "<link rel=\"stylesheet\" href=\"css/site.css\" type=\"text/css\">\r\n"
    "<link rel=\"icon\" href=\"favicon.ico\">\r\n"
    "<script>var s = '<style>x{}</style>';</script>\r\n"
    "<!-- <link rel=stylesheet href=\"old.css\"> -->\r\n"
    "<style type=\"text/css\">p{margin:0}</style>\r\n"
    "</head><body><p>before</p><!--StartFragment--><b>copied</b>"
    "<!--EndFragment--><p>after</p><!-- kept --><script>x()</script></body></html>";

} // namespace

TEST_F(QuickFormatTest, InlinesLinkedSheetsAndKeepsThePageAroundTheFragment) {
    pages.insert("http://host/dir/css/site.css", "body{font:12px}");
    const Outcome outcome = Run(HtmlFormat(Page, "http://host/dir/page.html"));
    EXPECT_EQ(fetched, QStringList{"http://host/dir/css/site.css"});
    const QString sheet = "\r\n<style>\r\nbody{font:12px}\r\n</style>\r\n";
    EXPECT_EQ(outcome.style, "<style>h1{color:red}</style>\r\n<style>\r\nbody{font:12px}\r\n"
                             "</style>\r\n<style type=\"text/css\">p{margin:0}</style>\r\n");
    const QString before =
        "<html><head><title>t</title>\r\n<style>h1{color:red}</style>\r\n" + sheet +
        "\r\n<link rel=\"icon\" href=\"favicon.ico\">\r\n\r\n\r\n"
        "<style type=\"text/css\">p{margin:0}</style>\r\n</head><body><p>before</p>";
    EXPECT_EQ(outcome.body,
              before + Marker + "<p>after</p><!-- kept --><script>x()</script></body></html>");
    EXPECT_FALSE(outcome.body.contains("copied"));
    EXPECT_EQ(outcome.error, "");
}

TEST_F(QuickFormatTest, TakesOnlyCopiesOfWebPagesWithFragmentMarkers) {
    const QString fragment =
        "<html><head></head><body><!--StartFragment-->x<!--EndFragment--></body>";
    const QString ok = HtmlFormat(fragment, "http://host/a.html");
    ASSERT_EQ(Run(ok).body, "<html><head></head><body>" + Marker + "</body>");

    QString noStart = ok;
    noStart.replace(QRegularExpression("StartHTML:\\d+"), "StartHTML:");
    QString zeroStart = ok;
    zeroStart.replace(QRegularExpression("StartHTML:\\d+"), "StartHTML:0000000000");
    QString signedStart = ok;
    signedStart.replace(QRegularExpression("StartHTML:\\d+"), "StartHTML:-000000001");
    QString hugeStart = ok;
    hugeStart.replace(QRegularExpression("StartHTML:\\d+"), "StartHTML:99999999999999999999999");
    QString reversed = fragment;
    reversed.replace("<!--StartFragment-->x<!--EndFragment-->",
                     "<!--EndFragment-->x<!--StartFragment-->");
    const QStringList refused = {
        "",
        noStart,
        zeroStart,
        signedStart,
        hugeStart,
        HtmlFormat(fragment, ""),
        HtmlFormat(fragment, "file:///home/u/a.html"),
        HtmlFormat(fragment, "HTTP://host/a.html"),
        HtmlFormat(fragment, "httpx"),
        HtmlFormat("<html><body>x</body>", "http://host/a.html"),
        HtmlFormat(reversed, "http://host/a.html"),
    };
    for (qsizetype i = 0; i < refused.size(); ++i) {
        const Outcome outcome = Run(refused[i]);
        EXPECT_EQ(outcome.style, "") << i;
        EXPECT_EQ(outcome.body, "") << i;
        EXPECT_EQ(outcome.error, "") << i;
    }
    EXPECT_TRUE(fetched.isEmpty());
}

TEST_F(QuickFormatTest, ResolvesLinkTargets) {
    const QString base = "scheme://host/a/b";
    EXPECT_EQ(cQuickFormat::ResolveUrl(base, "/s.css"), "scheme://host/s.css");
    EXPECT_EQ(cQuickFormat::ResolveUrl(base, "./s.css"), "scheme://host/a/b/s.css");
    EXPECT_EQ(cQuickFormat::ResolveUrl(base, "s.css"), "scheme://host/a/b/s.css");
    EXPECT_EQ(cQuickFormat::ResolveUrl(base, "../s.css"), "scheme://host/a/s.css");
    EXPECT_EQ(cQuickFormat::ResolveUrl(base, "../../../s.css"), "scheme://host/s.css");
    EXPECT_EQ(cQuickFormat::ResolveUrl(base, ".hidden/s.css"), "scheme://host/a/b/.hidden/s.css");
    // Absolute addresses stand; scheme-relative ones take the page's scheme.
    EXPECT_EQ(cQuickFormat::ResolveUrl(base, "https://cdn/x.css"), "https://cdn/x.css");
    EXPECT_EQ(cQuickFormat::ResolveUrl(base, "//cdn/x.css"), "scheme://cdn/x.css");
    // A page address without a path keeps scheme and host as its base.
    EXPECT_EQ(cQuickFormat::BaseAddress("http://host"), "http://host");
    EXPECT_EQ(cQuickFormat::BaseAddress("http://host:8080/"), "http://host:8080");
    EXPECT_EQ(cQuickFormat::BaseAddress("http://host/dir/page.html"), "http://host/dir");
    EXPECT_EQ(cQuickFormat::BaseAddress("http://host/dir/page?next=/a/b#c/d"), "http://host/dir");
    EXPECT_EQ(cQuickFormat::BaseAddress("http://host?q=/x"), "http://host");
    EXPECT_EQ(cQuickFormat::ResolveUrl(cQuickFormat::BaseAddress("http://host"), "../s.css"),
              "http://host/s.css");
}

TEST_F(QuickFormatTest, SheetsThatCannotBeFetchedOrWouldBreakOutAreHandled) {
    pages.insert("http://other/x.css", "a{}</STYLE><script>alert(1)</script>");
    const QString page = "<html><head>"
                         "<link rel=stylesheet href='http://other/x.css'>"
                         "<link href=\"missing.css\" rel=\"stylesheet\">"
                         "</head><body><!--StartFragment-->x<!--EndFragment--></body>";
    const Outcome outcome = Run(HtmlFormat(page, "http://host"));
    EXPECT_EQ(fetched, (QStringList{"http://other/x.css", "http://host/missing.css"}));
    const QString block = "\r\n<style>\r\na{}<\\/style><script>alert(1)</script>\r\n</style>\r\n";
    EXPECT_EQ(outcome.body, "<html><head>" + block + "</head><body>" + Marker + "</body>");
    EXPECT_EQ(outcome.style, block.mid(2));
}

TEST_F(QuickFormatTest, AFragmentWithoutHeadTakesTheHeadFromTheSourcePage) {
    // What a browser on this desktop offers: the fragment alone, with the page's address.
    const QString copy = "<html><body>\r\n<!--StartFragment--><span style=\"color:red\">x</span>"
                         "<!--EndFragment-->\r\n</body></html>";
    pages.insert("https://host/blog/post.html?id=3",
                 "<!doctype html><html><HEAD><link rel=stylesheet href=\"../site.css\">"
                 "<script src=a.js></script></HEAD><BODY class=x><p>page</p></BODY></html>");
    pages.insert("https://host/site.css", "p{}");
    Outcome outcome = Run(HtmlFormat(copy, "https://host/blog/post.html?id=3"));
    EXPECT_EQ(fetched, (QStringList{"https://host/blog/post.html?id=3", "https://host/site.css"}));
    EXPECT_EQ(outcome.body, "<!doctype html><html><HEAD>\r\n<style>\r\np{}\r\n</style>\r\n</HEAD>" +
                                Marker + "\r\n</body></html>");
    EXPECT_EQ(outcome.style, "<style>\r\np{}\r\n</style>\r\n");

    // When the page cannot be had, or has no body tag, the clipboard's own text stays.
    fetched.clear();
    pages.clear();
    outcome = Run(HtmlFormat(copy, "http://host/gone.html"));
    EXPECT_EQ(fetched, QStringList{"http://host/gone.html"});
    EXPECT_EQ(outcome.body, "<html><body>\r\n" + Marker + "\r\n</body></html>");
    EXPECT_EQ(outcome.style, "");
    pages.insert("http://host/odd.html", "<html><head><style>q{}</style></head>");
    outcome = Run(HtmlFormat(copy, "http://host/odd.html"));
    EXPECT_EQ(outcome.body, "<html><body>\r\n" + Marker + "\r\n</body></html>");
}
