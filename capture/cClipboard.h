#pragma once

#include "platform/ClipboardBackend.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The clipboard at the level of raw formats: which formats it holds and their names, the
// bytes of one format, a registered text format as UTF-8 text, and the copied files.
// One object per read; the lists are 1-based as the callers count them.
class cClipboard {
public:
    cClipboard();
    ~cClipboard();
    cClipboard(const cClipboard&) = delete;
    cClipboard& operator=(const cClipboard&) = delete;

    // Raises "Unable to Open Clipboard." when the owner or the display does not answer.
    bool ClipboardOpen(qint32 hWndOwner);
    void ClipboardClose();
    // Lists what the clipboard holds and leaves the clipboard closed.
    qint32 GetCurrentFormats(qint32 hWndOwner);
    // `lIndex` from 1 to the count; anything else raises "Subscript out of range".
    qint32 GetCurrentFormatID(qint32 lIndex) const;
    QString GetCurrentFormatName(qint32 lIndex) const;
    QString FormatName(qint32 lFormatId) const;
    bool IsDataAvailableForFormat(qint32 lFormatId);
    // The block of a format (the clipboard must be open); nothing when absent.
    std::optional<QByteArray> GetClipboardMemoryHandle(qint32 lFormatId);
    bool GetBinaryData(qint32 lFormatId, QByteArray& bData);
    bool GetTextData(qint32 lFormatId, QString& sTextOut);
    // `sFiles` holds entry i at position i - 1, sorted by UTF-16 code units.
    bool GetFileList(QStringList& sFiles, qint32& iFileCount);

private:
    void RequireOpen() const;

    ClipboardBackend m_backend;
    QList<qint32> m_formatIds;
    QStringList m_formatNames;
    bool m_open = false;
    qint32 m_ownerWindow = 0;
};
