#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

// The open and save dialogs with their settings kept as properties, on Qt's own file
// dialog. A multiple selection comes back as the folder, a NUL, and the names separated
// by NULs (two NULs at the end), which ParseMultiFileName splits again.
class clsFileDialog {
public:
    static constexpr qint32 OFN_OVERWRITEPROMPT = 0x2;
    static constexpr qint32 OFN_ALLOWMULTISELECT = 0x200;
    static constexpr qint32 OFN_FILEMUSTEXIST = 0x1000;
    static constexpr qint32 OFN_EXPLORER = 0x80000;
    static constexpr qint32 ErrCancel = 32755;

    bool CancelError() const { return m_cancelError; }
    void setCancelError(bool value) { m_cancelError = value; }
    QString FileName() const { return m_fileName; }
    void setFileName(const QString& value) { m_fileName = value; }
    QString FileTitle() const { return m_fileTitle; }
    void setFileTitle(const QString& value) { m_fileTitle = value; }
    QString Filter() const { return m_filter; }
    void setFilter(const QString& value);
    qint32 FilterIndex() const { return m_filterIndex; }
    void setFilterIndex(qint32 value) { m_filterIndex = value; }
    QString DefaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString& value) { m_defaultExt = value; }
    QString DialogTitle() const { return m_dialogTitle; }
    void setDialogTitle(const QString& value) { m_dialogTitle = value; }
    qint32 flags() const { return m_flags; }
    void setFlags(qint32 value) { m_flags = value; }
    QWidget* hwnd() const { return m_owner; }
    void setHwnd(QWidget* owner) { m_owner = owner; }
    QString InitDir() const { return m_initDir; }
    void setInitDir(const QString& value) { m_initDir = value; }

    // Modal to hwnd. A cancelled dialog, or a result longer than the dialog's buffer, raises
    // 32755 when CancelError is set and otherwise leaves FileName as it was.
    void ShowOpen();
    void ShowSave();
    // Adds the names of FileName to sFiles from index lFileCount on; a single full path
    // gives its folder and its name.
    void ParseMultiFileName(QString& sDir, QStringList& sFiles, qint32& lFileCount) const;

    // The filter as the dialog shows it: pairs of description and patterns.
    const QStringList& dialogFilters() const { return m_dialogFilters; }

private:
    enum class Kind { Open, Save };
    void show(Kind kind);

    bool m_cancelError = false;
    QString m_fileName;
    QString m_fileTitle;
    QString m_filter;
    QStringList m_dialogFilters;
    qint32 m_filterIndex = 1;
    QString m_defaultExt;
    QString m_dialogTitle;
    qint32 m_flags = 0;
    QPointer<QWidget> m_owner;
    QString m_initDir;
};
