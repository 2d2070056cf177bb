#pragma once

#include <QString>
#include <optional>

// The runtime's number rules for text that page script passes in.

// The value of a text that the runtime counts as numeric: blanks around it, a sign,
// digits with an optional decimal point, an optional exponent, or the &H / &O forms.
std::optional<double> ParseNumeric(const QString& text);
// Rounds to the nearest whole number, halves to the even neighbour; ScriptError 6
// (overflow) outside the 32-bit signed range.
qint32 RoundToInt32(double value);
qint16 RoundToInt16(double value);
// The runtime's default text of a double: at most 15 significant digits, no trailing
// zeros, an exponent only for very large or small values, "." as decimal separator.
QString FormatNumber(double value);
