#pragma once

#include <QImage>
#include <QPixmap>

// The prompt's skin, 250 x 110, 24-bit, pure red RGB(255, 0, 0) where the window is cut away.
QImage PromptSkin();
// The close image's two 19 x 19 pictures: 0 normal, 1 under the pointer.
QPixmap CloseImagePicture(int index);
