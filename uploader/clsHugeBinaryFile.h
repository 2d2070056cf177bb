#pragma once

#include <QByteArray>
#include <QList>
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
    qint32 GetDataToFillBuffer(QByteArray& ByteBuffer);

    // Typed reads: the variable is zeroed, then filled with the value's own little-endian
    // bytes; fewer bytes than the type has raise 45605. A currency is the 64-bit count of
    // ten-thousandths, a date the days since 30 December 1899 as a double.
    void GetDataWord(quint16& wordVar);
    void GetDataLongWord(quint32& longwordVar);
    void GetDataSingle(float& singleVar);
    void GetDataDouble(double& doubleVar);
    void GetDataCurrency(qint64& currencyVar);
    void GetDataDate(double& dateVar);
    // Four bytes per element, from the first element on.
    void GetDataQuadWord(QList<quint32>& quadWordVar);
    // As many bytes as the text has characters (at least one), decoded as UTF-8, the
    // system's narrow encoding here; a short read is not an error. Returns the count read.
    qint32 GetDataString(QString& stringVar);

    void GetDataWordFromPosition(qint64 FileStartingPosition, quint16& wordVar);
    void GetDataLongWordFromPosition(qint64 FileStartingPosition, quint32& longwordVar);
    void GetDataSingleFromPosition(qint64 FileStartingPosition, float& singleVar);
    void GetDataDoubleFromPosition(qint64 FileStartingPosition, double& doubleVar);
    void GetDataCurrencyFromPosition(qint64 FileStartingPosition, qint64& currencyVar);
    void GetDataDateFromPosition(qint64 FileStartingPosition, double& dateVar);
    void GetDataQuadWordFromPosition(qint64 FileStartingPosition, QList<quint32>& quadWordVar);
    qint32 GetDataStringFromPosition(qint64 FileStartingPosition, QString& stringVar);

    qint32 PutData(const QByteArray& ByteBuffer, qint32 ByteBufferStartIndex,
                   qint32 NoOfBytesToWrite);
    qint32 PutDataAtPosition(const QByteArray& ByteBuffer, qint32 ByteBufferStartIndex,
                             qint32 NoOfBytesToWrite, qint64 FileStartingPosition);
    qint32 PutDataAllOfBuffer(const QByteArray& ByteBuffer);
    void PutDataWord(quint16 wordVar);
    void PutDataLongWord(quint32 longwordVar);
    void PutDataSingle(float singleVar);
    void PutDataDouble(double doubleVar);
    void PutDataCurrency(qint64 currencyVar);
    void PutDataDate(double dateVar);
    // The first two elements (eight bytes); fewer than two raise 45609.
    void PutDataQuadWord(const QList<quint32>& quadWordVar);
    // The text in UTF-8 (at least one character, else 45609). Every byte of it is written,
    // also where a character takes more than one; returns the count written.
    qint32 PutDataString(const QString& stringVar);

private:
    [[noreturn]] void RaiseFileError(qint32 number);
    void CheckOpen();
    static QString SystemErrorText(int code);
    void remember(bool failed);
    void readExactly(void* into, qint32 size);
    void writeAll(const void* from, qint32 size);

    int m_handle = -1;
    QString m_fileName;
    bool m_autoFlush = false;
    qint64 m_sizeAtOpening = -1;
    qint64 m_position = -1;
    int m_lastError = 0;
};
