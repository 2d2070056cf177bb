#pragma once

#include <QList>
#include <QString>
#include <memory>

class CompiledPattern;

// One match of a RegExp: where it starts, what it matched, and its groups. A group that
// did not take part in the match reads as "".
struct RegExpMatch {
    qsizetype firstIndex = 0;
    QString value;
    QStringList subMatches;
};

// The scripting runtime's regular-expression object. The dialect is the runtime's
// ECMAScript one: "." is anything but a line terminator, "\s" the ECMAScript white space
// (Unicode space separators and the byte-order mark included), "\w" ASCII, "$" only
// the very end when not multi-line, "\uXXXX" a UTF-16 unit, a quantifier on a look-ahead
// is the look-ahead once. Replacement templates know $1..$99, $&, $`, $' and $$.
//
// Compiled patterns are shared through a per-thread cache; every call behaves as if a
// fresh engine had compiled the pattern. A malformed pattern raises ScriptError 5017; an
// engine limit (stack, backtracking) raises ScriptError 28 rather than returning a wrong
// result.
class RegExp {
public:
    RegExp();
    ~RegExp();
    RegExp(const RegExp&) = delete;
    RegExp& operator=(const RegExp&) = delete;

    QString Pattern;
    bool IgnoreCase = false;
    bool Global = false;
    bool MultiLine = false;
    // Keeps the pattern on the backtracking engine, so that tests can hold the two engines'
    // results side by side.
    bool BacktrackingOnly = false;

    QString Replace(const QString& text, const QString& replaceTemplate);
    // Replace that builds the result in `out`, reusing its memory; false (and `out` left
    // undefined) when nothing matched.
    bool ReplaceInto(const QString& text, const QString& replaceTemplate, QString& out);
    QList<RegExpMatch> Execute(const QString& text);
    bool Test(const QString& text);

    // Whether this pattern runs on the linear-time engine: no text, however it is built,
    // makes its matching slower than proportional to the text's length.
    bool RunsInLinearTime();

private:
    std::shared_ptr<const CompiledPattern> compiled();
};

// While one exists, every pattern (with its case flag) that RegExp objects of this thread
// run is listed once, in the order of first use: lets tests and benchmarks see which
// patterns a pipeline uses without keeping a second list of them.
class RegExpUseRecorder {
public:
    struct Use {
        QString pattern;
        bool ignoreCase = false;
        bool multiLine = false;
        bool operator==(const Use&) const = default;
    };
    RegExpUseRecorder();
    ~RegExpUseRecorder();
    RegExpUseRecorder(const RegExpUseRecorder&) = delete;
    RegExpUseRecorder& operator=(const RegExpUseRecorder&) = delete;
    const QList<Use>& uses() const { return m_uses; }

private:
    friend class RegExp;
    QList<Use> m_uses;
    RegExpUseRecorder* m_outer;
};
