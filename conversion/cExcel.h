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

private:
    QString& m_errorText;
    std::function<QString()> m_clock;
};
