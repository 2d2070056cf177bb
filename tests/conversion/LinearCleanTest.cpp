#include "common/RegExp.h"
#include "common/RegexOps.h"
#include "common/TextHelpers.h"
#include "conversion/OfficeHtml.h"
#include "conversion/TagBlanks.h"
#include "conversion/WordSmartTags.h"
#include "tests/conversion/CleanResult.h"

#include <QFile>
#include <QRandomGenerator>
#include <functional>
#include <gtest/gtest.h>

// The clean-ups must take time proportional to the text, whatever the text. Rather than
// timing anything, these tests check the two things that make it so: every pattern the
// pipelines run is on the linear-time engine, and that engine, the hand-written scans and
// the rewritten patterns give exactly what the backtracking engine gives for the
// patterns as they used to be written.
namespace {

QString Fixture(const char* name) {
    QFile file(QStringLiteral(TESSARY_SOURCE_DIR "/tests/conversion/fixtures/") +
               QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return DecodeUtf8(file.readAll());
}

// Every pattern both pipelines run on the real Office pages under options that switch
// every step on or off.
QList<RegExpUseRecorder::Use> PipelinePatterns() {
    RegExpUseRecorder recorder;
    const QString options[] = {
        u""_s,
        u"optimizemode:1;opt1vml:1;opt1absolute:1;opt1space:1;opt1eq:1;opt1margin:1;"
        "opt1table:1;opt1overflow:1;pagewidth:1;pagemargin:1;pageeffect:1;pagescroll:1"_s,
        u"optimizemode:1"_s,
        u"opt2image:1;opt2table:1;opt2eq:1;opt2indent:1;opt2ptobr:1;opt2space:1;pagewidth:1"_s,
        u"opt2eq:1"_s,
    };
    for (const char* name : {"word-paste.html", "word-import.html", "excel-sheet.html"}) {
        const QString html = Fixture(name);
        for (const QString& option : options) {
            for (const QString& flag : {u"paste"_s, u"import"_s}) {
                CleanWord(html, option, flag);
                CleanExcel(html, option, kFixedTimestamp, flag);
            }
        }
    }
    return recorder.uses();
}

// Markup the patterns look for, their openers without closers, near misses, and the
// units beyond ASCII that the linear-time engine reads by kind.
const char* const kPieces[] = {
    "<",
    ">",
    "</",
    "<span",
    "<span ",
    "</span>",
    "<SPAN>",
    "<font ",
    "</FONT>",
    "<p",
    "<p ",
    "</p>",
    "<pre>",
    "<br>",
    "<!--",
    "-->",
    "<!--x>",
    "<!--[if mso]>",
    "<!--[if gte mso 9]>",
    "<![endif]-->",
    "<![if !vml]>",
    "<![endif]>",
    "<!--[if gte vml 1]>",
    "<st1:a>",
    "<ST1:ab x>",
    "</st1:a>",
    "</st1:ab>",
    "</St1:A>",
    "<st12:",
    "<o:p>",
    "</o:p>",
    "&nbsp;",
    "<img src=x>",
    "<img ",
    "<sub>",
    "</sub>",
    "<table ",
    "<table>",
    " x:str",
    "x:num",
    "<td ",
    "<td>",
    "</td>",
    "<tr ",
    "</tr>",
    "style='",
    "style=\"",
    "'",
    "\"",
    "mso-a:b;",
    "mso-x:\"y\";",
    "class=c",
    "lang=en",
    " v:shapes=\"s\"",
    "position:absolute",
    "margin-left:-1",
    "mso-text-raise:-2",
    "{",
    "}",
    ";",
    ":",
    "@page s{size:1 2;margin:1 2 3 4;}",
    "a:link{}",
    "ol{x:y}",
    "<style>",
    "</style>",
    "<ruby",
    "<rt>",
    " ",
    "  ",
    "\t",
    "\r\n",
    "\n",
    "x",
    "ab",
    "\u00a0",
    "\u3000",
    "\u2028",
    "\u2029",
    "\ufeff",
    "\u0085",
    "\u212a",
    "\u017f",
    "\u00e9",
    "\u4e2d",
    "\U0001F600",
};

QString RandomText(QRandomGenerator& random, int maxPieces) {
    QString text;
    const int pieces = 1 + random.bounded(maxPieces);
    for (int i = 0; i < pieces; ++i)
        text += QString::fromUtf8(kPieces[random.bounded(int(std::size(kPieces)))]);
    return text;
}

// Inputs of one piece repeated (an opener without its closer, a run of blanks...), and
// random mixtures.
QList<QString> Inputs() {
    QList<QString> inputs;
    for (const char* piece : kPieces)
        inputs.append(QString::fromUtf8(piece).repeated(40));
    QRandomGenerator random(8042026);
    for (int n = 0; n < 300; ++n)
        inputs.append(RandomText(random, 60));
    return inputs;
}

struct EngineResult {
    QList<RegExpMatch> matches;
    QString replaced;
    bool operator==(const EngineResult& other) const {
        if (replaced != other.replaced || matches.size() != other.matches.size())
            return false;
        for (qsizetype i = 0; i < matches.size(); ++i) {
            if (matches[i].firstIndex != other.matches[i].firstIndex ||
                matches[i].value != other.matches[i].value ||
                matches[i].subMatches != other.matches[i].subMatches)
                return false;
        }
        return true;
    }
};

EngineResult RunEngine(const RegExpUseRecorder::Use& use, const QString& text,
                       bool backtrackingOnly) {
    RegExp regExp;
    regExp.Pattern = use.pattern;
    regExp.IgnoreCase = use.ignoreCase;
    regExp.MultiLine = use.multiLine;
    regExp.Global = true;
    regExp.BacktrackingOnly = backtrackingOnly;
    // The whole match and one group: the replacement asks the engine for fewer groups than
    // Execute does.
    return {regExp.Execute(text), regExp.Replace(text, u"[$&|$1]"_s)};
}

TEST(LinearClean, EveryPatternOfBothPipelinesRunsInLinearTime) {
    const QList<RegExpUseRecorder::Use> uses = PipelinePatterns();
    EXPECT_GE(uses.size(), 60);
    for (const RegExpUseRecorder::Use& use : uses) {
        RegExp regExp;
        regExp.Pattern = use.pattern;
        regExp.IgnoreCase = use.ignoreCase;
        EXPECT_TRUE(regExp.RunsInLinearTime()) << use.pattern.toStdString();
    }
}

TEST(LinearClean, EveryPatternGivesWhatTheBacktrackingEngineGives) {
    const QList<QString> inputs = Inputs();
    for (const RegExpUseRecorder::Use& use : PipelinePatterns()) {
        for (const QString& input : inputs) {
            const EngineResult linear = RunEngine(use, input, false);
            const EngineResult backtracking = RunEngine(use, input, true);
            ASSERT_TRUE(linear == backtracking)
                << use.pattern.toStdString() << "\non: " << input.toStdString()
                << "\nlinear: " << linear.replaced.toStdString()
                << "\nbacktracking: " << backtracking.replaced.toStdString();
        }
    }
}

// Each step that is no longer the pattern it was: the pattern as first written (run on
// the backtracking engine, which has its look-aheads and back-references) and the step
// as it is now must agree on every input.
struct RewrittenStep {
    const char* name;
    QString originalPattern;
    QString replaceTemplate;
    bool untilStable;
    std::function<QString(const QString&)> now;
};

QString Backtracking(const QString& text, const QString& pattern, const QString& replaceTemplate,
                     bool untilStable) {
    RegExp regExp;
    regExp.Pattern = pattern;
    regExp.IgnoreCase = true;
    regExp.Global = true;
    regExp.BacktrackingOnly = true;
    QString current = regExp.Replace(text, replaceTemplate);
    if (!untilStable)
        return current;
    for (QString next; (next = regExp.Replace(current, replaceTemplate)) != current;)
        current = next;
    return current;
}

QList<RewrittenStep> RewrittenSteps() {
    const auto pattern = [](const QString& p, const QString& t, bool stable = false) {
        return [p, t, stable](const QString& text) {
            return stable ? RegexReplaceUntilStable(text, p, t) : RegexReplace(text, p, t);
        };
    };
    return {
        {"smart tags", uR"re(<(st[0-9]+:\w+)[^>]*?>((?:[^a]|a)+?)</\1>)re"_s, u"$2"_s, false,
         [](const QString& text) {
             QString copy = text;
             UnwrapSmartTags(copy);
             return copy;
         }},
        {"tags not kept (Word)", u"<(?!(p|/p|br|img|sub|sup|/sub|/sup))+?[^>]*?>"_s, u""_s, false,
         [](const QString& text) {
             QString copy = text;
             DeleteTagsNotKept(copy, u"p|/p|br|img|sub|sup|/sub|/sup"_s);
             return copy;
         }},
        {"tags not kept (Excel)", u"<(?!(table|tr|td|th|/table|/tr|/td|/th))+?[^>]*?>"_s, u""_s,
         false,
         [](const QString& text) {
             QString copy = text;
             DeleteTagsNotKept(copy, u"table|tr|td|th|/table|/tr|/td|/th"_s);
             return copy;
         }},
        {"empty spans and fonts", uR"re(<(span|font)(?=[\s\>])[^>]*?></\1>)re"_s, u""_s, true,
         pattern(uR"re(<span(?:\s[^>]*?)??></span>|<font(?:\s[^>]*?)??></font>)re"_s, u""_s, true)},
        {"blank runs in tags", uR"re((<\w[^>]*?)\s\s+([^>]*?>))re"_s, u"$1 $2"_s, true,
         [](const QString& text) {
             QString copy = text;
             CollapseBlankRunsInTags(copy);
             return copy;
         }},
        {"empty paragraphs", uR"re((<p(?=[\s\>])[^>]*?>)(</p>))re"_s, u"$1&nbsp;$2"_s, false,
         pattern(uR"re((<p(?:\s[^>]*?)??>)(</p>))re"_s, u"$1&nbsp;$2"_s)},
        {"x:str", uR"re((<table(?=\s)[^>]*?)\sx:str([^>]*?>))re"_s, u"$1$2"_s, false,
         pattern(uR"re((<table(?:\s[^>]*?)??)\sx:str([^>]*?>))re"_s, u"$1$2"_s)},
        {"empty style attributes", uR"re((<\w+\s+[^>]*?)style=(['"])\s*?\2([^>]*?>))re"_s,
         u"$1$3"_s, false,
         pattern(uR"re((<\w+\s+[^>]*?)style=(?:(')\s*?'|(")\s*?")([^>]*?>))re"_s, u"$1$4"_s)},
    };
}

TEST(LinearClean, RewrittenStepsGiveWhatThePatternsAsFirstWrittenGive) {
    QList<QString> inputs = Inputs();
    // Shapes that the steps themselves care about.
    inputs += {u"<st1:place w:st=\"on\"><st1:City>Paris</st1:City></st1:place>"_s,
               u"<st1:abc x>y</st1:ab></st1:abc>"_s,
               u"<st1:ab>x</st1:abc></st1:ab>"_s,
               u"<st1:a></st1:a>x</st1:a>"_s,
               u"<st1:a>"_s.repeated(50) + u"x</st1:a>"_s,
               u"<span><span><font x></font></span></span>"_s,
               u"<span a<span></span></span>"_s,
               u"<span x><Span y></SPAN></span><spanx></spanx>"_s,
               u"<p\u3000></p><p\u2028></p><pre></p><p></p>"_s,
               u"<table x:str><table\tx:str x:str><tablex:str>"_s,
               u"<b style='' lang=x><i style=\" \t\"><u style='\"><s style=\"'>"_s};
    // Nesting and near misses from a few pieces, where the order of deletions matters.
    const char* const nesting[] = {"<span",   "<font",   "<SPAN",   " ", "\t", "\u3000", ">",
                                   "</span>", "</font>", "</Span>", "x", "<",  "<a",     "  "};
    QRandomGenerator random(22122026);
    for (int n = 0; n < 3000; ++n) {
        QString text;
        for (int i = random.bounded(40); i >= 0; --i)
            text += QString::fromUtf8(nesting[random.bounded(int(std::size(nesting)))]);
        inputs.append(text);
    }
    for (const RewrittenStep& step : RewrittenSteps()) {
        for (const QString& input : std::as_const(inputs)) {
            ASSERT_EQ(step.now(input), Backtracking(input, step.originalPattern,
                                                    step.replaceTemplate, step.untilStable))
                << step.name << " on: " << input.toStdString();
        }
    }
    // The ruby checks are tests, not replacements.
    for (const char* tag : {"ruby", "rt"}) {
        const QString before = u"<"_s + QLatin1String(tag) + uR"re((?=[\s\>])[^>]*?>)re"_s;
        const QString now = u"<"_s + QLatin1String(tag) + uR"re((?:\s[^>]*?)??>)re"_s;
        for (const QString& input : std::as_const(inputs)) {
            RegExp original;
            original.Pattern = before;
            original.IgnoreCase = true;
            original.BacktrackingOnly = true;
            ASSERT_EQ(RegexTest(now, input), original.Test(input))
                << tag << " on: " << input.toStdString();
        }
    }
}

} // namespace
