#pragma once

#include <QString>

// Reads one key of an option string "key:value;key:value". Keys compare lower-cased,
// values come back trimmed; the first item whose key matches wins; an item that does
// not split into exactly two pieces at ":" is ignored.
QString GetOption(const QString& options, const QString& key, const QString& defaultValue);

// A clean-up switch is on only when its value is exactly "1".
bool IsSwitchOn(const QString& options, const QString& key);
