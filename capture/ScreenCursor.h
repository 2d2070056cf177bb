#pragma once

#include <QCursor>

// The overlay's arrow: 32 x 32 with its hot spot at (6, 5), near the tip.
QCursor ScreenCursor();
