#pragma once

#include <QString>

// The four regular-expression operations every clean-up is built from: always
// case-insensitive and global, never multi-line.
QString RegexReplace(const QString& text, const QString& pattern, const QString& replaceTemplate);
QString RegexReplaceUntilStable(const QString& text, const QString& pattern,
                                const QString& replaceTemplate);
// Group `index` (0 = first parenthesised group) of the first match, or "".
QString RegexSubMatch(const QString& text, const QString& pattern, qint32 index);
bool RegexTest(const QString& pattern, const QString& text);

// The same replacements applied to `text` itself. The replaced text's memory is kept for
// the thread's next replacement, so a pipeline of passes over a text of many megabytes
// reuses two buffers instead of mapping fresh memory for every pass; the pipeline ends
// with a RegexBufferScope to hand the memory back.
void RegexReplaceInPlace(QString& text, const QString& pattern, const QString& replaceTemplate);
void RegexReplaceUntilStableInPlace(QString& text, const QString& pattern,
                                    const QString& replaceTemplate);

// Frees the thread's spare replacement buffer when it goes out of scope.
class RegexBufferScope {
public:
    RegexBufferScope() = default;
    ~RegexBufferScope();
    RegexBufferScope(const RegexBufferScope&) = delete;
    RegexBufferScope& operator=(const RegexBufferScope&) = delete;
};
