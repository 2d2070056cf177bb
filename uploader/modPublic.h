#pragma once

#include <QByteArray>
#include <QString>

// Text and bytes in a character set known by name, as the stream object converts them;
// "utf-8" and "unicode" come without their byte-order marks. Unknown names raise the
// stream's ScriptError.
QByteArray TextToBytes(const QString& text, const QString& charset);
QString BytesToText(const QByteArray& bytes, const QString& charset);
// Letters and digits stay, a blank becomes "+", every other byte of the text in the
// character set becomes "%" and two upper-case hexadecimal digits.
QString UrlEncode(const QString& text, const QString& charset);
// A synchronous GET; the body decoded as UTF-8 on status 200, "" on any failure.
QString HttpGetText(const QString& address);
