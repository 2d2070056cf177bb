#include "capture/GifWriter.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <memory>
#include <vector>

namespace {

struct AttrDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
};
struct ImageDeleter {
    void operator()(liq_image* p) const { liq_image_destroy(p); }
};
struct ResultDeleter {
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};

int AppendToBuffer(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

} // namespace

QByteArray EncodeGif(const QImage& picture) {
    if (picture.isNull() || picture.width() > 65535 || picture.height() > 65535)
        return {};
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    const int width = rgba.width();
    const int height = rgba.height();

    std::unique_ptr<liq_attr, AttrDeleter> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), 256) != LIQ_OK)
        return {};
    // The quantizer only reads the rows; it takes them as non-const pointers.
    std::vector<void*> rows;
    rows.reserve(size_t(height));
    for (int y = 0; y < height; ++y)
        rows.push_back(const_cast<uchar*>(rgba.constScanLine(y)));
    std::unique_ptr<liq_image, ImageDeleter> image(
        liq_image_create_rgba_rows(attr.get(), rows.data(), width, height, 0));
    if (!image)
        return {};
    liq_result* quantized = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &quantized) != LIQ_OK)
        return {};
    std::unique_ptr<liq_result, ResultDeleter> result(quantized);
    liq_set_dithering_level(result.get(), 1.0f);
    std::vector<unsigned char> indices(size_t(width) * size_t(height));
    if (liq_write_remapped_image(result.get(), image.get(), indices.data(), indices.size()) !=
        LIQ_OK)
        return {};
    const liq_palette* palette = liq_get_palette(result.get());

    // GIF colour tables have a power-of-two size of at least two entries.
    int tableSize = 2;
    while (tableSize < int(palette->count))
        tableSize *= 2;
    std::vector<GifColorType> colours(size_t(tableSize), GifColorType{0, 0, 0});
    for (unsigned int i = 0; i < palette->count; ++i)
        colours[i] =
            GifColorType{palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};

    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, AppendToBuffer, &error);
    if (gif == nullptr)
        return {};
    ColorMapObject* map = GifMakeMapObject(tableSize, colours.data());
    bool ok = map != nullptr && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < height; ++y)
        ok = EGifPutLine(gif, indices.data() + size_t(y) * size_t(width), width) == GIF_OK;
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK)
        ok = false;
    return ok ? bytes : QByteArray();
}
