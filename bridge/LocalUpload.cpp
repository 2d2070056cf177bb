#include "bridge/CallState.h"
#include "bridge/Tessarex.h"
#include "bridge/UploadRun.h"
#include "common/RegexOps.h"

void Tessarex::LocalUpload(const QString& s_HTML) {
    CallState& s = state();
    s.Error.clear();
    s.Style.clear();
    s.Body.clear();
    s.OriginalFiles.clear();
    s.SavedFiles.clear();
    // Links into a local file with a fragment keep only the fragment.
    s.Body = RegexReplace(s_HTML,
                          QStringLiteral(R"((href\s*?=\s*?['"])file[^'" >]+?(#[^\.'"\s>]*?['"]))"),
                          QStringLiteral("$1$2"));
    StartRun(s, QStringLiteral("local"));
}
