// Puts a picture on the clipboard through the components' own Clipboard object and keeps
// serving it; prints what this process reads back from its own clipboard, then "ready".
#include "platform/Clipboard.h"
#include "platform/ClipboardBackend.h"

#include <QGuiApplication>
#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QImage picture(16, 8, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 0));
    for (int x = 8; x < 16; ++x)
        for (int y = 0; y < 8; ++y)
            picture.setPixel(x, y, qRgb(0, 128, 0));
    Clipboard::SetData(picture);
    const bool bitmap = Clipboard::GetFormat(ClipboardFormat::Bitmap);
    const QImage back =
        Clipboard::GetData(ClipboardFormat::Bitmap).convertToFormat(QImage::Format_RGB32);
    std::printf("local=%d %d\nready\n", int(bitmap), int(back == picture));
    std::fflush(stdout);
    return app.exec();
}
