#include "capture/cCapturePublicCls.h"

#include <QGuiApplication>
#include <QScreen>

QPixmap cCapturePublicCls::CaptureWindow(WId hWndSrc, int LeftSrc, int TopSrc, int WidthSrc,
                                         int HeightSrc) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || WidthSrc <= 0 || HeightSrc <= 0)
        return {};
    return screen->grabWindow(hWndSrc, LeftSrc, TopSrc, WidthSrc, HeightSrc);
}

QSize cCapturePublicCls::DesktopSize() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->virtualGeometry().size() : QSize();
}

QString cCapturePublicCls::WhyScreenCannotBeRead() {
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb"))
        return QStringLiteral("screen capture needs an X11 display (running on \"%1\")")
            .arg(platform);
    if (QGuiApplication::primaryScreen() == nullptr)
        return QStringLiteral("screen capture found no screen");
    return {};
}

namespace {

bool IsWaylandSession() {
    return qgetenv("XDG_SESSION_TYPE") == "wayland" ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

bool IsAllBlack(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if ((row[x] & 0xffffff) != 0)
                return false;
        }
    }
    return true;
}

} // namespace

QString cCapturePublicCls::WhyPictureIsUnusable(const QPixmap& picture) {
    if (picture.isNull())
        return QStringLiteral("screen capture could not read the desktop");
    if (IsWaylandSession() && IsAllBlack(picture.toImage()))
        return QStringLiteral("screen capture got a black desktop: this Wayland session does not "
                              "let X11 programs read the screen");
    return {};
}
