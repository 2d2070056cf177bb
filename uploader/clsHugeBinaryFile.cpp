#include "uploader/clsHugeBinaryFile.h"

#include "common/ScriptError.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString ErrorText(qint32 number) {
    switch (number) {
    case clsHugeBinaryFile::ErrAlreadyOpen:
        return QStringLiteral("File already open.");
    case clsHugeBinaryFile::ErrOpening:
        return QStringLiteral("Error opening file.");
    case clsHugeBinaryFile::ErrSeek:
        return QStringLiteral("Seek Error.");
    case clsHugeBinaryFile::ErrGetFileSize:
        return QStringLiteral("GetFileSize Error.");
    case clsHugeBinaryFile::ErrRead:
        return QStringLiteral("Read failure.");
    case clsHugeBinaryFile::ErrWrite:
        return QStringLiteral("Write failure.");
    case clsHugeBinaryFile::ErrNotOpen:
        return QStringLiteral("File must be open for this operation.");
    case clsHugeBinaryFile::ErrReadBuffer:
        return QStringLiteral("Attempt to read more bytes than the size of the buffer you "
                              "provided to read into");
    case clsHugeBinaryFile::ErrWriteBuffer:
        return QStringLiteral("Attempt to write more bytes than the size of the buffer you "
                              "provided to write from");
    case clsHugeBinaryFile::ErrBufferIndex:
        return QStringLiteral("Attempt to read or write with a buffer-Index out of bounds");
    default:
        return QStringLiteral("Unknown error.");
    }
}

bool KnownNumber(qint32 number) {
    return number >= clsHugeBinaryFile::ErrAlreadyOpen &&
           number <= clsHugeBinaryFile::ErrBufferIndex;
}

// These carry the system's detail; the buffer and state errors never do.
bool HasDetail(qint32 number) {
    return number == clsHugeBinaryFile::ErrUnknown || number == clsHugeBinaryFile::ErrOpening ||
           number == clsHugeBinaryFile::ErrSeek || number == clsHugeBinaryFile::ErrGetFileSize ||
           number == clsHugeBinaryFile::ErrRead || number == clsHugeBinaryFile::ErrWrite;
}
} // namespace

clsHugeBinaryFile::~clsHugeBinaryFile() {
    if (m_handle != -1)
        ::close(m_handle);
}

void clsHugeBinaryFile::remember(bool failed) {
    m_lastError = failed ? errno : 0;
}

QString clsHugeBinaryFile::SystemErrorText(int code) {
    const char* text = std::strerror(code);
    return text && *text ? QString::fromLocal8Bit(text) : QStringLiteral("Unknown Error.");
}

void clsHugeBinaryFile::RaiseFileError(qint32 number) {
    const qint32 raised = KnownNumber(number) ? number : ErrUnknown;
    QString description = ErrorText(raised);
    if (HasDetail(raised) && m_lastError != 0)
        description +=
            QStringLiteral("\r\nError %1\r\n").arg(m_lastError) + SystemErrorText(m_lastError);
    if (IsOpen())
        CloseFile();
    throw ScriptError(raised, description, QStringLiteral("HugeBinaryFile"));
}

void clsHugeBinaryFile::CheckOpen() {
    if (m_handle == -1) {
        m_lastError = 0;
        RaiseFileError(ErrNotOpen);
    }
}

bool clsHugeBinaryFile::OpenFile(const QString& fileName, bool CreateIfDoesntExist) {
    if (IsOpen()) {
        m_lastError = 0;
        RaiseFileError(ErrAlreadyOpen);
    }
    const QByteArray name = QFile::encodeName(fileName);
    // Non-blocking so that a FIFO cannot hold the page until a writer comes.
    int flags = O_RDWR | O_NONBLOCK | O_CLOEXEC;
    if (CreateIfDoesntExist)
        flags |= O_CREAT;
    const int handle = ::open(name.constData(), flags, 0666);
    remember(handle == -1);
    if (handle != -1) {
        struct stat info {};
        const bool statFailed = ::fstat(handle, &info) != 0;
        remember(statFailed);
        if (statFailed || !S_ISREG(info.st_mode)) {
            ::close(handle);
            if (!statFailed)
                m_lastError = EINVAL;
            if (CreateIfDoesntExist)
                RaiseFileError(ErrOpening);
            return false;
        }
    }
    if (handle == -1) {
        if (CreateIfDoesntExist)
            RaiseFileError(ErrOpening);
        return false;
    }
    m_handle = handle;
    m_fileName = fileName;
    m_autoFlush = false;
    m_sizeAtOpening = FileSize();
    SeekAbsolute(0);
    return true;
}

void clsHugeBinaryFile::CloseFile() {
    CheckOpen();
    ::close(m_handle);
    m_handle = -1;
    m_fileName.clear();
    m_autoFlush = false;
    m_sizeAtOpening = -1;
    m_position = -1;
}

int clsHugeBinaryFile::FileHandle() const {
    const_cast<clsHugeBinaryFile*>(this)->CheckOpen();
    return m_handle;
}

QString clsHugeBinaryFile::FileName() const {
    const_cast<clsHugeBinaryFile*>(this)->CheckOpen();
    return m_fileName;
}

bool clsHugeBinaryFile::AutoFlush() const {
    const_cast<clsHugeBinaryFile*>(this)->CheckOpen();
    return m_autoFlush;
}

void clsHugeBinaryFile::setAutoFlush(bool value) {
    CheckOpen();
    m_autoFlush = value;
}

qint64 clsHugeBinaryFile::FileSize() {
    CheckOpen();
    struct stat info {};
    const bool failed = ::fstat(m_handle, &info) != 0;
    remember(failed);
    if (failed)
        RaiseFileError(ErrGetFileSize);
    return static_cast<qint64>(info.st_size);
}

bool clsHugeBinaryFile::IsEOF() const {
    const_cast<clsHugeBinaryFile*>(this)->CheckOpen();
    return m_position >= m_sizeAtOpening;
}

void clsHugeBinaryFile::Flush() {
    CheckOpen();
    const bool failed = ::fsync(m_handle) != 0;
    remember(failed);
    if (failed)
        RaiseFileError(ErrWrite);
}

void clsHugeBinaryFile::SeekAbsolute(qint64 NewPosition) {
    CheckOpen();
    const off_t reached = ::lseek(m_handle, static_cast<off_t>(NewPosition), SEEK_SET);
    remember(reached == -1);
    if (reached == -1)
        RaiseFileError(ErrSeek);
    m_position = static_cast<qint64>(reached);
    if (m_position != NewPosition)
        RaiseFileError(ErrSeek);
}

void clsHugeBinaryFile::SeekRelative(qint64 Offset) {
    CheckOpen();
    const off_t reached = ::lseek(m_handle, static_cast<off_t>(Offset), SEEK_CUR);
    remember(reached == -1);
    if (reached == -1)
        RaiseFileError(ErrSeek);
    m_position = static_cast<qint64>(reached);
}

qint64 clsHugeBinaryFile::SeekEOF() {
    CheckOpen();
    const off_t reached = ::lseek(m_handle, 0, SEEK_END);
    remember(reached == -1);
    if (reached == -1)
        RaiseFileError(ErrSeek);
    m_position = static_cast<qint64>(reached);
    if (m_position != FileSize())
        RaiseFileError(ErrSeek);
    return m_position;
}

qint64 clsHugeBinaryFile::SetFileSize(qint64 NewSize) {
    SeekAbsolute(NewSize);
    const bool failed = ::ftruncate(m_handle, static_cast<off_t>(NewSize)) != 0;
    remember(failed);
    if (failed)
        RaiseFileError(ErrSeek);
    const qint64 end = SeekEOF();
    if (end != NewSize)
        RaiseFileError(ErrSeek);
    return end;
}

qint32 clsHugeBinaryFile::GetData(QByteArray& ByteBuffer, qint32 ByteBufferStartIndex,
                                  qint32 NoOfBytesToRead) {
    CheckOpen();
    m_lastError = 0;
    if (ByteBufferStartIndex < 0 || ByteBufferStartIndex >= ByteBuffer.size())
        RaiseFileError(ErrBufferIndex);
    if (ByteBuffer.size() - ByteBufferStartIndex < NoOfBytesToRead)
        RaiseFileError(ErrReadBuffer);
    if (NoOfBytesToRead <= 0)
        return 0;
    char* into = ByteBuffer.data() + ByteBufferStartIndex;
    qint32 done = 0;
    while (done < NoOfBytesToRead) {
        const ssize_t got =
            ::read(m_handle, into + done, static_cast<size_t>(NoOfBytesToRead - done));
        if (got < 0 && errno == EINTR)
            continue;
        remember(got < 0);
        if (got < 0)
            RaiseFileError(ErrRead);
        if (got == 0)
            break;
        done += static_cast<qint32>(got);
    }
    m_position += done;
    return done;
}

qint32 clsHugeBinaryFile::GetDataFromPosition(qint64 FileStartingPosition, QByteArray& ByteBuffer,
                                              qint32 ByteBufferStartIndex, qint32 NoOfBytesToRead) {
    SeekAbsolute(FileStartingPosition);
    return GetData(ByteBuffer, ByteBufferStartIndex, NoOfBytesToRead);
}

qint32 clsHugeBinaryFile::GetDataToFillBuffer(QByteArray& ByteBuffer) {
    return GetData(ByteBuffer, 0, static_cast<qint32>(ByteBuffer.size()));
}

void clsHugeBinaryFile::readExactly(void* into, qint32 size) {
    std::memset(into, 0, static_cast<size_t>(size));
    if (size == 0) {
        CheckOpen();
        return;
    }
    QByteArray bytes(size, '\0');
    const qint32 got = GetData(bytes, 0, size);
    std::memcpy(into, bytes.constData(), static_cast<size_t>(got));
    if (got < size) {
        m_lastError = 0;
        RaiseFileError(ErrRead);
    }
}

// Values are kept in the file in their little-endian memory layout.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "typed file values are little-endian");

void clsHugeBinaryFile::GetDataWord(quint16& wordVar) {
    readExactly(&wordVar, sizeof wordVar);
}

void clsHugeBinaryFile::GetDataLongWord(quint32& longwordVar) {
    readExactly(&longwordVar, sizeof longwordVar);
}

void clsHugeBinaryFile::GetDataSingle(float& singleVar) {
    readExactly(&singleVar, sizeof singleVar);
}

void clsHugeBinaryFile::GetDataDouble(double& doubleVar) {
    readExactly(&doubleVar, sizeof doubleVar);
}

void clsHugeBinaryFile::GetDataCurrency(qint64& currencyVar) {
    readExactly(&currencyVar, sizeof currencyVar);
}

void clsHugeBinaryFile::GetDataDate(double& dateVar) {
    readExactly(&dateVar, sizeof dateVar);
}

void clsHugeBinaryFile::GetDataQuadWord(QList<quint32>& quadWordVar) {
    quadWordVar.fill(0);
    readExactly(quadWordVar.data(), static_cast<qint32>(quadWordVar.size() * 4));
}

qint32 clsHugeBinaryFile::GetDataString(QString& stringVar) {
    CheckOpen();
    if (stringVar.isEmpty()) {
        m_lastError = 0;
        RaiseFileError(ErrReadBuffer);
    }
    QByteArray bytes(stringVar.size(), '\0');
    const qint32 got = GetData(bytes, 0, static_cast<qint32>(bytes.size()));
    bytes.truncate(got);
    stringVar = QString::fromUtf8(bytes);
    return got;
}

void clsHugeBinaryFile::GetDataWordFromPosition(qint64 FileStartingPosition, quint16& wordVar) {
    SeekAbsolute(FileStartingPosition);
    GetDataWord(wordVar);
}

void clsHugeBinaryFile::GetDataLongWordFromPosition(qint64 FileStartingPosition,
                                                    quint32& longwordVar) {
    SeekAbsolute(FileStartingPosition);
    GetDataLongWord(longwordVar);
}

void clsHugeBinaryFile::GetDataSingleFromPosition(qint64 FileStartingPosition, float& singleVar) {
    SeekAbsolute(FileStartingPosition);
    GetDataSingle(singleVar);
}

void clsHugeBinaryFile::GetDataDoubleFromPosition(qint64 FileStartingPosition, double& doubleVar) {
    SeekAbsolute(FileStartingPosition);
    GetDataDouble(doubleVar);
}

void clsHugeBinaryFile::GetDataCurrencyFromPosition(qint64 FileStartingPosition,
                                                    qint64& currencyVar) {
    SeekAbsolute(FileStartingPosition);
    GetDataCurrency(currencyVar);
}

void clsHugeBinaryFile::GetDataDateFromPosition(qint64 FileStartingPosition, double& dateVar) {
    SeekAbsolute(FileStartingPosition);
    GetDataDate(dateVar);
}

void clsHugeBinaryFile::GetDataQuadWordFromPosition(qint64 FileStartingPosition,
                                                    QList<quint32>& quadWordVar) {
    SeekAbsolute(FileStartingPosition);
    GetDataQuadWord(quadWordVar);
}

qint32 clsHugeBinaryFile::GetDataStringFromPosition(qint64 FileStartingPosition,
                                                    QString& stringVar) {
    SeekAbsolute(FileStartingPosition);
    return GetDataString(stringVar);
}

qint32 clsHugeBinaryFile::PutData(const QByteArray& ByteBuffer, qint32 ByteBufferStartIndex,
                                  qint32 NoOfBytesToWrite) {
    CheckOpen();
    m_lastError = 0;
    if (NoOfBytesToWrite <= 0)
        return 0;
    if (ByteBufferStartIndex < 0 || ByteBufferStartIndex >= ByteBuffer.size())
        RaiseFileError(ErrBufferIndex);
    if (ByteBuffer.size() - ByteBufferStartIndex < NoOfBytesToWrite)
        RaiseFileError(ErrWriteBuffer);
    const char* from = ByteBuffer.constData() + ByteBufferStartIndex;
    qint32 done = 0;
    while (done < NoOfBytesToWrite) {
        const ssize_t put =
            ::write(m_handle, from + done, static_cast<size_t>(NoOfBytesToWrite - done));
        if (put < 0 && errno == EINTR)
            continue;
        remember(put < 0);
        if (put <= 0)
            RaiseFileError(ErrWrite);
        done += static_cast<qint32>(put);
    }
    m_position += done;
    if (m_autoFlush)
        Flush();
    return done;
}

qint32 clsHugeBinaryFile::PutDataAtPosition(const QByteArray& ByteBuffer,
                                            qint32 ByteBufferStartIndex, qint32 NoOfBytesToWrite,
                                            qint64 FileStartingPosition) {
    SeekAbsolute(FileStartingPosition);
    return PutData(ByteBuffer, ByteBufferStartIndex, NoOfBytesToWrite);
}

qint32 clsHugeBinaryFile::PutDataAllOfBuffer(const QByteArray& ByteBuffer) {
    return PutData(ByteBuffer, 0, static_cast<qint32>(ByteBuffer.size()));
}

void clsHugeBinaryFile::writeAll(const void* from, qint32 size) {
    const QByteArray bytes(static_cast<const char*>(from), size);
    PutData(bytes, 0, size);
}

void clsHugeBinaryFile::PutDataWord(quint16 wordVar) {
    writeAll(&wordVar, sizeof wordVar);
}

void clsHugeBinaryFile::PutDataLongWord(quint32 longwordVar) {
    writeAll(&longwordVar, sizeof longwordVar);
}

void clsHugeBinaryFile::PutDataSingle(float singleVar) {
    writeAll(&singleVar, sizeof singleVar);
}

void clsHugeBinaryFile::PutDataDouble(double doubleVar) {
    writeAll(&doubleVar, sizeof doubleVar);
}

void clsHugeBinaryFile::PutDataCurrency(qint64 currencyVar) {
    writeAll(&currencyVar, sizeof currencyVar);
}

void clsHugeBinaryFile::PutDataDate(double dateVar) {
    writeAll(&dateVar, sizeof dateVar);
}

void clsHugeBinaryFile::PutDataQuadWord(const QList<quint32>& quadWordVar) {
    CheckOpen();
    if (quadWordVar.size() < 2) {
        m_lastError = 0;
        RaiseFileError(ErrWriteBuffer);
    }
    writeAll(quadWordVar.constData(), 8);
}

qint32 clsHugeBinaryFile::PutDataString(const QString& stringVar) {
    CheckOpen();
    if (stringVar.isEmpty()) {
        m_lastError = 0;
        RaiseFileError(ErrWriteBuffer);
    }
    const QByteArray bytes = stringVar.toUtf8();
    return PutData(bytes, 0, static_cast<qint32>(bytes.size()));
}
