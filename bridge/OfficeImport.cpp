#include "bridge/CallState.h"
#include "bridge/Tessarex.h"
#include "bridge/UploadRun.h"
#include "common/Options.h"
#include "conversion/cExcel.h"
#include "conversion/cWord.h"

QString Tessarex::GetExcelWorkSheetName(const QString& s_File) {
    CallState& s = state();
    cExcel excel(s.Error);
    excel.setTempFolder(s.TempFolder);
    QString names;
    return excel.GetExcelWorkSheetName(s_File, names) ? names : QString();
}

void Tessarex::ImportExcelSheet(const QString& s_File, qint16 n_SheetIndex, const QString& s_Opt) {
    CallState& s = state();
    const QString mode = GetOption(s_Opt, QStringLiteral("mode"), QString());
    cExcel excel(s.Error);
    excel.setTempFolder(s.TempFolder);
    if (mode != QLatin1String("img")) {
        if (excel.Excel2HTML(s_File, n_SheetIndex, s_Opt, s.Style, s.Body))
            StartRun(s, QStringLiteral("excel"));
        return;
    }
    s.Style.clear();
    if (excel.Excel2Images(s_File, n_SheetIndex, s_Opt, s.Body))
        StartRun(s, QStringLiteral("wordimage"));
}

void Tessarex::ImportWord(const QString& s_File, const QString& s_Opt) {
    CallState& s = state();
    const QString mode = GetOption(s_Opt, QStringLiteral("mode"), QString());
    cWord word(s.Error);
    word.setTempFolder(s.TempFolder);
    if (mode == QLatin1String("html")) {
        QString html;
        if (!word.Word2HTML(s_File, html))
            return;
        word.OptimizeHTML(QStringLiteral("import"), html, s_Opt, s.Style, s.Body);
        StartRun(s, QStringLiteral("word"));
        return;
    }
    s.Style.clear();
    if (word.Word2Images(s_File, s_Opt, s.Body))
        StartRun(s, QStringLiteral("wordimage"));
}
