#include "bridge/cReadyStateHandler.h"

#include "bridge/CallState.h"
#include "bridge/UploadRun.h"

void cReadyStateHandler::OnReadyStateChange() {
    CallState& s = m_state;
    XmlHttpRequest* request = s.UploadRequest.get();
    if (!request || request->readyState() != 4)
        return;
    QString saved;
    if (request->Status() == 200)
        saved = request->responseText().remove(QStringLiteral("\r\n"));
    // The address goes into the page's HTML inside double quotes: an answer that could end
    // the attribute or open markup is no address, and the file counts as not accepted.
    if (saved.contains(QLatin1Char('"')) || saved.contains(QLatin1Char('<')) ||
        saved.contains(QLatin1Char('>')))
        saved.clear();
    if (s.RunIndex >= 0 && s.RunIndex < s.SavedNames.size())
        s.SavedNames[s.RunIndex] = saved;
    UploadNext(s);
}
