#pragma once

#include <QByteArray>
#include <QString>

class RegularFile;

// The data stream object: a growable buffer read and written at a position, either as
// bytes (Type 1) or as text in a named character set (Type 2). Character sets go through
// ICU; "ASCII" replaces what it cannot encode with "?", "utf-8" and "unicode" (UTF-16LE)
// start a text stream with their byte-order marks. Failures raise ScriptError.
class Stream {
public:
    static constexpr qint32 TypeBinary = 1;
    static constexpr qint32 TypeText = 2;
    static constexpr qint32 SeparatorCrLf = -1;
    static constexpr qint32 SeparatorLf = 10;
    static constexpr qint32 SeparatorCr = 13;
    static constexpr qint32 WriteLine = 1;
    static constexpr qint32 ReadAll = -1;

    qint32 Mode = 0;

    qint32 Type() const { return m_type; }
    // Only at position 0, as the original object demands.
    void setType(qint32 type);
    QString Charset() const { return m_charset; }
    void setCharset(const QString& charset);
    qint32 LineSeparator() const { return m_separator; }
    void setLineSeparator(qint32 separator);

    qint64 Position() const;
    void setPosition(qint64 position);
    qint64 Size() const;

    void Open();
    void Close();
    void LoadFromFile(const QString& path);
    // Loads from a file the caller has already opened (and checked), so that what is read
    // is the file that was checked.
    void LoadFromFile(RegularFile& file);
    void SaveToFile(const QString& path) const;

    void Write(const QByteArray& bytes);
    QByteArray Read(qint64 count = ReadAll);
    void WriteText(const QString& text, qint32 option = 0);
    QString ReadText(qint64 count = ReadAll);

private:
    void requireOpen() const;
    void writeBytes(const QByteArray& bytes);

    bool m_open = false;
    qint32 m_type = TypeBinary;
    QString m_charset = QStringLiteral("unicode");
    qint32 m_separator = SeparatorCrLf;
    QByteArray m_data;
    qint64 m_position = 0;
};

// Text <-> bytes in a character set known by name (the names the platform's streams
// accept: "ASCII", "utf-8", "unicode", "windows-1252", "gb2312", ...).
QByteArray EncodeCharset(const QString& text, const QString& charset);
QString DecodeCharset(const QByteArray& bytes, const QString& charset);
