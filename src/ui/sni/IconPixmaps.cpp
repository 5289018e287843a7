#include "ui/sni/IconPixmaps.h"

#include <QtEndian>

#include "ui/SquareGauge.h"

namespace brimlet {

// An ARGB32 pixel is the word 0xAARRGGBB: written big-endian, its bytes come in network order.
IconPixmap iconPixmap(const QImage& image) {
    const auto argb = image.convertToFormat(QImage::Format_ARGB32);
    IconPixmap pixmap{argb.width(), argb.height(), {}};
    pixmap.bytes.resize(qsizetype{4} * argb.width() * argb.height());
    char* out = pixmap.bytes.data();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* const line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x, out += 4) {
            qToBigEndian<quint32>(line[x], out);
        }
    }
    return pixmap;
}

IconPixmapList squareIconPixmaps(const GaugeFace& face) {
    IconPixmapList pixmaps;
    for (const int pixels : squareGauge::pixelSizes()) {
        pixmaps.append(iconPixmap(squareGauge::image(face, pixels)));
    }
    return pixmaps;
}

}  // namespace brimlet
