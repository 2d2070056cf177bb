#include "platform/LibreOfficeAutomation.h"
#include "platform/ObjectFactory.h"

#include "common/ScriptError.h"

namespace {
void RequireProgId(const QString& progId, const char* expected) {
    if (progId.compare(QLatin1String(expected), Qt::CaseInsensitive) != 0)
        throw ScriptError(ScriptErrorNumber::CannotCreateObject,
                          QStringLiteral("ActiveX component can't create object: ") + progId,
                          QStringLiteral("ObjectFactory"));
}
} // namespace

std::unique_ptr<WordApplication> ObjectFactory::CreateWordApplication(const QString& progId) {
    checkFailure(progId);
    RequireProgId(progId, WordProgId);
    return m_wordBackend ? m_wordBackend() : CreateLibreOfficeWord();
}

std::unique_ptr<ExcelApplication> ObjectFactory::CreateExcelApplication(const QString& progId) {
    checkFailure(progId);
    RequireProgId(progId, ExcelProgId);
    return m_excelBackend ? m_excelBackend() : CreateLibreOfficeExcel();
}

void ObjectFactory::SetWordBackend(std::function<std::unique_ptr<WordApplication>()> create) {
    m_wordBackend = std::move(create);
}

void ObjectFactory::SetExcelBackend(std::function<std::unique_ptr<ExcelApplication>()> create) {
    m_excelBackend = std::move(create);
}
