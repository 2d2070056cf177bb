#pragma once

#include <QByteArray>
#include <QString>

struct CallState;

// Sends one file of the run as a multipart POST, or skips it (records "" and goes on).
// Returns true when the file was skipped (its SavedNames entry is "" and the run goes on
// with the next file at once); false when a request is on its way or the run stopped.
bool UploadFile(CallState& s, const QString& path, const QString& address);

// "7d51" and two five-digit pseudo-random numbers.
QString MakeBoundaryToken();
