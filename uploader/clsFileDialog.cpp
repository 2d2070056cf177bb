#include "uploader/clsFileDialog.h"

#include "common/ScriptError.h"
#include "uploader/FileFilter.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>

namespace {
constexpr qsizetype SingleBuffer = 1024;
constexpr qsizetype MultiBuffer = 8192;

QString TrimAtNull(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}
} // namespace

void clsFileDialog::setFilter(const QString& value) {
    m_filter = value;
    m_dialogFilters = ToDialogNameFilters(value);
}

void clsFileDialog::ShowOpen() {
    show(Kind::Open);
}

void clsFileDialog::ShowSave() {
    show(Kind::Save);
}

void clsFileDialog::show(Kind kind) {
    const bool multi = kind == Kind::Open && (m_flags & OFN_ALLOWMULTISELECT) != 0;
    const qsizetype buffer = multi ? MultiBuffer : SingleBuffer;

    // On the heap and watched: the owner window may be destroyed while the dialog runs
    // (the page that made it went away), and it then deletes its children, this one too.
    const QPointer<QFileDialog> dialog = new QFileDialog(m_owner);
    const auto cleanup = qScopeGuard([&dialog] { delete dialog.data(); });
    dialog->setObjectName(kind == Kind::Open ? QStringLiteral("OpenFileDialog")
                                             : QStringLiteral("SaveFileDialog"));
    // Qt's own dialog: the same on every desktop, and one that tests can answer.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    if (!m_dialogTitle.isEmpty())
        dialog->setWindowTitle(m_dialogTitle);
    if (kind == Kind::Open) {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(multi                                ? QFileDialog::ExistingFiles
                            : (m_flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                                 : QFileDialog::AnyFile);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite, (m_flags & OFN_OVERWRITEPROMPT) == 0);
    }
    if (!m_dialogFilters.isEmpty()) {
        dialog->setNameFilters(m_dialogFilters);
        if (m_filterIndex >= 1 && m_filterIndex <= m_dialogFilters.size())
            dialog->selectNameFilter(m_dialogFilters.at(m_filterIndex - 1));
    }
    if (!m_defaultExt.isEmpty())
        dialog->setDefaultSuffix(m_defaultExt);
    if (!m_initDir.isEmpty())
        dialog->setDirectory(m_initDir);
    const QString offered = TrimAtNull(m_fileName);
    if (!offered.isEmpty())
        dialog->selectFile(offered);

    QString result;
    const int answer = dialog->exec();
    bool accepted = dialog && answer == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
    if (accepted) {
        const QStringList chosen = dialog->selectedFiles();
        if (multi && chosen.size() > 1) {
            // The folder, then every name, each ended by a NUL, and one more NUL.
            result = QFileInfo(chosen.first()).absolutePath();
            for (const QString& path : chosen)
                result += QChar(0) + QFileInfo(path).fileName();
            result += QString(2, QChar(0));
        } else {
            result = chosen.first() + QChar(0);
        }
        // The selection must fit the buffer the dialog was given, as it always had to.
        accepted = result.size() <= buffer;
        const qsizetype index = m_dialogFilters.indexOf(dialog->selectedNameFilter());
        if (index >= 0)
            m_filterIndex = qint32(index + 1);
    }
    if (!accepted) {
        if (m_cancelError)
            throw ScriptError(ErrCancel, QStringLiteral("User selected cancel."),
                              kind == Kind::Open ? QStringLiteral("Tessaload.clsFileDialog")
                                                 : QStringLiteral("Tessaload.cFilenDialog"));
        return;
    }
    if (multi)
        result.resize(buffer, QChar(0));
    m_fileName = multi ? result : TrimAtNull(result);
}

void clsFileDialog::ParseMultiFileName(QString& sDir, QStringList& sFiles,
                                       qint32& lFileCount) const {
    QString text = m_fileName;
    const qsizetype end = text.indexOf(QString(2, QChar(0)));
    if (end >= 0)
        text.truncate(end);
    if (text.contains(QChar(0))) {
        const QStringList pieces = text.split(QChar(0));
        sDir = pieces.first();
        for (qsizetype i = 1; i < pieces.size(); ++i) {
            ++lFileCount;
            sFiles.resize(lFileCount);
            sFiles[lFileCount - 1] = pieces.at(i);
        }
        return;
    }
    lFileCount = 1;
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    sDir = slash < 0 ? QString() : text.left(slash);
    sFiles = QStringList{slash < 0 ? text : text.mid(slash + 1)};
}
