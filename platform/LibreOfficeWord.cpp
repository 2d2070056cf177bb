#include "platform/LibreOfficeAutomation.h"

#include "platform/OfficeEngine.h"
#include "platform/PdfPages.h"
#include "platform/WebPageFiles.h"

#include "common/ScriptError.h"

#include <QJsonObject>
#include <QTemporaryDir>

namespace {

constexpr qint32 AutomationError = 440;

class PdfPagePictures : public WordPagePictures {
public:
    PdfPagePictures(std::unique_ptr<QTemporaryDir> folder, const QString& pdf)
        : m_folder(std::move(folder)), m_pages(pdf) {}
    int Count() const override { return m_pages.count(); }
    QImage Picture(int page) const override { return m_pages.render(page); }

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    PdfPages m_pages;
};

class LibreOfficeDocument : public WordDocument {
public:
    explicit LibreOfficeDocument(int handle) : m_handle(handle) {}
    ~LibreOfficeDocument() override {
        try {
            Close(std::nullopt);
        } catch (const ScriptError&) {
            // The engine was stopped; the document went with it.
        }
    }

    WordWebOptions& WebOptions() override { return m_webOptions; }

    void SaveAs(const QString& fileName, int fileFormat) override {
        if (fileFormat != FormatWebPage)
            throw ScriptError(AutomationError, QStringLiteral("This file format is not offered."),
                              QStringLiteral("Office"));
        RemoveWebPage(fileName);
        OfficeEngine::instance().request({{"op", "store"},
                                          {"doc", m_handle},
                                          {"filter", "HTML (StarWriter)"},
                                          {"path", fileName}});
        FinishWebPage(fileName, m_webOptions.OrganizeInFolder);
    }

    std::unique_ptr<WordPagePictures> PagePictures() override {
        auto folder = std::make_unique<QTemporaryDir>();
        if (!folder->isValid())
            throw ScriptError(ScriptErrorNumber::PathFileAccess,
                              QStringLiteral("No folder for the page pictures."));
        const QString pdf = folder->filePath(QStringLiteral("pages.pdf"));
        OfficeEngine::instance().request(
            {{"op", "store"}, {"doc", m_handle}, {"filter", "writer_pdf_Export"}, {"path", pdf}});
        return std::make_unique<PdfPagePictures>(std::move(folder), pdf);
    }

    void Close(std::optional<int>) override {
        if (m_handle == 0)
            return;
        const int handle = std::exchange(m_handle, 0);
        if (OfficeEngine::instance().isRunning())
            OfficeEngine::instance().request({{"op", "close"}, {"doc", handle}});
    }

private:
    int m_handle;
    WordWebOptions m_webOptions;
};

class LibreOfficeWordApplication : public WordApplication {
public:
    std::unique_ptr<WordDocument> DocumentsOpen(const QString& fileName, bool) override {
        // Always read-only: an import never writes to the user's document.
        const QJsonObject answer = OfficeEngine::instance().request(
            {{"op", "open"}, {"kind", "word"}, {"path", fileName}});
        return std::make_unique<LibreOfficeDocument>(answer.value("doc").toInt());
    }
    // The engine stays for the next import; closing the document is all that ends.
    void Quit(std::optional<int>) override {}
};

} // namespace

std::unique_ptr<WordApplication> CreateLibreOfficeWord() {
    return std::make_unique<LibreOfficeWordApplication>();
}
