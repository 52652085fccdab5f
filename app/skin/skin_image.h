#pragma once

#include <QColor>
#include <QImage>
#include <QSize>

namespace kvt {

// The compiled-in skin bitmap at `path` (":/skin/..."). Without it the window still works:
// the missing file is named on stderr and a plain `size` image in `standIn` takes its place.
QImage LoadSkinImage(const char* path, QSize size, QColor standIn);

}  // namespace kvt
