#include "capture/cSaveBitmapAs.h"
#include "conversion/AutomationSteps.h"
#include "conversion/cExcel.h"

#include "common/Files.h"
#include "common/TextHelpers.h"
#include "platform/ObjectFactory.h"

#include <QCoreApplication>

namespace {

const QString ExcelExtensions = QStringLiteral("xls|xlsx");

enum class Caller { SheetNames, Html, Images };

// Excel started and the workbook open, or false with the checkpoint's text in the error
// text and nothing left open.
bool OpenWorkbook(Caller caller, const QString& s_File, StepFailures& failures, QString& errorText,
                  std::unique_ptr<ExcelApplication>& excel, std::unique_ptr<ExcelWorkbook>& book) {
    excel = failures.run([] { return ObjectFactory::instance().CreateExcelApplication(); });
    if (excel && caller != Caller::SheetNames) {
        failures.run([&] { excel->put_DisplayAlerts(false); });
        QCoreApplication::processEvents();
    }
    if (failures.failed() || !excel) {
        errorText = QStringLiteral("CreateObject:") + failures.description();
        excel.reset();
        return false;
    }
    const std::optional<int> updateLinks =
        caller == Caller::SheetNames ? std::nullopt : std::optional<int>(1);
    book = failures.run([&] { return excel->WorkbooksOpen(s_File, updateLinks, true); });
    if (caller != Caller::SheetNames)
        QCoreApplication::processEvents();
    if (failures.failed() || !book) {
        errorText = QStringLiteral("Open:") + failures.description();
        failures.run([&] { excel->Quit(); });
        book.reset();
        excel.reset();
        return false;
    }
    failures.run([&] { excel->put_Visible(false); });
    if (caller == Caller::Images && failures.failed()) {
        errorText = QStringLiteral("GDIPlus:") + failures.description();
        failures.run([&] { book->Close(); });
        failures.run([&] { excel->Quit(); });
        book.reset();
        excel.reset();
        return false;
    }
    return true;
}

void CloseAndQuit(StepFailures& failures, std::unique_ptr<ExcelApplication>& excel,
                  std::unique_ptr<ExcelWorkbook>& book) {
    failures.run([&] { book->Close(); });
    failures.run([&] { excel->Quit(); });
    book.reset();
    excel.reset();
}

// Empty for the every-sheet forms: no cell holds anything and nothing (a chart, a
// picture) is placed on it. A chart sheet has no cells and is kept.
bool IsEmptySheet(ExcelApplication& excel, ExcelSheet& sheet) {
    const std::unique_ptr<ExcelRange> used = sheet.UsedRange();
    return excel.WorkSheetFunctionCountA(*used) == 0 && sheet.DrawingCount() == 0;
}

} // namespace

bool cExcel::GetExcelWorkSheetName(const QString& s_File, QString& s_SheetName) {
    QCoreApplication::processEvents();
    m_errorText.clear();
    s_SheetName.clear();
    if (!IsAllowedFile(s_File, ExcelExtensions)) {
        m_errorText = QStringLiteral("InvalidFile:xls|xlsx");
        return false;
    }
    StepFailures failures;
    std::unique_ptr<ExcelApplication> excel;
    std::unique_ptr<ExcelWorkbook> book;
    if (!OpenWorkbook(Caller::SheetNames, s_File, failures, m_errorText, excel, book))
        return false;
    QString list;
    const int count = failures.run([&] { return book->SheetsCount(); });
    for (int i = 1; i <= count; ++i) {
        if (!list.isEmpty())
            list += QStringLiteral("\r\n");
        failures.run([&] { list += book->Worksheets(qint16(i))->Name(); });
    }
    CloseAndQuit(failures, excel, book);
    s_SheetName = list;
    return true;
}

bool cExcel::Excel2HTML(const QString& s_File, qint16 n_SheetIndex, const QString& s_Opt,
                        QString& s_RetStyle, QString& s_RetBody) {
    QCoreApplication::processEvents();
    m_errorText.clear();
    s_RetStyle.clear();
    s_RetBody.clear();
    if (!IsAllowedFile(s_File, ExcelExtensions)) {
        m_errorText = QStringLiteral("InvalidFile:xls|xlsx");
        return false;
    }
    StepFailures failures;
    std::unique_ptr<ExcelApplication> excel;
    std::unique_ptr<ExcelWorkbook> book;
    if (!OpenWorkbook(Caller::Html, s_File, failures, m_errorText, excel, book))
        return false;

    // Publishes sheet `index` and cleans its page; false with the error text set.
    const auto publish = [&](ExcelSheet& sheet, int index, QString& style, QString& body) {
        const QString page = m_tempFolder + QStringLiteral("Tessary_Temp_Excel_Sheet") +
                             QString::number(index) + QStringLiteral(".html");
        const QString divId = QStringLiteral("Tessary_Excel_Sheet_Div") + QString::number(index);
        failures.run([&] {
            book->PublishObjectsAdd(ExcelWorkbook::SourceSheet, page, sheet.Name(), QString(),
                                    ExcelWorkbook::HtmlStatic, divId, QString())
                ->Publish(true);
        });
        QCoreApplication::processEvents();
        if (failures.failed()) {
            m_errorText = QStringLiteral("SaveAs:") + failures.description();
            return false;
        }
        QString text;
        failures.run([&] { text = ReadFileText(page); });
        if (failures.failed()) {
            m_errorText = QStringLiteral("ReadFile:") + failures.description();
            return false;
        }
        OptimizeHTML(QStringLiteral("import"), text, s_Opt, style, body);
        return true;
    };

    if (n_SheetIndex != 0) {
        std::unique_ptr<ExcelSheet> sheet =
            failures.run([&] { return book->Worksheets(n_SheetIndex); });
        QCoreApplication::processEvents();
        if (failures.failed() || !sheet) {
            m_errorText = QStringLiteral("SetSheet:") + failures.description();
            CloseAndQuit(failures, excel, book);
            return false;
        }
        QString style;
        QString body;
        const bool published = publish(*sheet, n_SheetIndex, style, body);
        if (published) {
            s_RetStyle = style;
            s_RetBody = body;
        }
        sheet.reset();
        CloseAndQuit(failures, excel, book);
        return published;
    }

    const int count = failures.run([&] { return book->SheetsCount(); });
    for (int i = 1; i <= count; ++i) {
        std::unique_ptr<ExcelSheet> sheet =
            failures.run([&] { return book->Worksheets(qint16(i)); });
        if (!sheet || failures.run([&] { return IsEmptySheet(*excel, *sheet); }))
            continue;
        QString style;
        QString body;
        if (!publish(*sheet, i, style, body)) {
            sheet.reset();
            CloseAndQuit(failures, excel, book);
            return false;
        }
        s_RetStyle += style;
        s_RetBody += body;
    }
    CloseAndQuit(failures, excel, book);
    return true;
}

bool cExcel::Excel2Images(const QString& s_File, qint16 n_SheetIndex, const QString& s_Opt,
                          QString& s_RetBody) {
    QCoreApplication::processEvents();
    m_errorText.clear();
    s_RetBody.clear();
    if (!IsAllowedFile(s_File, ExcelExtensions)) {
        m_errorText = QStringLiteral("InvalidFile:xls|xlsx");
        return false;
    }
    const QString type = PictureTypeOption(s_Opt);
    StepFailures failures;
    std::unique_ptr<ExcelApplication> excel;
    std::unique_ptr<ExcelWorkbook> book;
    if (!OpenWorkbook(Caller::Images, s_File, failures, m_errorText, excel, book))
        return false;

    const QString timestamp = m_clock();
    const int count = failures.run([&] { return book->SheetsCount(); });
    for (int i = 1; i <= count; ++i) {
        QCoreApplication::processEvents();
        if (n_SheetIndex != 0 && n_SheetIndex != i)
            continue;
        std::unique_ptr<ExcelSheet> sheet =
            failures.run([&] { return book->Worksheets(qint16(i)); });
        // A sheet that fails anywhere here simply has no picture.
        if (!sheet || failures.run([&] { return IsEmptySheet(*excel, *sheet); }))
            continue;
        const QImage picture = failures.run([&] {
            sheet->Activate();
            return sheet->UsedRange()->CopyPicture();
        });
        // Three digits, more only for a workbook of 1000 sheets or more (never overwrite).
        const QString path =
            m_tempFolder + timestamp + ZeroPad(i, 3, count) + QLatin1Char('.') + type;
        if (cSaveBitmapAs().SavePictureFromHDC(picture, path))
            s_RetBody += PictureLine(path);
    }
    CloseAndQuit(failures, excel, book);
    return true;
}
