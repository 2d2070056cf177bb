#include "capture/cSaveBitmapAs.h"
#include "conversion/AutomationSteps.h"
#include "conversion/cWord.h"

#include "common/Files.h"
#include "common/Options.h"
#include "common/TextHelpers.h"
#include "platform/ObjectFactory.h"
#include "platform/WebPageFiles.h"

#include <QCoreApplication>

namespace {

const QString WordExtensions = QStringLiteral("doc|docx");

} // namespace

QString PictureTypeOption(const QString& s_Opt) {
    const QString type = GetOption(s_Opt, QStringLiteral("imgtype"), QString());
    if (type == QLatin1String("gif") || type == QLatin1String("png"))
        return type;
    return QStringLiteral("jpg");
}

QString PictureLine(const QString& path) {
    return QStringLiteral("<img src=\"") + path + QStringLiteral("\" border=0><br>");
}

namespace {

// Word started and the document open, or false with "CreateObject:" or "Open:" in the
// error text and nothing left open.
bool OpenDocument(const QString& s_File, StepFailures& failures, QString& errorText,
                  std::unique_ptr<WordApplication>& word, std::unique_ptr<WordDocument>& document) {
    word = failures.run([] { return ObjectFactory::instance().CreateWordApplication(); });
    QCoreApplication::processEvents();
    if (failures.failed() || !word) {
        errorText = QStringLiteral("CreateObject:") + failures.description();
        word.reset();
        return false;
    }
    document = failures.run([&] { return word->DocumentsOpen(s_File, true); });
    QCoreApplication::processEvents();
    if (failures.failed() || !document) {
        errorText = QStringLiteral("Open:") + failures.description();
        if (document)
            failures.run([&] { document->Close(); });
        failures.run([&] { word->Quit(); });
        document.reset();
        word.reset();
        return false;
    }
    return true;
}

} // namespace

bool cWord::Word2HTML(const QString& s_File, QString& s_HTML) {
    QCoreApplication::processEvents();
    m_errorText.clear();
    s_HTML.clear();
    if (!IsAllowedFile(s_File, WordExtensions)) {
        m_errorText = QStringLiteral("InvalidFile:doc|docx");
        return false;
    }
    const QString page = m_tempFolder + QStringLiteral("Tessary_Temp_Word_Doc.html");
    StepFailures failures;
    std::unique_ptr<WordApplication> word;
    std::unique_ptr<WordDocument> document;
    if (!OpenDocument(s_File, failures, m_errorText, word, document))
        return false;

    // Without the page of an earlier import a failed save shows as a failed read below,
    // instead of handing back the previous document.
    RemoveWebPage(page);
    failures.run([&] {
        WordWebOptions& options = document->WebOptions();
        options.AllowPNG = true;
        options.RelyOnCSS = true;
        options.RelyOnVML = false;
        options.UseLongFileNames = true;
        options.OrganizeInFolder = true;
        document->SaveAs(page, WordDocument::FormatWebPage);
    });
    QCoreApplication::processEvents();
    failures.clear();

    failures.run([&] { document->Close(0); });
    failures.run([&] { word->Quit(0); });
    document.reset();
    word.reset();
    failures.run([&] { s_HTML = ReadFileText(page); });
    if (!failures.failed())
        return true;
    m_errorText = QStringLiteral("ReadFile:") + failures.description();
    return false;
}

bool cWord::Word2Images(const QString& s_File, const QString& s_Opt, QString& s_HTML) {
    QCoreApplication::processEvents();
    m_errorText.clear();
    s_HTML.clear();
    if (!IsAllowedFile(s_File, WordExtensions)) {
        m_errorText = QStringLiteral("InvalidFile:doc|docx");
        return false;
    }
    const QString type = PictureTypeOption(s_Opt);
    StepFailures failures;
    std::unique_ptr<WordApplication> word;
    std::unique_ptr<WordDocument> document;
    if (!OpenDocument(s_File, failures, m_errorText, word, document))
        return false;

    const QString timestamp = MakeTimestamp();
    // A page that cannot be rendered or saved has no picture; the others still do.
    const std::unique_ptr<WordPagePictures> pages =
        failures.run([&] { return document->PagePictures(); });
    const int count = pages ? pages->Count() : 0;
    for (int n = 1; n <= count; ++n) {
        QCoreApplication::processEvents();
        // Three digits, more from page 1000 on: cutting to the last three would let page
        // 1001 overwrite the picture of page 1.
        const QString path =
            m_tempFolder + timestamp + ZeroPad(n, 3, count) + QLatin1Char('.') + type;
        const QImage picture = failures.run([&] { return pages->Picture(n); });
        if (cSaveBitmapAs().SavePictureFromHDC(picture, path))
            s_HTML += PictureLine(path);
    }
    failures.run([&] { document->Close(0); });
    failures.run([&] { word->Quit(0); });
    return true;
}
