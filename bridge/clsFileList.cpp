#include "bridge/clsFileList.h"

#include "bridge/CallState.h"
#include "common/Files.h"

#include <QCoreApplication>
#include <QFileInfo>

clsFileList::clsFileList(CallState& state) : m_state(state) {}

bool clsFileList::FileList2HTML(QString& s_HTML, const CopiedFilesReader& readCopiedFiles) {
    QCoreApplication::processEvents();
    m_state.Error.clear();
    s_HTML.clear();
    QStringList files;
    if (!readCopiedFiles || !readCopiedFiles(files))
        return false;
    for (const QString& path : files) {
        // A double quote would end the attribute early: the page would get foreign markup
        // and the upload run another file than the one listed.
        if (path.contains(QLatin1Char('"')))
            continue;
        // The same filter and limit that the upload applies, so every listed file is sent.
        if (!IsAllowedFile(path, m_state.LocalExt))
            continue;
        if (double(QFileInfo(path).size()) / 1024.0 > double(m_state.LocalSize))
            continue;
        s_HTML += QStringLiteral("<img src=\"") + path + QStringLiteral("\" border=0><br>");
    }
    return true;
}
