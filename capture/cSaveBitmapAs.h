#pragma once

#include <QImage>
#include <QString>

// Writes a bitmap to an image file whose format follows the last four characters of the
// name: ".png", ".gif", ".jpg" (quality 100), ".tif" or ".bmp", letter case ignored. One
// object may save any number of pictures.
class cSaveBitmapAs {
public:
    // `hBitmap` is the picture box's image; a null image is an invalid bitmap. True when
    // the whole file was written; a failed write leaves no file behind.
    bool SavePictureFromHDC(const QImage& hBitmap, const QString& sFileName) const;
};
