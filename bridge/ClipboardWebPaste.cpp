#include "bridge/CallState.h"
#include "bridge/Tessarex.h"
#include "bridge/UploadRun.h"
#include "bridge/clsFileList.h"
#include "bridge/clsRemote.h"
#include "capture/ClipboardReaders.h"
#include "capture/cClipboard.h"
#include "conversion/cQuickFormat.h"

void Tessarex::PasteFileList(const QString& /*s_Opt*/) {
    CallState& s = state();
    s.Style.clear();
    const auto readCopiedFiles = [](QStringList& files) {
        cClipboard clipboard;
        bool found = false;
        if (clipboard.ClipboardOpen(0)) {
            qint32 count = 0;
            found = clipboard.GetFileList(files, count);
            clipboard.ClipboardClose();
        }
        return found;
    };
    if (clsFileList(s).FileList2HTML(s.Body, readCopiedFiles))
        StartRun(s, QStringLiteral("pastefilelist"));
}

void Tessarex::QuickFormat() {
    CallState& s = state();
    cQuickFormat(s.Error, MakeRemotePageFetcher()).QuickFormat(s.Style, s.Body, [] {
        return GetClipboardHtml();
    });
}
