#pragma once

#include <QColor>
#include <QImage>

// A picture in which every pixel tells where it is, so any captured region can be checked
// against the place it came from.
inline QRgb ScreenPatternPixel(int x, int y) {
    return qRgb(x & 0xff, y & 0xff, ((x >> 8) << 4) | (y >> 8));
}

inline QImage ScreenPattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = ScreenPatternPixel(x, y);
    }
    return image;
}
