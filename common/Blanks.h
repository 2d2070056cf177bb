#pragma once

#include <QString>

// The runtime's Trim: removes leading and trailing spaces (U+0020) only; tabs and line
// breaks stay.
QString TrimBlanks(const QString& text);
