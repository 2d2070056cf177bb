#include "conversion/PictureFile.h"

#include <QFile>
#include <QFileInfo>
#include <gif_lib.h>
#include <vector>

namespace {

bool SaveGif(const QImage& picture, const QString& path) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    const size_t pixels = size_t(width) * size_t(height);
    std::vector<GifByteType> red(pixels), green(pixels), blue(pixels), indices(pixels);
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const size_t at = size_t(y) * size_t(width) + size_t(x);
            red[at] = GifByteType(qRed(line[x]));
            green[at] = GifByteType(qGreen(line[x]));
            blue[at] = GifByteType(qBlue(line[x]));
        }
    }
    int colours = 256;
    GifColorType palette[256] = {};
    if (GifQuantizeBuffer(unsigned(width), unsigned(height), &colours, red.data(), green.data(),
                          blue.data(), indices.data(), palette) == GIF_ERROR)
        return false;
    ColorMapObject* map = GifMakeMapObject(256, palette);
    if (map == nullptr)
        return false;
    int error = 0;
    GifFileType* gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &error);
    bool written = gif != nullptr && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
                   EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; written && y < height; ++y)
        written = EGifPutLine(gif, indices.data() + size_t(y) * size_t(width), width) == GIF_OK;
    if (gif != nullptr && EGifCloseFile(gif, &error) == GIF_ERROR)
        written = false;
    GifFreeMapObject(map);
    if (!written)
        QFile::remove(path);
    return written;
}

} // namespace

bool SavePictureFile(const QImage& image, const QString& path) {
    if (image.isNull())
        return false;
    const QString type = QFileInfo(path).suffix().toLower();
    if (type == QLatin1String("gif"))
        return SaveGif(image, path);
    if (type == QLatin1String("jpg"))
        return image.convertToFormat(QImage::Format_RGB32).save(path, "JPEG", 100);
    return image.save(path, "PNG");
}
