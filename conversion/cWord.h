#pragma once

#include <QString>

// Turns the HTML that Word writes (a clipboard paste with its header lines, or a saved
// web page) into a style sheet and a body for the editor. One object per call.
class cWord {
public:
    // `errorText` is the page's Error field; the clean-up clears it when it starts.
    // `tempFolder` (ending in "/") is where pictures are written.
    explicit cWord(QString& errorText, QString tempFolder = {});

    // `s_DoFlag` is "paste" or "import" (compared exactly). `s_Style` is written as soon
    // as the style sheet is done, `s_Body` only at the very end, so an engine error
    // thrown in between leaves the body "".
    void OptimizeHTML(const QString& s_DoFlag, const QString& s_HTML, const QString& s_Opt,
                      QString& s_Style, QString& s_Body);

    // Saves the clipboard's picture into the temporary folder as one file (type from the
    // option "imgtype": "gif" or "png", else "jpg") and writes its picture HTML into
    // `s_HTML`. True also when the clipboard holds no picture (`s_HTML` stays "");
    // false with a message in Error when the picture is a metafile, which this build
    // cannot render. Clipboard failures raise ScriptError.
    bool WordPaste2Image(const QString& s_Opt, QString& s_HTML);

    // Office import (WordImport.cpp). The page's TempFolder, ending in "/", receives the
    // exported page and the page pictures.
    void setTempFolder(const QString& folder) { m_tempFolder = folder; }
    // The document saved as a web page, its pictures in "Tessary_Temp_Word_Doc_files/".
    bool Word2HTML(const QString& s_File, QString& s_HTML);
    // One picture per page, in page order; `s_HTML` gets a picture line for each.
    bool Word2Images(const QString& s_File, const QString& s_Opt, QString& s_HTML);

private:
    QString& m_errorText;
    QString m_tempFolder;
};
