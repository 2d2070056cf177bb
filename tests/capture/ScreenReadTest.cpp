// When the desktop cannot be read, capture says why instead of showing a black screen.
#include "capture/cCapturePublicCls.h"

#include <QPixmap>
#include <gtest/gtest.h>

TEST(ScreenRead, ABlackDesktopUnderWaylandOrNoPictureIsRefused) {
    const QByteArray session = qgetenv("XDG_SESSION_TYPE");
    QPixmap black(8, 8);
    black.fill(Qt::black);
    QPixmap desktop(8, 8);
    desktop.fill(Qt::black);
    {
        QImage image = desktop.toImage();
        image.setPixelColor(7, 7, QColor(1, 0, 0));
        desktop = QPixmap::fromImage(image);
    }

    qputenv("XDG_SESSION_TYPE", "wayland");
    EXPECT_TRUE(cCapturePublicCls::WhyPictureIsUnusable(black).contains("Wayland"));
    EXPECT_TRUE(cCapturePublicCls::WhyPictureIsUnusable(desktop).isEmpty());
    EXPECT_FALSE(cCapturePublicCls::WhyPictureIsUnusable(QPixmap()).isEmpty());

    // A black desktop on plain X11 is what the screen shows.
    qputenv("XDG_SESSION_TYPE", "x11");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    EXPECT_TRUE(cCapturePublicCls::WhyPictureIsUnusable(black).isEmpty());
    // The offscreen test platform has no X11 screen to read.
    EXPECT_TRUE(cCapturePublicCls::WhyScreenCannotBeRead().contains("X11"));

    qputenv("XDG_SESSION_TYPE", session);
    if (!wayland.isEmpty())
        qputenv("WAYLAND_DISPLAY", wayland);
}
