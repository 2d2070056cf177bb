#pragma once

#include <QString>
#include <exception>

// An error that reaches page script as an exception: the runtime's error number, the
// component that raised it and a description.
class ScriptError : public std::exception {
public:
    ScriptError(qint32 number, QString description, QString source = QStringLiteral("Tessarex"));

    qint32 number() const { return m_number; }
    const QString& source() const { return m_source; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    qint32 m_number;
    QString m_source;
    QString m_description;
    QByteArray m_what;
};

// Error numbers of the runtime that page script sees.
namespace ScriptErrorNumber {
inline constexpr qint32 InvalidCall = 5;
inline constexpr qint32 Overflow = 6;
inline constexpr qint32 OutOfStack = 28;
inline constexpr qint32 FileNotFound = 53;
inline constexpr qint32 FileIo = 57;
inline constexpr qint32 PermissionDenied = 70;
inline constexpr qint32 PathFileAccess = 75;
inline constexpr qint32 PathNotFound = 76;
inline constexpr qint32 CannotCreateObject = 429;
inline constexpr qint32 NoSuchMember = 438;
inline constexpr qint32 WrongArguments = 450;
inline constexpr qint32 RegexSyntax = 5017;
} // namespace ScriptErrorNumber
