#pragma once

#include <QImage>

#include "ui/GaugeFace.h"
#include "ui/sni/DBusTypes.h"

namespace brimlet {

// The image as one StatusNotifierItem bitmap: non-premultiplied ARGB32, each pixel's bytes in
// network order A, R, G, B, rows top to bottom.
[[nodiscard]] IconPixmap iconPixmap(const QImage& image);

// The bitmaps of the item: the square gauge at each of its pixel sizes, so that each host takes
// the one nearest its cell instead of scaling one.
[[nodiscard]] IconPixmapList squareIconPixmaps(const GaugeFace& face);

}  // namespace brimlet
