#pragma once

#include <QImage>
#include <QString>
#include <memory>

namespace Poppler {
class Document;
}

// Pages of a PDF as pictures on white, at a resolution that keeps body text readable
// (150 dots per inch: an A4 page is 1240 by 1754 pixels).
class PdfPages {
public:
    static constexpr double Resolution = 150.0;

    // Raises ScriptError when the file is no PDF that can be read.
    explicit PdfPages(const QString& path);
    ~PdfPages();

    int count() const;
    // `page` counts from 1; a null image when it cannot be rendered.
    QImage render(int page, double resolution = Resolution) const;

private:
    std::unique_ptr<Poppler::Document> m_document;
};

// The picture without the white margins around its content (the whole picture when it
// is white all over).
QImage CropWhiteMargins(const QImage& image);
