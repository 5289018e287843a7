#include "ui/GaugeRenderer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace brimlet {
namespace {

// The gauge is laid out with the origin at its bottom-left corner; Qt's is at the top left.
QRectF fromBottomLeft(double x, double y, double w, double h) {
    return {x, GaugeRenderer::height - y - h, w, h};
}

// The used share a bucket's bar shows: 0 for a negative or unreadable percentage, full from 100.
double usedShare(double usedPercent) {
    if (usedPercent >= 100) {
        return 1;
    }
    return usedPercent >= 0 ? usedPercent / 100 : 0;  // false for NaN as well
}

}  // namespace

GaugeRenderer::GaugeRenderer(Clock clock, PulseCadence cadence)
    : clock_(std::move(clock)), cadence_(cadence), lastTick_(clock_()) {}

double GaugeRenderer::fillWidth(double usedPercent) {
    return fillLength(usedShare(usedPercent), gaugeW, 1);
}

bool GaugeRenderer::advance() {
    const QDateTime now = clock_();
    // A clock set backwards gives no step rather than a negative one.
    const double dt = std::max<qint64>(0, lastTick_.msecsTo(now)) / 1000.0;
    lastTick_ = now;
    const double rate = std::max(activity.opusRate, activity.fableRate);
    if (isActiveRate(rate)) {
        phase_ += dt / cadence_.period(rate);
        if (phase_ > 2) {
            phase_ -= 2;
        }
        return true;
    }
    const bool wasPulsing = phase_ != 0;
    phase_ = 0;
    return wasPulsing;
}

GaugeFace GaugeRenderer::face() const {
    GaugeFace face;
    for (qsizetype row = 0; row < std::min<qsizetype>(rows, buckets.size()); ++row) {
        face.used.at(row) = usedShare(buckets.at(row).usedPercent());
    }
    face.stale = stale;
    face.lit = {isActiveRate(activity.opusRate), isActiveRate(activity.fableRate)};
    if (face.lit[0] || face.lit[1]) {
        // How far the dot is from dim to bright; where the cadence allows only a few opacities,
        // the nearest, so that steps between two of them show the same picture.
        double lift = std::abs(std::sin(std::numbers::pi * phase_));
        if (cadence_.opacities > 1) {
            const double steps = cadence_.opacities - 1;
            lift = std::round(lift * steps) / steps;
        }
        face.pulseAlpha = 0.35 + 0.65 * lift;
    }
    return face;
}

GaugeShapes GaugeRenderer::shapes() {
    GaugeShapes shapes{QSizeF(width, height), {}, {}, 1};
    const double blockH = rows * barH + (rows - 1) * barGap;
    const double topRowY = (height + blockH) / 2 - barH;
    for (int row = 0; row < rows; ++row) {
        shapes.tracks.at(row) =
            fromBottomLeft(padding, topRowY - row * (barH + barGap), gaugeW, barH);
    }
    const double dotX = padding + gaugeW + groupGap;
    const double upperY = (height + 2 * dotD + dotGap) / 2 - dotD;
    shapes.dots = {fromBottomLeft(dotX, upperY, dotD, dotD),
                   fromBottomLeft(dotX, upperY - (dotD + dotGap), dotD, dotD)};
    return shapes;
}

QImage GaugeRenderer::image() const {
    return imageOf(face());
}

QImage GaugeRenderer::imageOf(const GaugeFace& face) {
    const QSize pixels(static_cast<int>(width * imageScale), static_cast<int>(height * imageScale));
    QImage image = gaugeImage(shapes(), face, pixels);
    image.setDevicePixelRatio(imageScale);
    return image;
}

void GaugeRenderer::draw(QPainter& painter) const {
    paintGauge(painter, shapes(), face());
}

}  // namespace brimlet
