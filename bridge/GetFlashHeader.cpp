#include "bridge/CallState.h"
#include "bridge/Tessarex.h"
#include "conversion/cFlashHeader.h"

QString Tessarex::GetFlashHeader(const QString& s_File) {
    cFlashHeader header(state().Error);
    if (!header.Parse(s_File))
        return QString();
    return QString::number(header.Width()) + QLatin1Char('|') + QString::number(header.Height());
}
