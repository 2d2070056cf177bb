#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

namespace re2 {
class RE2;
}

// The text as the linear-time engine reads it: one byte per UTF-16 code unit, so that
// positions are the same in both. ASCII stays as it is; every other unit becomes the
// byte of its kind, and the patterns this engine accepts treat all units of one kind
// alike: white space (U+00A0, U+3000, the byte-order mark...), the line and paragraph
// separators (white space that "." does not match), and everything else.
class LinearSubject {
public:
    explicit LinearSubject(const QString& text);
    const QByteArray& bytes() const { return m_bytes; }

    static constexpr char WhiteSpaceByte = char(0xa0);
    static constexpr char LineSeparatorByte = char(0x81);
    static constexpr char OtherByte = char(0x80);

private:
    QByteArray m_bytes;
};

// A pattern, already in the backtracking engine's syntax (see TranslatePattern), run on
// RE2 instead: time proportional to the text whatever the text is, with the same
// matches and groups (both engines take the leftmost match and prefer alternatives and
// repetitions in the same order). Patterns that need what RE2 lacks (look-around,
// back-references) or whose meaning could differ between the two get no LinearRegex.
class LinearRegex {
public:
    // nullptr when the pattern stays with the backtracking engine.
    static std::unique_ptr<LinearRegex> Compile(const QString& translatedPattern, bool ignoreCase,
                                                int expectedGroups);
    ~LinearRegex();
    LinearRegex(const LinearRegex&) = delete;
    LinearRegex& operator=(const LinearRegex&) = delete;

    // The leftmost match at or after `offset`. `spans` receives start and end of the
    // whole match and of groups 1..wantedGroups-1 (-1 for a group that took no part);
    // asking for fewer groups lets the engine skip its slower group search.
    bool find(const LinearSubject& subject, qsizetype offset, int wantedGroups,
              qsizetype* spans) const;

private:
    explicit LinearRegex(std::unique_ptr<re2::RE2> engine);
    std::unique_ptr<re2::RE2> m_engine;
};

// RE2's syntax for a pattern of the backtracking engine's syntax, or "" when the pattern
// must stay there. Exposed for the tests.
QString LinearPatternSyntax(const QString& translatedPattern);
