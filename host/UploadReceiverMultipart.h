#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

// The multipart/form-data side of an upload: the file part of a body read as it arrives,
// and what of the client's file name may reach a stored name.

// Why a multipart body was refused.
enum class MultipartError {
    None,
    Malformed, // a delimiter line or part header that does not parse
    Truncated, // the body ends before the closing delimiter
    NoFile,    // no part with a non-empty file name
};

// The boundary of a "multipart/form-data" Content-Type value; "" when the type differs or
// the boundary is missing or not a valid one (1 to 70 of the characters the MIME rules allow).
QByteArray MultipartBoundary(QByteArrayView contentType);

// Reads a multipart body piece by piece, in pieces of any size (a delimiter may straddle
// two of them), and hands the bytes of the first part with a non-empty file name to a sink
// as they arrive; only what may still be the start of a delimiter is held back. Everything
// else of the body is passed over.
class MultipartFileReader {
public:
    // Returns false when the bytes could not be kept; reading stops there.
    using Sink = std::function<bool(QByteArrayView)>;

    MultipartFileReader(QByteArrayView boundary, Sink sink);

    // False once the body is known to be refused (see error()) or the sink failed.
    bool feed(QByteArrayView bytes);
    // At the end of the body: None when it was whole and held a file part.
    MultipartError finish();

    MultipartError error() const { return m_error; }
    bool sinkFailed() const { return m_sinkFailed; }
    // The file part's file name, once its headers were read.
    QByteArray fileName() const { return m_fileName; }

private:
    enum class State { Preamble, AfterDelimiter, PartHeaders, Content, Epilogue, Failed };

    bool step();
    bool fail(MultipartError error);

    QByteArray m_delimiter; // CR LF "--" boundary
    Sink m_sink;
    State m_state = State::Preamble;
    QByteArray m_buffer;
    MultipartError m_error = MultipartError::None;
    bool m_sinkFailed = false;
    bool m_found = false;
    bool m_inFile = false;
    QByteArray m_fileName;
};

// The first file part of a complete body, read in one piece.
struct MultipartFile {
    QByteArray fileName;
    QByteArray content;
};
MultipartError ParseMultipartFile(QByteArrayView body, QByteArrayView boundary,
                                  MultipartFile* file);

// The only part of a client's file name that may reach a stored name: its extension when that
// is 1 to 10 ASCII letters or digits, in lower case; "" otherwise.
QString SafeExtension(QByteArrayView fileName);

// Whether a name is one this receiver could have given a stored file.
bool IsStoredName(QByteArrayView name);
