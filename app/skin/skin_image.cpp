#include "app/skin/skin_image.h"

#include <cstdio>

#include <QString>

namespace kvt {

QImage LoadSkinImage(const char* path, QSize size, QColor standIn) {
    QImage image(QString::fromLatin1(path));
    if (!image.isNull()) return image;
    std::fprintf(stderr, "kvt: %s is missing\n", path);
    image = QImage(size, QImage::Format_RGB32);
    image.fill(standIn);
    return image;
}

}  // namespace kvt
