#pragma once

#include <QPixmap>
#include <QString>
#include <qwindowdefs.h>

// Copies pixels of the screen into a picture. The capture flow takes the whole desktop
// with it before the region overlay is shown.
class cCapturePublicCls {
public:
    // The rectangle (LeftSrc, TopSrc, WidthSrc x HeightSrc) of window `hWndSrc` (0: the
    // whole desktop). A width or height of 0 gives a picture without pixels.
    static QPixmap CaptureWindow(WId hWndSrc, int LeftSrc, int TopSrc, int WidthSrc, int HeightSrc);
    // Size of the desktop in pixels (all screens together).
    static QSize DesktopSize();
    // Empty when the screen can be read; otherwise why not, for the host's log. A session
    // whose screen this process cannot see would otherwise give a black picture.
    static QString WhyScreenCannotBeRead();
    // Empty when `picture` holds the screen; otherwise why not. Under a Wayland session an
    // X11 client may be handed a black picture instead of the desktop.
    static QString WhyPictureIsUnusable(const QPixmap& picture);
};
