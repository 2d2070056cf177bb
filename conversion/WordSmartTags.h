#pragma once

#include <QString>

// Smart-tag elements ("<st1:place ...>Paris</st1:place>") give way to their content.
// The same replacement as the pattern <(st[0-9]+:\w+)[^>]*?>((?:[^a]|a)+?)</\1> with
// "$2" (case-insensitive, global), found by a scan that takes time proportional to the
// text: the back-reference to the element name rules out the linear-time engine, and
// the backtracking one rescans the rest of the text for every opening tag left without
// its closing tag.
void UnwrapSmartTags(QString& text);
