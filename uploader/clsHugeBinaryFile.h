#pragma once

#include <QByteArray>
#include <QString>

// Byte access to one file of any size with 64-bit sizes and positions. Failures raise
// ScriptError with the numbers below and the source "HugeBinaryFile"; any raised error
// first closes the file. Reads go straight into the caller's buffer.
class clsHugeBinaryFile {
public:
    enum ErrorNumber : qint32 {
        ErrUnknown = 45600,
        ErrAlreadyOpen = 45601,
        ErrOpening = 45602,
        ErrSeek = 45603,
        ErrGetFileSize = 45604,
        ErrRead = 45605,
        ErrWrite = 45606,
        ErrNotOpen = 45607,
        ErrReadBuffer = 45608,
        ErrWriteBuffer = 45609,
        ErrBufferIndex = 45610,
    };

    clsHugeBinaryFile() = default;
    ~clsHugeBinaryFile();
    clsHugeBinaryFile(const clsHugeBinaryFile&) = delete;
    clsHugeBinaryFile& operator=(const clsHugeBinaryFile&) = delete;

    // Read and write access, as the upload has always asked for. Only ordinary files
    // open: a FIFO, device or folder is refused without waiting for a peer. Without
    // CreateIfDoesntExist a file that cannot be opened gives false, not an error.
    bool OpenFile(const QString& fileName, bool CreateIfDoesntExist);
    void CloseFile();

    bool IsOpen() const { return m_handle != -1; }
    int FileHandle() const;
    QString FileName() const;
    bool AutoFlush() const;
    void setAutoFlush(bool value);
    // The current size on disk, not the one remembered at opening.
    qint64 FileSize();
    // At or beyond the size remembered at opening.
    bool IsEOF() const;
    void Flush();

    void SeekAbsolute(qint64 NewPosition);
    void SeekRelative(qint64 Offset);
    qint64 SeekEOF();
    qint64 SetFileSize(qint64 NewSize);

    // Bytes read into ByteBuffer from ByteBufferStartIndex on; fewer than asked at the end
    // of the file, 0 at or beyond it.
    qint32 GetData(QByteArray& ByteBuffer, qint32 ByteBufferStartIndex, qint32 NoOfBytesToRead);
    qint32 GetDataFromPosition(qint64 FileStartingPosition, QByteArray& ByteBuffer,
                               qint32 ByteBufferStartIndex, qint32 NoOfBytesToRead);
    quint16 GetDataWord();

    qint32 PutData(const QByteArray& ByteBuffer, qint32 ByteBufferStartIndex,
                   qint32 NoOfBytesToWrite);
    qint32 PutDataAtPosition(const QByteArray& ByteBuffer, qint32 ByteBufferStartIndex,
                             qint32 NoOfBytesToWrite, qint64 FileStartingPosition);

private:
    [[noreturn]] void RaiseFileError(qint32 number);
    void CheckOpen();
    static QString SystemErrorText(int code);
    void remember(bool failed);

    int m_handle = -1;
    QString m_fileName;
    bool m_autoFlush = false;
    qint64 m_sizeAtOpening = -1;
    qint64 m_position = -1;
    int m_lastError = 0;
};
