#pragma once

#include <QImage>
#include <QString>

// Saves a picture in the encoding its file name's extension names: png, jpg (quality
// 100) or gif (colours reduced to a palette of 256). False when nothing was written.
bool SavePictureFile(const QImage& image, const QString& path);
