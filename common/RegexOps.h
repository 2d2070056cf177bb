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
