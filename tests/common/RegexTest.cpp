#include "common/RegExp.h"
#include "common/RegexOps.h"
#include "common/ScriptError.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(RegexDialect, CaseInsensitiveGlobalAndSingleLine) {
    EXPECT_EQ(RegexReplace("aXa xa", "XA", "-"), "a- -");
    // "$" is only the very end, even before a final line feed; "^" only the very start.
    EXPECT_EQ(RegexReplace("a\na\n", "a$", "-"), "a\na\n");
    EXPECT_EQ(RegexReplace("a\na", "a$", "-"), "a\n-");
    EXPECT_EQ(RegexReplace("a\na", "^a", "-"), "-\na");
    // "." is anything but a line terminator.
    EXPECT_EQ(RegexReplace("x\ny\rz", "x.y", "-"), "x\ny\rz");
    EXPECT_EQ(RegexReplace("y\rz", "y.z", "-"), "y\rz");
    EXPECT_EQ(RegexReplace(QString::fromUtf16(u"y\u2028z y\u00a0z"), "y.z", "-"),
              QString::fromUtf16(u"y\u2028z -"));
}

TEST(RegexDialect, BlanksAreTheScriptingOnes) {
    const QString unicodeBlanks =
        QString::fromUtf16(u"\u00a0\u1680\u2000\u200a\u2028\u2029\u202f\u205f\u3000\ufeff");
    EXPECT_EQ(RegexReplace("a \t\r\n\f\vb", "\\s+", "_"), "a_b");
    EXPECT_EQ(RegexReplace("a" + unicodeBlanks + "b", "\\s+", "_"), "a_b");
    EXPECT_EQ(RegexReplace("a" + unicodeBlanks + "b", "[^\\s]", "_"), "_" + unicodeBlanks + "_");
    EXPECT_EQ(RegexReplace("a" + unicodeBlanks + "b", "\\S", "_"), "_" + unicodeBlanks + "_");
    // Next line and the Mongolian vowel separator are not white space here.
    const QString others = QString::fromUtf16(u"\u0085\u180e");
    EXPECT_EQ(RegexReplace(others, "\\s", "_"), others);
    // "\v" is the vertical tab only, not every vertical blank.
    EXPECT_EQ(RegexReplace("\v\n", "\\v", "_"), "_\n");
    EXPECT_EQ(RegexReplace(QString::fromUtf16(u"a\u3000 b"), "[\\s\\u3000]+", "_"), "a_b");
    // Word characters stay ASCII.
    EXPECT_EQ(RegexReplace(QString::fromUtf16(u"\u00e9t\u00e9"), "\\w", "w"),
              QString::fromUtf16(u"\u00e9w\u00e9"));
}

TEST(RegexDialect, EscapedLettersOfNoMeaningAreTheLetters) {
    // These are engine features elsewhere but plain letters in the runtime's dialect.
    EXPECT_EQ(RegexReplace("aeQzA", "\\a\\e\\Q\\z\\A", "-"), "-");
    EXPECT_EQ(RegexReplace("x[y", "[[]", "-"), "x-y");
    // "[[:a:]]+" is the class of "[", ":" and "a" followed by one or more "]".
    EXPECT_EQ(RegexReplace("[:a:]", "[[:a:]]+", "-"), "[:a-");
}

TEST(RegexDialect, QuantifiedLookAheadActsOnce) {
    const QString pattern = "<(?!(p|/p|br))+?[^>]*?>";
    EXPECT_EQ(RegexReplace("<p><span>x</span><br><pre>y</pre><b>z</b></p>", pattern, ""),
              "<p>x<br><pre>y</pre>z</p>");
    EXPECT_EQ(RegexReplace("<table><tbody><thead>", "<(?!(table|th))+?[^>]*?>", ""),
              "<table><thead>");
}

TEST(RegexReplaceTemplate, GroupReferencesAndSpecialForms) {
    EXPECT_EQ(RegexReplace("abc", "(a)(b)", "[$2$1]"), "[ba]c");
    EXPECT_EQ(RegexReplace("abc", "b", "[$&|$`|$'|$$]"), "a[b|a|c|$]c");
    // A group that took no part gives "", one that does not exist stays as written.
    EXPECT_EQ(RegexReplace("ac", "a(b)?c", "[$1]"), "[]");
    EXPECT_EQ(RegexReplace("ab", "(a)b", "$0$2$"), "$0$2$");
    // Two digits when they name a group, else one digit and a literal digit.
    EXPECT_EQ(RegexReplace("ab", "(a)b", "$12"), "a2");
    const QString twelveGroups = "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)";
    EXPECT_EQ(RegexReplace("abcdefghijkl", twelveGroups, "$12$11$10$1"), "lkja");
}

TEST(RegexReplace, EmptyMatchesAdvanceByOneUnit) {
    EXPECT_EQ(RegexReplace("abc", "x*", "-"), "-a-b-c-");
    EXPECT_EQ(RegexReplace("", "x*", "-"), "-");
    EXPECT_EQ(RegexReplace("aaa", "a*", "-"), "--");
}

TEST(RegexReplaceUntilStable, RepeatsUntilNothingChanges) {
    EXPECT_EQ(RegexReplace("aaaa", "aa", "a"), "aa");
    EXPECT_EQ(RegexReplaceUntilStable("aaaa", "aa", "a"), "a");
    EXPECT_EQ(RegexReplaceUntilStable("<b><b>x</b></b>", "<b>([^<]*)</b>", "$1"), "x");
}

TEST(RegexSubMatchAndTest, FirstMatchOnly) {
    EXPECT_EQ(RegexSubMatch("w:10pt; w:20pt", "w:(\\d+)(pt)", 0), "10");
    EXPECT_EQ(RegexSubMatch("w:10pt", "w:(\\d+)(px)?", 1), "");
    EXPECT_EQ(RegexSubMatch("none", "w:(\\d+)", 0), "");
    EXPECT_THROW(RegexSubMatch("w:1", "w:(\\d+)", 3), ScriptError);
    EXPECT_TRUE(RegexTest("B", "abc"));
    EXPECT_FALSE(RegexTest("d", "abc"));
}

TEST(RegexErrors, MalformedPatternRaisesSyntaxError) {
    try {
        RegexReplace("x", "(a", "");
        FAIL();
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), 5017);
    }
}

TEST(RegExpObject, ExecuteListsMatchesWithGroups) {
    RegExp regExp;
    regExp.Pattern = "<(\\w+)( x)?>";
    regExp.IgnoreCase = true;
    regExp.Global = true;
    const QList<RegExpMatch> matches = regExp.Execute("<A x><b>");
    ASSERT_EQ(matches.size(), 2);
    EXPECT_EQ(matches[0].firstIndex, 0);
    EXPECT_EQ(matches[0].value, "<A x>");
    EXPECT_EQ(matches[0].subMatches, QStringList({"A", " x"}));
    EXPECT_EQ(matches[1].subMatches, QStringList({"b", ""}));
    regExp.Global = false;
    EXPECT_EQ(regExp.Execute("<A x><b>").size(), 1);
    regExp.IgnoreCase = false;
    regExp.Pattern = "<a";
    EXPECT_FALSE(regExp.Test("<A x>"));
}

// The any-character idiom is compiled in a cheaper form; it must give exactly what the
// pattern as written gives, captures included.
TEST(RegexAnyCharacterIdiom, SameResultsAsThePatternAsWritten) {
    const QStringList patterns = {
        "<!--([^a]|a)*?-->",   "<!--([^a]|a)*-->",    "<x>([^a]|a)+?</x>",
        "<x>([^a]|a)+</x>",    "<x>(?:[^a]|a)*?</x>", "\\s*([^\\s](?:[^a]|a)+[^\\s])\\s*",
        "(<x>)([^a]|a)(</x>)", "<x>([^b]|b){2}",      "q(?:[^a]|a)+?(r)",
    };
    const QStringList templates = {"[$1]", ""};
    QRandomGenerator random(42);
    const QString alphabet = "<>!-xqr/ \n\rab";
    for (int round = 0; round < 300; ++round) {
        QString text;
        const int length = random.bounded(40);
        for (int i = 0; i < length; ++i) {
            if (random.bounded(6) == 0)
                text += QStringList({"<!--", "-->", "<x>", "</x>"})[random.bounded(4)];
            else
                text += alphabet[random.bounded(alphabet.size())];
        }
        for (const QString& pattern : patterns) {
            const QRegularExpression reference(pattern, QRegularExpression::CaseInsensitiveOption);
            ASSERT_TRUE(reference.isValid()) << pattern.toStdString();
            for (const QString& replaceTemplate : templates) {
                if (replaceTemplate.contains("$1") && reference.captureCount() < 1)
                    continue;
                QString expected = text;
                QString qtTemplate = replaceTemplate;
                qtTemplate.replace("$1", "\\1");
                expected.replace(reference, qtTemplate);
                EXPECT_EQ(RegexReplace(text, pattern, replaceTemplate), expected)
                    << "pattern " << pattern.toStdString() << " text " << text.toStdString();
            }
        }
    }
}

namespace {

QString MegabytesOf(const QString& unit, qsizetype megabytes) {
    QString text;
    const qsizetype units = megabytes * 1024 * 1024 / unit.size();
    text.reserve(units * unit.size());
    for (qsizetype i = 0; i < units; ++i)
        text += unit;
    return text;
}

} // namespace

TEST(RegexLargeText, CommentsOverTwentyMegabytes) {
    const QString unit = "<p class=x>Some text, \r\nwith a <!-- note \n -->comment.</p>\r\n";
    const QString big = MegabytesOf(unit, 20);
    const QString cleaned = RegexReplace(big, "<!--([^a]|a)*?-->", "");
    QString expected = big;
    expected.replace("<!-- note \n -->", "");
    EXPECT_EQ(cleaned.size(), expected.size());
    EXPECT_TRUE(cleaned == expected);

    // One comment that never closes: the lazy scan runs to the end of the text and fails.
    const QString unclosed = "<!-- open " + MegabytesOf("no closing here\r\n", 20);
    EXPECT_TRUE(RegexReplace(unclosed, "<!--([^a]|a)*?-->", "") == unclosed);
    EXPECT_EQ(RegexReplace(unclosed + "-->", "<!--([^a]|a)*?-->", "$1"), "\n");
}

TEST(RegexLargeText, TrimAcrossTwentyMegabytes) {
    const QString inner = MegabytesOf("abc def\r\n", 20);
    const QString text = "  \r\n " + inner + "x \r\n\t ";
    const QString trimmed = RegexReplace(text, "\\s*([^\\s](?:[^a]|a)+[^\\s])\\s*", "$1");
    EXPECT_TRUE(trimmed == inner + "x");
}

TEST(RegexLargeText, HeaderLookupWithoutTheName) {
    // Searching a 20 MB text for a header it lacks must neither crash nor rescan.
    const QString text = "Version:0.9\r\n" + MegabytesOf("<p>x: y</p>\r\n", 20);
    EXPECT_TRUE(RegexReplace(text, "(?:[^a]|a)*?SourceURL:([^\\r\\n]+)(?:[^a]|a)+", "$1") == text);
}

TEST(RegexLargeText, DeepBacktrackingEndsInAResultOrAnError) {
    // Written without the idiom, each repetition of the group keeps a backtracking frame;
    // over 20 MB the engine may run out of room, which must be an error, never a crash or
    // a silently unchanged text.
    const QString unclosed = "<!-- open " + MegabytesOf("no closing here\r\n", 20) + "-->";
    try {
        EXPECT_EQ(RegexReplace(unclosed, "<!--(x|[^x])*?-->", "[$1]"), "[\n]");
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.number(), 28);
    }
}
