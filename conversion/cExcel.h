#pragma once

#include <QString>
#include <functional>

// Turns the HTML that Excel writes for a worksheet into a style sheet and a body for the
// editor; every table of one call gets an identifier made from the time of day, and the
// style sheet's cell rules are scoped to it. One object per call.
class cExcel {
public:
    // `errorText` is the page's Error field; the clean-up clears it when it starts.
    // `clock` gives the 17-digit timestamp behind the table identifier (tests fix it).
    explicit cExcel(QString& errorText, std::function<QString()> clock = {});

    // `s_DoFlag` ("paste" or "import") is accepted and not used.
    void OptimizeHTML(const QString& s_DoFlag, const QString& s_HTML, const QString& s_Opt,
                      QString& s_RetStyle, QString& s_RetBody);

    // Office import (ExcelImport.cpp). The page's TempFolder, ending in "/", receives the
    // published pages and the sheet pictures. Sheets are numbered in workbook order from
    // 1, chart sheets included, in the list, in Worksheets and in n_SheetIndex alike.
    void setTempFolder(const QString& folder) { m_tempFolder = folder; }
    // The sheet names joined by CR LF.
    bool GetExcelWorkSheetName(const QString& s_File, QString& s_SheetName);
    // n_SheetIndex 0: every sheet that is not empty, one style sheet and body each.
    bool Excel2HTML(const QString& s_File, qint16 n_SheetIndex, const QString& s_Opt,
                    QString& s_RetStyle, QString& s_RetBody);
    bool Excel2Images(const QString& s_File, qint16 n_SheetIndex, const QString& s_Opt,
                      QString& s_RetBody);

private:
    QString& m_errorText;
    QString m_tempFolder;
    std::function<QString()> m_clock;
};
