#pragma once

#include <QString>

// Extension filter: `list` holds extensions without dots separated by "|"; blanks around
// an entry and letter case do not matter.
bool HasAllowedExtension(const QString& path, const QString& list);
// True for an existing ordinary file: not a folder, not hidden (a dot name), not a
// device, socket or link to something else than a regular file. Never fails.
bool FileExists(const QString& path);
bool IsAllowedFile(const QString& path, const QString& list);
// The whole file decoded as UTF-8 (invalid sequences become U+FFFD). Raises ScriptError.
QString ReadFileText(const QString& path);
// Removes the folder and everything below it without ever following a symbolic link
// (a link is removed, its target left alone). Lets pending events run before it starts
// and after each entry. Failures are skipped; the call always returns.
void DeleteFolderTree(const QString& folder);
// The product's temporary folder, private to the user (mode 0700), wiped and re-created;
// the returned path ends in "/". Raises ScriptError when the folder cannot be made safe.
// With `subFolder` (a plain name) only that folder inside it is wiped and re-created and
// returned, so pages that each have their own never remove each other's files.
QString PrepareTempFolder(const QString& subFolder = QString());
// Where PrepareTempFolder puts the folder, without touching the disk.
QString TempFolderPath();
