#include "platform/PdfPages.h"

#include "common/ScriptError.h"

#include <poppler-qt6.h>

PdfPages::PdfPages(const QString& path) : m_document(Poppler::Document::load(path)) {
    if (!m_document || m_document->isLocked())
        throw ScriptError(440, QStringLiteral("The pages cannot be read."),
                          QStringLiteral("Office"));
    m_document->setRenderHint(Poppler::Document::Antialiasing);
    m_document->setRenderHint(Poppler::Document::TextAntialiasing);
    m_document->setPaperColor(Qt::white);
}

PdfPages::~PdfPages() = default;

int PdfPages::count() const {
    return m_document->numPages();
}

QImage PdfPages::render(int page, double resolution) const {
    const std::unique_ptr<Poppler::Page> pdfPage = m_document->page(page - 1);
    if (!pdfPage)
        return {};
    return pdfPage->renderToImage(resolution, resolution).convertToFormat(QImage::Format_RGB32);
}

namespace {

bool rowIsWhite(const QImage& image, int y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
        if ((line[x] & 0xffffff) != 0xffffff)
            return false;
    }
    return true;
}

bool columnIsWhite(const QImage& image, int x, int top, int bottom) {
    for (int y = top; y <= bottom; ++y) {
        if ((image.pixel(x, y) & 0xffffff) != 0xffffff)
            return false;
    }
    return true;
}

} // namespace

QImage CropWhiteMargins(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    int top = 0;
    int bottom = image.height() - 1;
    while (top <= bottom && rowIsWhite(image, top))
        ++top;
    if (top > bottom)
        return image;
    while (rowIsWhite(image, bottom))
        --bottom;
    int left = 0;
    int right = image.width() - 1;
    while (columnIsWhite(image, left, top, bottom))
        ++left;
    while (columnIsWhite(image, right, top, bottom))
        --right;
    // A little white around the content, as the range shows on screen.
    constexpr int margin = 6;
    const QRect content = QRect(QPoint(left, top), QPoint(right, bottom))
                              .adjusted(-margin, -margin, margin, margin)
                              .intersected(image.rect());
    return image.copy(content);
}
