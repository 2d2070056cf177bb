#pragma once

#include <QByteArray>
#include <QImage>

// A GIF of the picture in at most 256 colours, quantized and dithered so that a
// screenshot still looks right. Empty on failure.
QByteArray EncodeGif(const QImage& picture);
