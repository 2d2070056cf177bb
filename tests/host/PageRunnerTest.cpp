#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

CommandResult RunPage(const QByteArray& script) {
    ScratchFolder folder;
    const QString path = folder.write("page.js", script);
    return RunCommand(TessaryCommand(), {"script", path});
}

} // namespace

TEST(PageRunner, DrivesTheObjectLikeAPage) {
    const CommandResult result = RunPage(R"js(
        var o = new ActiveXObject("Orvanta.Tessarex");
        print(o.Test(), o.Version, "[" + o.Status + "]", "[" + o.Error + "]");
        o.SendUrl = "http://127.0.0.1/save?f=1";
        o.Lang = "fr";
        o.LocalSize = "10.5";
        o.LocalSize = "abc";
        o.LocalExt = "PNG|gif";
        print(o.test(), o.VERSION);
        print("Body" in o, "Nothing" in o);
    )js");
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "Tessary 3.3.0.0 [] []\nTessary 3.3.0.0\ntrue false\n");
}

TEST(PageRunner, ScriptErrorsCanBeCaught) {
    const CommandResult result = RunPage(R"js(
        var o = new ActiveXObject("Orvanta.Tessarex");
        function attempt(label, action) {
            try { action(); print(label, "no error"); }
            catch (e) { print(label, e.number, e.description); }
        }
        attempt("overflow", function () { o.LocalSize = "99999999999"; });
        attempt("read write-only", function () { return o.SendUrl; });
        attempt("write read-only", function () { o.Version = "1"; });
        attempt("unknown method", function () { o.NoSuchThing(); });
        attempt("unknown property", function () { return "" + o.Nope; });
        attempt("wrong argument count", function () { o.Test(1); });
        attempt("unknown ProgID", function () { new ActiveXObject("No.Such"); });
    )js");
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    const QStringList lines = QString::fromUtf8(result.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << result.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("overflow 6 Overflow"));
    EXPECT_TRUE(lines[1].startsWith("read write-only 438 "));
    EXPECT_TRUE(lines[2].startsWith("write read-only 438 "));
    EXPECT_TRUE(lines[3].startsWith("unknown method 438 "));
    EXPECT_TRUE(lines[4].startsWith("unknown property 438 "));
    EXPECT_TRUE(lines[5].startsWith("wrong argument count 450 "));
    EXPECT_TRUE(lines[6].startsWith("unknown ProgID 429 "));
}

TEST(PageRunner, UncaughtErrorEndsTheRunWithItsNumber) {
    const CommandResult result = RunPage(R"js(
        var o = new ActiveXObject("Orvanta.Tessarex");
        print("before");
        o.LocalSize = "99999999999";
        print("after");
    )js");
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(result.out, "before\n");
    EXPECT_TRUE(result.err.contains("error 6 (Tessarex): Overflow")) << result.err.toStdString();
}

TEST(PageRunner, PlainScriptFaultsAreReported) {
    const CommandResult syntax = RunPage("print(;");
    EXPECT_NE(syntax.exitCode, 0);
    EXPECT_FALSE(syntax.err.isEmpty());
    const CommandResult thrown = RunPage("throw new Error('boom');");
    EXPECT_NE(thrown.exitCode, 0);
    EXPECT_TRUE(thrown.err.contains("boom"));
}

TEST(PageRunner, WaitForLetsTimersRunAndTimesOut) {
    const CommandResult result = RunPage(R"js(
        var n = 0;
        print(waitFor(function () { return ++n >= 5; }, 5000), n);
        var start = Date.now();
        print(waitFor(function () { return false; }, 200));
        print(Date.now() - start >= 190);
        try { waitFor(function () { throw new Error("inside"); }, 100); }
        catch (e) { print("caught", e.message); }
    )js");
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "true 5\nfalse\ntrue\ncaught inside\n");
}

TEST(PageRunner, ObjectsOfOneRunShareTheirPage) {
    const CommandResult result = RunPage(R"js(
        var a = new ActiveXObject("Orvanta.Tessarex");
        var b = new ActiveXObject("orvanta.tessarex");
        print(a.Status === b.Status, a.Body === "");
    )js");
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, "true true\n");
}

TEST(PageRunner, UsageErrors) {
    EXPECT_EQ(RunCommand(TessaryCommand(), {}).exitCode, 2);
    EXPECT_EQ(RunCommand(TessaryCommand(), {"script"}).exitCode, 2);
    EXPECT_EQ(RunCommand(TessaryCommand(), {"script", "/no/such/page.js"}).exitCode, 2);
    EXPECT_EQ(RunCommand(TessaryCommand(), {"frobnicate"}).exitCode, 2);
}
