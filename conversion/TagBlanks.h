#pragma once

#include <QString>

// Clean-up steps that repeat a replacement until nothing changes, computed in one pass.
// Repeating the replacement costs one pass over the whole text per blank run in one tag,
// which grows with the square of the text for hostile input; these give the same result
// in time proportional to the text.

// White space as the clean-ups' patterns read "\s": the ASCII blanks, the Unicode space
// separators, the line and paragraph separators and the byte-order mark.
bool IsPatternWhiteSpace(QChar c);

// Runs of two or more blanks inside tags become one space: the same as repeating
// (<\w[^>]*?)\s\s+([^>]*?>) → "$1 $2" until the text stays the same.
void CollapseBlankRunsInTags(QString& text);
