#pragma once

#include <QString>

// Pictures that a browser or the office suite put into pasted HTML as
// data:image/...;base64 addresses exist only on this machine: each quoted one becomes a
// file in `folder` (name: `timestamp`, a three-digit counter, the picture's extension)
// and its reference a double-quoted "file:///" address, so that the local upload run
// sends it like any other local picture. Data that is not a picture of a known type,
// does not decode, or is larger than `maxBytes` decoded stays as it is.
QString SaveEmbeddedPictures(const QString& html, const QString& folder, const QString& timestamp,
                             qint64 maxBytes = qint64(64) << 20);
