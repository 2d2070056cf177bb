#include "host/Components.h"

#include "bridge/Tessarex.h"
#include "common/ScriptError.h"

Component CreateComponent(const QString& progId, PageContext& page) {
    if (progId.compare(QLatin1String(Tessarex::ProgId), Qt::CaseInsensitive) == 0)
        return {std::make_unique<Tessarex>(page), &Tessarex::dispatchTable()};
    throw ScriptError(ScriptErrorNumber::CannotCreateObject,
                      QStringLiteral("ActiveX component can't create object: %1").arg(progId));
}
