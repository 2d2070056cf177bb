#include "tests/conversion/CleanResult.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <gtest/gtest.h>

// Both clean-ups against a second, independent reading of them in plain JavaScript
// (reference/clean.mjs, on the JavaScript engine's own regular expressions): realistic
// pages under many options and a few hundred random mixtures of the markup the steps
// look for must come out character for character the same.
namespace {

struct Case {
    QString kind;
    QString flag;
    QString options;
    QString html;
};

QString Fixture(const char* name) {
    QFile file(QStringLiteral(TESSARY_SOURCE_DIR "/tests/conversion/fixtures/") +
               QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return QString::fromUtf8(file.readAll());
}

const char* const kSoup[] = {
    "<p>",
    "</p>",
    "<p class=MsoNormal>",
    "<p style='mso-x:1;color:red'>",
    "<span>",
    "</span>",
    "<span lang=EN-US style=\"mso-a:b;font-size:1pt\">",
    "<o:p>",
    "</o:p>",
    "&nbsp;",
    "<!--",
    "-->",
    "<!--[if gte mso 9]>",
    "<![endif]-->",
    "<!--[if gte vml 1]>",
    "<![if !vml]>",
    "<![endif]>",
    "<img src=\"a.png\" v:shapes=\"x\">",
    "<img\tsrc=b>",
    "<sub>",
    "</sub>",
    "<sup>",
    "</sup>",
    "<table border=0 x:str>",
    "</table>",
    "<tr height=1>",
    "</tr>",
    "<td x:num=\"1.5\">",
    "<td class=xl65 x:num>",
    "</td>",
    "<td>",
    "<st1:place w:st=\"on\">",
    "</st1:place>",
    "<style>",
    "</style>",
    "<style media=x>",
    "p {mso-a:1; color:red}",
    "td {border:none;}",
    "@page S {size:21cm 29.7cm; margin:2cm 2cm 2cm 2cm;}",
    "@page W {size:595.3pt 841.9pt;margin:72.0pt 90.0pt 72.0pt 90.0pt;}",
    "a:link {x:y}",
    "ol {a:b}",
    "st1\\:*{behavior:url(#ieooui) }",
    "v\\:* {behavior:url(#default#VML);}",
    "</head>",
    "<head>",
    "<body lang=x>",
    "</body>",
    "<title>",
    "</title>",
    "<br>",
    "<pre>",
    "<font face=x>",
    "</font>",
    "<ruby>",
    "<rt>",
    "\r\n",
    "\n",
    " ",
    "  ",
    "\t",
    "\u3000",
    "\u00a0",
    "\u2028",
    "\ufeff",
    "x",
    "Word",
    "\u4e2d\u6587",
    "\"",
    "'",
    ">",
    "<",
    "{",
    "}",
    ";",
    ":",
    "-",
    "mso-text-raise:-4pt",
    "position:absolute",
    "margin-left:-3pt",
    "left:-2pt",
    "<span style='mso-text-raise:-4pt'>",
    "/* c */",
    "$1",
    "$&",
    "\U0001F600",
};
const char* const kWordSwitches[] = {"optimizemode", "opt1vml",    "opt1absolute", "opt1space",
                                     "opt1eq",       "opt1margin", "opt2image",    "opt2table",
                                     "opt2eq",       "opt2indent", "opt2ptobr",    "pagewidth",
                                     "pagemargin",   "pageeffect", "pagescroll"};
const char* const kExcelSwitches[] = {"optimizemode", "opt1vml",   "opt1space", "opt1table",
                                      "opt1overflow", "opt2image", "opt2space", "opt2table"};

template <size_t N>
QString RandomOptions(QRandomGenerator& random, const char* const (&switches)[N]) {
    static const char* const values[] = {"1", "1", "0", " 1 "};
    QStringList items;
    for (const char* key : switches) {
        if (random.bounded(2))
            items.append(QLatin1String(key) + u':' + QLatin1String(values[random.bounded(4)]));
    }
    return items.join(u';');
}

QList<Case> Cases() {
    QList<Case> cases;
    const QString wordOptions[] = {
        u""_s,
        u"optimizemode:1;opt1vml:1;opt1absolute:1;opt1space:1;opt1eq:1;opt1margin:1;pagewidth:1"_s,
        u"optimizemode:1;pagewidth:1;pagemargin:1;pageeffect:1;pagescroll:1"_s,
        u"opt2image:1;opt2table:1;opt2eq:1;opt2indent:1;opt2ptobr:1;pagewidth:1"_s,
    };
    for (const QString& options : wordOptions) {
        cases.append({u"word"_s, u"paste"_s, options, Fixture("word-paste.html")});
        cases.append({u"word"_s, u"import"_s, options, Fixture("word-import.html")});
    }
    for (const QString& options :
         {u""_s, u"opt2image:1;opt2space:1;opt2table:1"_s,
          u"optimizemode:1;opt1vml:1;opt1space:1;opt1table:1;opt1overflow:1"_s,
          u"optimizemode:1;opt1space:1"_s})
        cases.append({u"excel"_s, u"import"_s, options, Fixture("excel-sheet.html")});

    QRandomGenerator random(20261209);
    for (int n = 0; n < 400; ++n) {
        Case c;
        const bool word = random.bounded(2);
        c.kind = word ? u"word"_s : u"excel"_s;
        c.flag = random.bounded(2) ? u"paste"_s : u"import"_s;
        c.options =
            word ? RandomOptions(random, kWordSwitches) : RandomOptions(random, kExcelSwitches);
        const int pieces = 1 + random.bounded(120);
        for (int i = 0; i < pieces; ++i)
            c.html += QString::fromUtf8(kSoup[random.bounded(int(std::size(kSoup)))]);
        cases.append(c);
    }
    // Openers repeated without their closers, nesting and long runs: the inputs that once
    // took time growing with the square of their length, small enough for the reference.
    const char* const hostile[] = {
        "<!--x>",        "<span ",    "<span>",       "<st1:x>",   "<st1:x a>y",
        "<p a  b  c ",   "<",         "<![if !vml]>", "{mso-a:b;", "<a style='mso-a:b;c:d;",
        "<table x:str ", "<tr x><td>"};
    for (const char* piece : hostile) {
        for (const QString& options : {u""_s, wordOptions[1], wordOptions[3]}) {
            const QString html = QString::fromUtf8(piece).repeated(300);
            cases.append({u"word"_s, u"paste"_s, options, html});
            cases.append({u"excel"_s, u"import"_s, options, html + u"</span>"_s.repeated(300)});
        }
    }
    return cases;
}

TEST(CleanDifferential, MatchesTheJavaScriptReadingCharacterForCharacter) {
    const QString node = QStandardPaths::findExecutable(u"node"_s);
    ASSERT_FALSE(node.isEmpty()) << "node (Debian package nodejs) is needed for this test";

    const QList<Case> cases = Cases();
    QByteArray input;
    for (const Case& c : cases) {
        QJsonObject line{{u"kind"_s, c.kind},
                         {u"flag"_s, c.flag},
                         {u"options"_s, c.options},
                         {u"html"_s, c.html},
                         {u"timestamp"_s, kFixedTimestamp}};
        input += QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n';
    }
    QProcess process;
    process.start(node,
                  {QStringLiteral(TESSARY_SOURCE_DIR "/tests/conversion/reference/clean.mjs")});
    ASSERT_TRUE(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    ASSERT_TRUE(process.waitForFinished(120000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    ASSERT_GE(lines.size(), cases.size());

    for (qsizetype i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const QJsonObject expected = QJsonDocument::fromJson(lines[i]).object();
        const CleanResult ours = c.kind == u"word"
                                     ? CleanWord(c.html, c.options, c.flag)
                                     : CleanExcel(c.html, c.options, kFixedTimestamp, c.flag);
        SCOPED_TRACE("case " + std::to_string(i) + ": " + c.kind.toStdString() + " " +
                     c.flag.toStdString() + " \"" + c.options.toStdString() + "\"\n" +
                     c.html.left(2000).toStdString());
        EXPECT_EQ(ours.style, expected.value("style"_L1).toString());
        EXPECT_EQ(ours.body, expected.value("body"_L1).toString());
    }
}

} // namespace
