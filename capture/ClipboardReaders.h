#pragma once

#include <QString>

// The text of the first clipboard format with exactly this name, UTF-8 decoded with the
// block's trailing NULs; "" when it is absent or unreadable. Raises "Unable to Open
// Clipboard." when the clipboard cannot be opened.
QString GetClipboardFormatText(const QString& name);
// The "HTML Format" text: header lines with byte offsets, then the HTML.
QString GetClipboardHtml();
