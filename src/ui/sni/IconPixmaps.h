#pragma once

#include <QImage>
#include <QSize>

#include "ui/sni/DBusTypes.h"

namespace brimlet {

// The image as one StatusNotifierItem bitmap: non-premultiplied ARGB32, each pixel's bytes in
// network order A, R, G, B, rows top to bottom.
[[nodiscard]] IconPixmap iconPixmap(const QImage& image);

// The bitmaps of an icon `points` in size: the image scaled to exactly that many pixels and to
// twice as many, so that each host picks the sharp one for its scale. None for a null image.
[[nodiscard]] IconPixmapList iconPixmaps(const QImage& image, QSize points);

}  // namespace brimlet
