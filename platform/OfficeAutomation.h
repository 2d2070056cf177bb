#pragma once

#include <QImage>
#include <QString>
#include <memory>
#include <optional>

// The members of the word processor and the spreadsheet that the import converters use,
// named as the automation objects "Word.Application" and "Excel.Application" name them.
// Every member raises ScriptError with the office's description when it fails; the
// converters record failures and look at them only at their checkpoints.
//
// Two members differ from the desktop originals on purpose: a page and a used range are
// handed over as pictures instead of through the clipboard, so an import never destroys
// what the user had copied.

struct WordWebOptions {
    bool AllowPNG = false;
    bool RelyOnCSS = false;
    bool RelyOnVML = true;
    bool UseLongFileNames = false;
    // Pictures go into a folder beside the page ("<page>_files") instead of beside it.
    bool OrganizeInFolder = false;
};

// The document's pages as rendered, one picture each.
class WordPagePictures {
public:
    virtual ~WordPagePictures() = default;
    virtual int Count() const = 0;
    // `page` counts from 1.
    virtual QImage Picture(int page) const = 0;
};

class WordDocument {
public:
    static constexpr int FormatWebPage = 8;
    virtual ~WordDocument() = default;
    virtual WordWebOptions& WebOptions() = 0;
    // Writes the document in `fileFormat` (only FormatWebPage: the page and its pictures).
    virtual void SaveAs(const QString& fileName, int fileFormat) = 0;
    virtual std::unique_ptr<WordPagePictures> PagePictures() = 0;
    // `saveChanges` 0 or absent: the document is closed without saving.
    virtual void Close(std::optional<int> saveChanges = std::nullopt) = 0;
};

class WordApplication {
public:
    virtual ~WordApplication() = default;
    // `readOnly` must be true: documents are only ever read.
    virtual std::unique_ptr<WordDocument> DocumentsOpen(const QString& fileName, bool readOnly) = 0;
    virtual void Quit(std::optional<int> saveChanges = std::nullopt) = 0;
};

class ExcelRange {
public:
    virtual ~ExcelRange() = default;
    // The range as it prints, cropped to its content.
    virtual QImage CopyPicture() = 0;
};

class ExcelSheet {
public:
    virtual ~ExcelSheet() = default;
    virtual QString Name() const = 0;
    virtual std::unique_ptr<ExcelRange> UsedRange() = 0;
    // Charts and pictures placed on the sheet; a sheet that holds only a chart has no
    // cells and still is not empty.
    virtual int DrawingCount() const = 0;
    virtual void Activate() = 0;
};

class ExcelPublishObject {
public:
    virtual ~ExcelPublishObject() = default;
    virtual void Publish(bool create) = 0;
};

class ExcelWorkbook {
public:
    static constexpr int SourceSheet = 1;
    static constexpr int HtmlStatic = 0;
    virtual ~ExcelWorkbook() = default;
    // Sheets and Worksheets number the same list: chart sheets are sheets like the others.
    virtual int SheetsCount() const = 0;
    virtual std::unique_ptr<ExcelSheet> Worksheets(qint16 index) = 0;
    virtual std::unique_ptr<ExcelPublishObject>
    PublishObjectsAdd(int sourceType, const QString& fileName, const QString& sheet,
                      const QString& range, int htmlType, const QString& divId,
                      const QString& title) = 0;
    virtual void Close() = 0;
};

class ExcelApplication {
public:
    virtual ~ExcelApplication() = default;
    virtual void put_DisplayAlerts(bool value) = 0;
    virtual void put_Visible(bool value) = 0;
    virtual std::unique_ptr<ExcelWorkbook>
    WorkbooksOpen(const QString& fileName, std::optional<int> updateLinks, bool readOnly) = 0;
    virtual int WorkSheetFunctionCountA(ExcelRange& range) = 0;
    virtual void Quit() = 0;
};
