#pragma once

#include <QByteArray>
#include <QString>

// Reads the frame size of a Flash movie, plain ("FWS") or with a zlib-compressed body
// ("CWS"). Only the frame rectangle is read: a compressed body is inflated just far enough
// to hold it, whatever length the header announces.
class cFlashHeader {
public:
    // `errorText` is the page's Error field; Parse clears it when it starts.
    explicit cFlashHeader(QString& errorText);

    // True when the frame size was read; Width and Height are then set. Error holds
    // "InvalidFile:swf" for a missing file or another extension, and stays "" for a file
    // that is no Flash movie.
    bool Parse(const QString& s_File);

    qint16 Width() const { return m_width; }
    qint16 Height() const { return m_height; }

private:
    QString& m_errorText;
    qint16 m_width = 0;
    qint16 m_height = 0;
};

// The frame rectangle of a movie's uncompressed bytes from offset 8 on: a 5-bit field
// width, then Xmin, Xmax, Ymin, Ymax as signed numbers of that width, most significant
// bit first. Bytes needed for a rectangle whose first byte is `first`.
qsizetype FrameRectangleBytes(quint8 first);
struct FrameRectangle {
    qint64 xMin = 0;
    qint64 xMax = 0;
    qint64 yMin = 0;
    qint64 yMax = 0;
};
// False when the bytes are too few or the field width is 0.
bool ReadFrameRectangle(const QByteArray& bytes, FrameRectangle& rectangle);
