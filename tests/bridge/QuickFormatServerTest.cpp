// Quick format with its fetches going to a real server on 127.0.0.1: style sheets as a
// server sends them, and sheet servers that fail in each way a server can.
#include "bridge/clsRemote.h"
#include "conversion/cQuickFormat.h"
#include "tests/bridge/PageServer.h"
#include "tests/support/HtmlFormat.h"

#include <gtest/gtest.h>

namespace {

const QString Marker = "<span id=Tessary_Temp_Span>&nbsp;</span>";

struct Outcome {
    QString style;
    QString body;
};

Outcome QuickFormat(const QString& clipboardText) {
    QString error;
    cQuickFormat format(error, MakeRemotePageFetcher());
    Outcome outcome;
    format.QuickFormat(outcome.style, outcome.body, [&] { return clipboardText; });
    return outcome;
}

QString Sheet(const QString& text) {
    return "\r\n<style>\r\n" + text + "\r\n</style>\r\n";
}

} // namespace

TEST(QuickFormatServer, InlinesTheSheetsTheServerSends) {
    PageServer server;
    server.answer("/dir/css/site.css", "\xef\xbb\xbfh1{font-family:\"\xe5\xae\x8b\xe4\xbd\x93\"}");
    server.answer("/base.css", "p{margin:0}");
    server.answer("/gone.css", "p{}", 404);
    const QString page = "<html><head>"
                         "<link rel=\"stylesheet\" href=\"css/site.css\">"
                         "<link rel=\"stylesheet\" href=\"/base.css\">"
                         "<link rel=\"stylesheet\" href=\"../gone.css\">"
                         "<link rel=\"icon\" href=\"favicon.ico\">"
                         "</head><body><!--StartFragment-->x<!--EndFragment--></body></html>";
    const Outcome outcome = QuickFormat(HtmlFormat(page, server.url("/dir/page.html")));
    EXPECT_EQ(server.requested(), (QStringList{"/dir/css/site.css", "/base.css", "/gone.css"}));
    const QString site = Sheet(QString::fromUtf8("h1{font-family:\"\xe5\xae\x8b\xe4\xbd\x93\"}"));
    EXPECT_EQ(outcome.body, "<html><head>" + site + Sheet("p{margin:0}") +
                                "<link rel=\"icon\" href=\"favicon.ico\"></head><body>" + Marker +
                                "</body></html>");
    EXPECT_EQ(outcome.style, site.mid(2) + Sheet("p{margin:0}").mid(2));
}

TEST(QuickFormatServer, TakesTheHeadOfTheSourcePageForABareFragment) {
    PageServer server;
    server.answer("/blog/post.html",
                  "<!doctype html><html><head><meta charset=utf-8>"
                  "<link rel=stylesheet href=\"theme.css\"><script>track()</script>"
                  "</head><body><article>the whole post</article></body></html>");
    server.answer("/blog/theme.css", "article{color:#333}");
    const QString copy = "<html><body>\r\n<!--StartFragment--><span style=\"color:#333\">the"
                         "</span><!--EndFragment-->\r\n</body></html>";
    const Outcome outcome = QuickFormat(HtmlFormat(copy, server.url("/blog/post.html")));
    EXPECT_EQ(server.requested(), (QStringList{"/blog/post.html", "/blog/theme.css"}));
    EXPECT_EQ(outcome.body, "<!doctype html><html><head><meta charset=utf-8>" +
                                Sheet("article{color:#333}") + "</head>" + Marker +
                                "\r\n</body></html>");
    EXPECT_EQ(outcome.style, Sheet("article{color:#333}").mid(2));
}

TEST(QuickFormatServer, SheetServersThatFailLoseOnlyTheirLink) {
    qputenv("TESSARY_HTTP_TIMEOUT_MS", "300");
    PageServer server;
    server.route("/stall.css", PageServer::Kind::Hang);
    server.route("/endless.css", PageServer::Kind::Endless);
    server.answer("/ok.css", "b{}");
    const QString page = "<html><head>"
                         "<link rel=stylesheet href=\"stall.css\">"
                         "<link rel=stylesheet href=\"endless.css\">"
                         "<link rel=stylesheet href=\"ok.css\">"
                         "</head><body><!--StartFragment-->x<!--EndFragment--></body></html>";
    const Outcome outcome = QuickFormat(HtmlFormat(page, server.url("/p.html")));
    qunsetenv("TESSARY_HTTP_TIMEOUT_MS");
    EXPECT_EQ(outcome.body,
              "<html><head>" + Sheet("b{}") + "</head><body>" + Marker + "</body></html>");
    EXPECT_EQ(outcome.style, Sheet("b{}").mid(2));
}
