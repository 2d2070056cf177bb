#pragma once

#include "platform/OfficeAutomation.h"
#include "platform/Stream.h"
#include "platform/XmlHttpRequest.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

using XmlHttpRequestPtr = std::unique_ptr<XmlHttpRequest, XmlHttpRequestRelease>;

// Creates platform objects by ProgID. Creation throws ScriptError 429 with a description
// when the id is unknown or when a test has made it fail. Per thread, like the original
// registry lookups were per process.
class ObjectFactory {
public:
    static ObjectFactory& instance();

    // The HTTP request ids, in the order the upload tries them.
    static const QStringList& XmlHttpProgIds();
    static constexpr const char* StreamProgId = "ADODB.Stream";

    static constexpr const char* WordProgId = "Word.Application";
    static constexpr const char* ExcelProgId = "Excel.Application";

    XmlHttpRequestPtr CreateXmlHttpRequest(const QString& progId);
    // The office automation objects; creating one does not start the office yet.
    std::unique_ptr<WordApplication>
    CreateWordApplication(const QString& progId = QString::fromLatin1(WordProgId));
    std::unique_ptr<ExcelApplication>
    CreateExcelApplication(const QString& progId = QString::fromLatin1(ExcelProgId));
    std::unique_ptr<Stream> CreateStream(const QString& progId = QString::fromLatin1(StreamProgId));

    // For tests of the converters' own logic: a scripted stand-in for the office until
    // cleared (an empty function clears).
    void SetWordBackend(std::function<std::unique_ptr<WordApplication>()> create);
    void SetExcelBackend(std::function<std::unique_ptr<ExcelApplication>()> create);

    // For tests: creating `progId` fails with `description` until cleared.
    void SetFailure(const QString& progId, const QString& description);
    void ClearFailures();

private:
    void checkFailure(const QString& progId) const;
    QHash<QString, QString> m_failures;
    std::function<std::unique_ptr<WordApplication>()> m_wordBackend;
    std::function<std::unique_ptr<ExcelApplication>()> m_excelBackend;
};
