#include "bridge/CallState.h"
#include "bridge/Tessarex.h"
#include "bridge/UploadRun.h"
#include "capture/clsCapture.h"
#include "conversion/cWord.h"

namespace {

// Turns the region that the capture left on the clipboard into the page's picture HTML
// and starts its upload.
void PasteCapturedPicture(CallState& s) {
    if (cWord(s.Error, s.TempFolder).WordPaste2Image(s.CaptureOptions, s.Body))
        StartRun(s, QStringLiteral("wordimage"));
}

void cCapture_ReturnValue(CallState& s, clsCapture* sender, const QString& s_Status) {
    const bool current = sender == s.cCapture.get();
    if (s_Status == QLatin1String("cancel")) {
        if (current)
            s.cCapture.reset();
        s.Error = QStringLiteral("cancel");
    } else if (s_Status == QLatin1String("ok") && current) {
        s.cCapture.reset();
        PasteCapturedPicture(s);
    }
}

} // namespace

void Tessarex::Capture(const QString& s_Opt) {
    CallState& s = state();
    s.Error.clear();
    clsCapturePtr capture(new clsCapture(s.Lang));
    clsCapture* raw = capture.get();
    connect(raw, &clsCapture::ReturnValue, raw,
            [&s, raw](const QString& status) { cCapture_ReturnValue(s, raw, status); });
    // A refused capture has answered "cancel" already. When it was refused because a
    // prompt is open, that prompt's own capture stays in place, so the user who finishes
    // it still gets the picture.
    if (!raw->Capture())
        return;
    s.CaptureOptions = s_Opt.isEmpty() ? QStringLiteral("imgtype:png") : s_Opt;
    s.cCapture = std::move(capture);
}
