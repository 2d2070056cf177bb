#include "OfficeDocuments.h"

#include "platform/OfficeEngine.h"
#include "tests/support/TestSupport.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QJsonObject>

namespace {

const char* const OdfNamespaces =
    R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
    R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
    R"(xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" )"
    R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
    R"(xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" )"
    R"(xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" )"
    R"(xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" )"
    R"(xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.2" )";

QString FilterFor(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "docx")
        return "MS Word 2007 XML";
    if (suffix == "doc")
        return "MS Word 97";
    if (suffix == "xlsx")
        return "Calc MS Excel 2007 XML";
    return "MS Excel 97";
}

} // namespace

QByteArray SamplePicture(int size) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = size / 4; y < size * 3 / 4; ++y)
        for (int x = size / 4; x < size * 3 / 4; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QString ConvertWithOffice(const QString& source, const QString& target, const QString& filter,
                          const QString& password) {
    OfficeEngine::instance().request({{"op", "convert"},
                                      {"path", source},
                                      {"out", target},
                                      {"filter", filter},
                                      {"password", password}});
    return target;
}

QString MakeWordDocument(const ScratchFolder& dir, const QString& name, int pages, int pictures,
                         const QString& password) {
    QString body;
    for (int page = 1; page <= pages; ++page) {
        body += QString("<text:p%1>Page %2 of the sample document.</text:p>\n")
                    .arg(page > 1 ? " text:style-name=\"Break\"" : "")
                    .arg(page);
        if (page == 1) {
            for (int i = 0; i < pictures; ++i)
                body += QString("<text:p><draw:frame draw:name=\"Picture%1\" "
                                "text:anchor-type=\"as-char\" svg:width=\"3cm\" "
                                "svg:height=\"3cm\"><draw:image><office:binary-data>%2"
                                "</office:binary-data></draw:image></draw:frame></text:p>\n")
                            .arg(i + 1)
                            .arg(QString::fromLatin1(SamplePicture(48 + 16 * i).toBase64()));
        }
    }
    const QString text =
        QString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document %1"
                "office:mimetype=\"application/vnd.oasis.opendocument.text\">\n"
                "<office:automatic-styles><style:style style:name=\"Break\" "
                "style:family=\"paragraph\"><style:paragraph-properties "
                "fo:break-before=\"page\"/></style:style></office:automatic-styles>\n"
                "<office:body><office:text>\n%2</office:text></office:body></office:document>\n")
            .arg(OdfNamespaces, body);
    const QString source = dir.write(name + ".fodt", text.toUtf8());
    const QString target = dir.file(name);
    return ConvertWithOffice(source, target, FilterFor(target), password);
}

QString MakeWorkbook(const ScratchFolder& dir, const QString& name, const QStringList& sheets) {
    QString tables;
    int empty = 0;
    for (const QString& entry : sheets) {
        const bool hidden = entry.startsWith('~');
        const QString sheet = hidden ? entry.mid(1) : entry;
        if (sheet.isEmpty()) {
            tables += QString("<table:table table:name=\"Empty%1\"><table:table-row>"
                              "<table:table-cell/></table:table-row></table:table>\n")
                          .arg(++empty);
            continue;
        }
        tables += QString("<table:table table:name=\"%1\"%2><table:table-row>"
                          "<table:table-cell office:value-type=\"string\"><text:p>%1</text:p>"
                          "</table:table-cell></table:table-row><table:table-row>"
                          "<table:table-cell/><table:table-cell office:value-type=\"float\" "
                          "office:value=\"42\"><text:p>42</text:p></table:table-cell>"
                          "</table:table-row></table:table>\n")
                      .arg(sheet, hidden ? " table:style-name=\"Hidden\"" : "");
    }
    const QString text =
        QString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document %1"
                "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">\n"
                "<office:automatic-styles><style:style style:name=\"Hidden\" "
                "style:family=\"table\"><style:table-properties table:display=\"false\"/>"
                "</style:style></office:automatic-styles>\n"
                "<office:body><office:spreadsheet>\n%2</office:spreadsheet></office:body>"
                "</office:document>\n")
            .arg(OdfNamespaces, tables);
    const QString source = dir.write(name + ".fods", text.toUtf8());
    const QString target = dir.file(name);
    return ConvertWithOffice(source, target, FilterFor(target));
}

bool HasInk(const QString& picturePath) {
    const QImage image = QImage(picturePath).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qGray(line[x]) < 128)
                return true;
    }
    return false;
}

int ColouredPixels(const QString& picturePath) {
    const QImage image = QImage(picturePath).convertToFormat(QImage::Format_RGB32);
    int coloured = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (QColor(line[x]).hsvSaturation() > 100)
                ++coloured;
    }
    return coloured;
}
