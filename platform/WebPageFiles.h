#pragma once

#include <QString>

// The office writes the pictures of a web page beside it ("<page>_html_<hex>.png").
// Upload runs look for them in a folder named after the page, as the desktop word
// processor writes it: these helpers give the exported page that shape.

// Removes the page, its picture folder and loose pictures of an earlier export, so a
// failed export can never hand back the previous document's page.
void RemoveWebPage(const QString& pagePath);
// Moves the pictures beside the page into "<page>_files/" as image001.png, image002.jpg
// ... in the order the page first refers to them, and points the page at the new names.
// `divId` non-empty: the body's content is wrapped in a division with that identifier.
// Raises ScriptError when the page cannot be read or written.
void FinishWebPage(const QString& pagePath, bool organizeInFolder, const QString& divId = {});
// "<folder>/<name>_files" for the page "<folder>/<name>.html".
QString WebPageFolder(const QString& pagePath);
