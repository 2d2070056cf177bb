#include "platform/LibreOfficeAutomation.h"

#include "platform/OfficeEngine.h"
#include "platform/PdfPages.h"
#include "platform/WebPageFiles.h"

#include "common/ScriptError.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QTemporaryDir>

namespace {

constexpr qint32 SubscriptOutOfRange = 9;

struct SheetFacts {
    QString name;
    int contentCells = 0;
    int drawings = 0;
};

// What the workbook's sheets hold is asked for once at open; the document is read-only,
// so it cannot change while it is open.
struct OpenWorkbook {
    int handle = 0;
    QList<SheetFacts> sheets;
};

class LibreOfficeRange : public ExcelRange {
public:
    LibreOfficeRange(const OpenWorkbook& book, int index) : m_book(book), m_index(index) {}
    int contentCells() const { return m_book.sheets.at(m_index - 1).contentCells; }

    QImage CopyPicture() override {
        QTemporaryDir folder;
        if (!folder.isValid())
            throw ScriptError(ScriptErrorNumber::PathFileAccess,
                              QStringLiteral("No folder for the sheet picture."));
        const QString pdf = folder.filePath(QStringLiteral("range.pdf"));
        OfficeEngine::instance().request(
            {{"op", "sheet_pdf"}, {"doc", m_book.handle}, {"index", m_index}, {"path", pdf}});
        const PdfPages pages(pdf);
        if (pages.count() < 1)
            return {};
        return CropWhiteMargins(pages.render(1));
    }

private:
    const OpenWorkbook& m_book;
    int m_index;
};

class LibreOfficeSheet : public ExcelSheet {
public:
    LibreOfficeSheet(const OpenWorkbook& book, int index) : m_book(book), m_index(index) {}
    QString Name() const override { return m_book.sheets.at(m_index - 1).name; }
    std::unique_ptr<ExcelRange> UsedRange() override {
        return std::make_unique<LibreOfficeRange>(m_book, m_index);
    }
    int DrawingCount() const override { return m_book.sheets.at(m_index - 1).drawings; }
    // A hidden office has no active sheet to show; the copy takes the sheet it names.
    void Activate() override {}

private:
    const OpenWorkbook& m_book;
    int m_index;
};

class LibreOfficePublishObject : public ExcelPublishObject {
public:
    LibreOfficePublishObject(const OpenWorkbook& book, int index, QString fileName, QString divId)
        : m_book(book), m_index(index), m_fileName(std::move(fileName)), m_divId(std::move(divId)) {
    }

    void Publish(bool create) override {
        if (!create)
            return;
        RemoveWebPage(m_fileName);
        OfficeEngine::instance().request({{"op", "sheet_html"},
                                          {"doc", m_book.handle},
                                          {"index", m_index},
                                          {"path", m_fileName}});
        FinishWebPage(m_fileName, true, m_divId);
    }

private:
    const OpenWorkbook& m_book;
    int m_index;
    QString m_fileName;
    QString m_divId;
};

class LibreOfficeWorkbook : public ExcelWorkbook {
public:
    explicit LibreOfficeWorkbook(OpenWorkbook book) : m_book(std::move(book)) {}
    ~LibreOfficeWorkbook() override {
        try {
            Close();
        } catch (const ScriptError&) {
            // The engine was stopped; the workbook went with it.
        }
    }

    void readSheets() {
        const QJsonArray sheets = OfficeEngine::instance()
                                      .request({{"op", "sheets"}, {"doc", m_book.handle}})
                                      .value("sheets")
                                      .toArray();
        for (const QJsonValue& sheet : sheets) {
            const QJsonObject facts = sheet.toObject();
            m_book.sheets.append({facts.value("name").toString(), facts.value("counta").toInt(),
                                  facts.value("drawings").toInt()});
        }
    }

    int SheetsCount() const override { return int(m_book.sheets.size()); }

    std::unique_ptr<ExcelSheet> Worksheets(qint16 index) override {
        if (index < 1 || index > m_book.sheets.size())
            throw ScriptError(SubscriptOutOfRange, QStringLiteral("Subscript out of range"),
                              QStringLiteral("Office"));
        return std::make_unique<LibreOfficeSheet>(m_book, index);
    }

    std::unique_ptr<ExcelPublishObject> PublishObjectsAdd(int sourceType, const QString& fileName,
                                                          const QString& sheet,
                                                          const QString& range, int htmlType,
                                                          const QString& divId,
                                                          const QString&) override {
        if (sourceType != SourceSheet || !range.isEmpty() || htmlType != HtmlStatic)
            throw ScriptError(ScriptErrorNumber::InvalidCall,
                              QStringLiteral("Only whole sheets are published, as static pages."),
                              QStringLiteral("Office"));
        for (int i = 0; i < m_book.sheets.size(); ++i) {
            if (m_book.sheets.at(i).name == sheet)
                return std::make_unique<LibreOfficePublishObject>(m_book, i + 1, fileName, divId);
        }
        throw ScriptError(SubscriptOutOfRange, QStringLiteral("Subscript out of range"),
                          QStringLiteral("Office"));
    }

    void Close() override {
        if (m_book.handle == 0)
            return;
        const int handle = std::exchange(m_book.handle, 0);
        if (OfficeEngine::instance().isRunning())
            OfficeEngine::instance().request({{"op", "close"}, {"doc", handle}});
    }

private:
    OpenWorkbook m_book;
};

class LibreOfficeExcelApplication : public ExcelApplication {
public:
    // The hidden office never shows a dialog or a window.
    void put_DisplayAlerts(bool) override {}
    void put_Visible(bool) override {}

    std::unique_ptr<ExcelWorkbook> WorkbooksOpen(const QString& fileName, std::optional<int>,
                                                 bool) override {
        OpenWorkbook book;
        book.handle = OfficeEngine::instance()
                          .request({{"op", "open"}, {"kind", "excel"}, {"path", fileName}})
                          .value("doc")
                          .toInt();
        // Owned from here on, so a failure below still closes the document.
        auto workbook = std::make_unique<LibreOfficeWorkbook>(book);
        workbook->readSheets();
        return workbook;
    }

    int WorkSheetFunctionCountA(ExcelRange& range) override {
        return dynamic_cast<LibreOfficeRange&>(range).contentCells();
    }

    void Quit() override {}
};

} // namespace

std::unique_ptr<ExcelApplication> CreateLibreOfficeExcel() {
    return std::make_unique<LibreOfficeExcelApplication>();
}
