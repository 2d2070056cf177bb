#include "capture/cSaveBitmapAs.h"

#include "capture/GifWriter.h"

#include <QImageWriter>
#include <QSaveFile>

bool cSaveBitmapAs::SavePictureFromHDC(const QImage& hBitmap, const QString& sFileName) const {
    const QString extension = sFileName.right(4).toLower();
    QByteArray format;
    if (extension == QLatin1String(".png"))
        format = "png";
    else if (extension == QLatin1String(".gif"))
        format = "gif";
    else if (extension == QLatin1String(".jpg"))
        format = "jpeg";
    else if (extension == QLatin1String(".tif"))
        format = "tiff";
    else if (extension == QLatin1String(".bmp"))
        format = "bmp";
    else
        return false;
    if (hBitmap.isNull())
        return false;

    QSaveFile file(sFileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (format == "gif") {
        const QByteArray bytes = EncodeGif(hBitmap);
        if (bytes.isEmpty() || file.write(bytes) != bytes.size())
            return false;
    } else {
        QImageWriter writer(&file, format);
        if (format == "jpeg")
            writer.setQuality(100);
        // The picture box is opaque; keep the files without an alpha channel.
        if (!writer.write(hBitmap.convertToFormat(QImage::Format_RGB32)))
            return false;
    }
    return file.commit();
}
