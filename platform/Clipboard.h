#pragma once

#include <QImage>
#include <QString>

// The runtime's clipboard object as the conversions use it: is a format there, the
// picture of a format, plain text, and putting a picture on the clipboard. Every call
// takes a fresh look at the clipboard. Raises ScriptError when the clipboard cannot be
// opened or there is no X11 display.
class Clipboard {
public:
    static bool GetFormat(qint32 format);
    // The bitmap of the clipboard for the bitmap formats; a null image for any other
    // format (metafiles need the office engine to become pictures).
    static QImage GetData(qint32 format);
    static QString GetText();
    // Makes this process the owner of a picture offered as image/png and image/bmp;
    // needs the X11 desktop (the application runs on the xcb platform).
    static void SetData(const QImage& picture);
};
