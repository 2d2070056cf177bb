#pragma once

#include <QString>
#include <QStringList>
#include <functional>

struct CallState;

// Turns the files copied in a file manager into picture references that the upload run
// then sends: "<img src="path" border=0><br>" for every file that passes the page's
// extension and size limits.
class clsFileList {
public:
    // Reads the copied files (full paths, in the clipboard's order) into `files`; false when
    // the clipboard holds no file list. Clipboard errors are raised from it.
    using CopiedFilesReader = std::function<bool(QStringList& files)>;

    explicit clsFileList(CallState& state);

    // Fills `s_HTML` (emptied first, together with Error); true when there was a file list,
    // also when no file passed the filter.
    bool FileList2HTML(QString& s_HTML, const CopiedFilesReader& readCopiedFiles);

private:
    CallState& m_state;
};
