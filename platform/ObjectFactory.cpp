#include "platform/ObjectFactory.h"

#include "common/ScriptError.h"

namespace {
ScriptError CannotCreate(const QString& progId) {
    return ScriptError(ScriptErrorNumber::CannotCreateObject,
                       QStringLiteral("ActiveX component can't create object: ") + progId,
                       QStringLiteral("ObjectFactory"));
}
} // namespace

ObjectFactory& ObjectFactory::instance() {
    thread_local ObjectFactory factory;
    return factory;
}

const QStringList& ObjectFactory::XmlHttpProgIds() {
    static const QStringList ids{
        QStringLiteral("MSXML2.XMLHttp.3.0"), QStringLiteral("MSXML2.XMLHttp"),
        QStringLiteral("Microsoft.XMLHTTP"), QStringLiteral("MSXML2.XMLHttp.4.0"),
        QStringLiteral("MSXML2.XMLHttp.5.0")};
    return ids;
}

void ObjectFactory::checkFailure(const QString& progId) const {
    // ProgIDs are looked up without regard to case.
    const auto it = m_failures.constFind(progId.toLower());
    if (it != m_failures.constEnd())
        throw ScriptError(ScriptErrorNumber::CannotCreateObject, it.value(),
                          QStringLiteral("ObjectFactory"));
}

XmlHttpRequestPtr ObjectFactory::CreateXmlHttpRequest(const QString& progId) {
    checkFailure(progId);
    for (const QString& id : XmlHttpProgIds())
        if (id.compare(progId, Qt::CaseInsensitive) == 0)
            return XmlHttpRequestPtr(new XmlHttpRequest);
    throw CannotCreate(progId);
}

std::unique_ptr<Stream> ObjectFactory::CreateStream(const QString& progId) {
    checkFailure(progId);
    if (progId.compare(QLatin1String(StreamProgId), Qt::CaseInsensitive) != 0)
        throw CannotCreate(progId);
    return std::make_unique<Stream>();
}

void ObjectFactory::SetFailure(const QString& progId, const QString& description) {
    m_failures.insert(progId.toLower(), description);
}

void ObjectFactory::ClearFailures() {
    m_failures.clear();
}
