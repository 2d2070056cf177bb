#pragma once

#include <QString>

// The text after the last "." of the path, lower-cased ("" without a "."); the dot may
// lie in a folder name.
QString GetExtension(const QString& path);
// The last piece of the path after "/".
QString GetFileName(const QString& path);
// The size through the large-file class; raises its ScriptError when the file cannot be
// opened for reading and writing.
qint64 GetFileSize(const QString& path);
// Bytes as KB, MB or GB with two decimals and grouped thousands in the user's locale.
QString FormatSize(qint64 size);
// Blocks of `blockBytes` needed for `size` bytes, the last one possibly short.
qint32 GetBlockCount(qint64 size, qint64 blockBytes);
