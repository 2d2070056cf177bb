#include "host/Components.h"

#include "bridge/PageContext.h"
#include "bridge/Tessarex.h"
#include "common/ScriptError.h"
#include "uploader/Tessaload.h"

#include <QFileInfo>

namespace {
// The control's window belongs to the desktop session, named after the page.
Component CreateTessaload(PageContext& page) {
    QString title = page.address();
    if (QFileInfo(title).exists())
        title = QFileInfo(title).fileName();
    auto control = std::make_unique<Tessaload>(page.sharedState<UploadPageState>(), title);
    control->show();
    return {std::move(control), &Tessaload::dispatchTable()};
}
} // namespace

Component CreateComponent(const QString& progId, PageContext& page) {
    if (progId.compare(QLatin1String(Tessarex::ProgId), Qt::CaseInsensitive) == 0)
        return {std::make_unique<Tessarex>(page), &Tessarex::dispatchTable()};
    if (progId.compare(QLatin1String(Tessaload::ProgId), Qt::CaseInsensitive) == 0)
        return CreateTessaload(page);
    throw ScriptError(ScriptErrorNumber::CannotCreateObject,
                      QStringLiteral("ActiveX component can't create object: %1").arg(progId));
}
