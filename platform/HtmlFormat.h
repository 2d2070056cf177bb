#pragma once

#include <QByteArray>

// The "HTML Format" block that office programs and the clean-ups expect, built from the
// text/html bytes that X11 producers offer (no producer there writes the header): the
// header lines with byte offsets into the UTF-8 block, then the HTML with fragment
// markers. `html` may be UTF-8 or UTF-16 with a byte-order mark; `sourceUrl` (UTF-8)
// becomes the "SourceURL" line when not empty.
QByteArray MakeHtmlFormat(const QByteArray& html, const QByteArray& sourceUrl);

// The source address from Firefox's text/x-moz-url-priv: UTF-16LE, first line only.
QByteArray SourceUrlFromMozUrl(const QByteArray& bytes);
