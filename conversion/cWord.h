#pragma once

#include <QString>

// Turns the HTML that Word writes (a clipboard paste with its header lines, or a saved
// web page) into a style sheet and a body for the editor. One object per call.
class cWord {
public:
    // `errorText` is the page's Error field; the clean-up clears it when it starts.
    explicit cWord(QString& errorText);

    // `s_DoFlag` is "paste" or "import" (compared exactly). `s_Style` is written as soon
    // as the style sheet is done, `s_Body` only at the very end, so an engine error
    // thrown in between leaves the body "".
    void OptimizeHTML(const QString& s_DoFlag, const QString& s_HTML, const QString& s_Opt,
                      QString& s_Style, QString& s_Body);

private:
    QString& m_errorText;
};
