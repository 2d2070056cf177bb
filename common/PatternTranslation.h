#pragma once

#include <QString>

// Rewrites a pattern of the scripting runtime's dialect into PCRE2 syntax with the same
// meaning under the compile options that RegExp uses (ALT_BSUX, ALLOW_EMPTY_CLASS,
// MATCH_UNSET_BACKREF, DOLLAR_ENDONLY, DOTALL):
// - "." is anything but a line feed, as in the runtime;
// - an escaped letter that the runtime does not know stands for the letter itself;
// - "[" inside a class is a plain bracket, never the start of a POSIX class;
// - a quantifier on a look-around is dropped, so the assertion is tested once;
// - the idiom "any character", written ([^a]|a) or (?:[^a]|a), becomes a single class,
//   and a quantified capturing form keeps its last character without one backtracking
//   frame per character, so it scales to texts of many megabytes.
QString TranslatePattern(const QString& pattern);
