#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

class ScratchFolder;

// Word and Excel files for the office tests, written as flat ODF by hand and converted
// by the office engine itself. Each returns the path of the new file.

// A PNG of a red square on blue, for documents with pictures.
QByteArray SamplePicture(int size = 64);
// `pages` pages of text separated by page breaks; `pictures` embedded pictures on the first.
QString MakeWordDocument(const ScratchFolder& dir, const QString& name, int pages, int pictures = 0,
                         const QString& password = {});
// Sheets in order; an entry "" is an empty sheet, a name starting with "~" is hidden
// (the "~" is not part of the name). Each sheet that is not empty holds its name in A1
// and a number in B2.
QString MakeWorkbook(const ScratchFolder& dir, const QString& name, const QStringList& sheets);
// Runs a document through the office unchanged apart from the format (`filter`).
QString ConvertWithOffice(const QString& source, const QString& target, const QString& filter,
                          const QString& password = {});
// A document with a dark pixel: something was rendered.
bool HasInk(const QString& picturePath);
// Pixels of a clear colour (not grey): the bars of a chart, not its axes and labels.
int ColouredPixels(const QString& picturePath);

// Lets test messages show texts.
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << text.toStdString();
}
