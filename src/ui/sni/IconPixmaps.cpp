#include "ui/sni/IconPixmaps.h"

#include "ui/SquareGauge.h"

namespace brimlet {

IconPixmap iconPixmap(const QImage& image) {
    const auto argb = image.convertToFormat(QImage::Format_ARGB32);
    IconPixmap pixmap{argb.width(), argb.height(), {}};
    pixmap.bytes.reserve(qsizetype{4} * argb.width() * argb.height());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* const line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const auto pixel = line[x];
            pixmap.bytes.append(static_cast<char>(qAlpha(pixel)));
            pixmap.bytes.append(static_cast<char>(qRed(pixel)));
            pixmap.bytes.append(static_cast<char>(qGreen(pixel)));
            pixmap.bytes.append(static_cast<char>(qBlue(pixel)));
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
