#include "ui/SquareGauge.h"

#include <algorithm>
#include <cmath>

namespace brimlet::squareGauge {
namespace {

// The layout at 22 pixels, scaled to other sizes and rounded to whole pixels, with floors that
// keep small sizes legible.
struct Minimum {
    double design;  // pixels at 22
    int floor;      // never fewer than this
};
constexpr Minimum barH{4, 3};
constexpr Minimum barGap{2, 2};
constexpr Minimum dotD{5, 4};
constexpr Minimum dotGap{3, 2};
constexpr Minimum padding{1, 1};
constexpr Minimum groupGap{2, 1};
constexpr int rows = 3;

int scaled(Minimum length, int pixels) {
    return std::max(length.floor, static_cast<int>(std::lround(length.design * pixels / points)));
}

}  // namespace

const QList<int>& pixelSizes() {
    // Cells seen: GNOME 16, waybar its icon size (20 unless set), Plasma and LXQt 22; XFCE takes
    // the largest and halves it.
    static const QList<int> sizes{16, 18, 20, 22, 24, 44};
    return sizes;
}

GaugeShapes shapes(int pixels) {
    const int bar = scaled(barH, pixels);
    const int gap = scaled(barGap, pixels);
    const int dot = scaled(dotD, pixels);
    const int pad = scaled(padding, pixels);
    const int dotX = pixels - pad - dot;
    const int trackW = dotX - scaled(groupGap, pixels) - pad;
    const int barsTop = (pixels - (rows * bar + (rows - 1) * gap)) / 2;
    const int dotsTop = (pixels - (2 * dot + scaled(dotGap, pixels))) / 2;

    // A fill keeps its one-point minimum, but never less than a whole pixel.
    GaugeShapes shapes{QSizeF(pixels, pixels), {}, {}, std::max(1.0, double(pixels) / points)};
    for (int row = 0; row < rows; ++row) {
        shapes.tracks.at(row) = QRectF(pad, barsTop + row * (bar + gap), trackW, bar);
    }
    shapes.dots = {QRectF(dotX, dotsTop, dot, dot),
                   QRectF(dotX, dotsTop + dot + scaled(dotGap, pixels), dot, dot)};
    return shapes;
}

QImage image(const GaugeFace& face, int pixels) {
    return gaugeImage(shapes(pixels), face, QSize(pixels, pixels), panelBackdrop);
}

}  // namespace brimlet::squareGauge
