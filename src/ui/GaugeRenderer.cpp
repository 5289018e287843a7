#include "ui/GaugeRenderer.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "ui/Colours.h"

namespace brimlet {
namespace {

constexpr double trackOpacity = 0.7;
constexpr double staleFillOpacity = 0.45;
constexpr double idleDotOpacity = 0.55;

QColor withAlpha(QColor colour, double alpha) {
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

// Corner radii are half the height; the horizontal one never exceeds half the width, so a fill
// narrower than a bar is thick still ends in a (squeezed) round cap.
void fillRounded(QPainter& painter, const QRectF& rect, const QColor& colour) {
    const double ry = rect.height() / 2;
    const double rx = std::min(ry, rect.width() / 2);
    QPainterPath path;
    path.addRoundedRect(rect, rx, ry);
    painter.setBrush(colour);
    painter.drawPath(path);
}

}  // namespace

GaugeRenderer::GaugeRenderer(Clock clock) : clock_(std::move(clock)), lastTick_(clock_()) {}

double GaugeRenderer::fillWidth(double usedPercent) {
    double fraction = 0;
    if (usedPercent >= 100) {
        fraction = 1;
    } else if (usedPercent >= 0) {  // false for NaN as well
        fraction = usedPercent / 100;
    }
    const double w = gaugeW * fraction;
    return w <= 0 ? 0 : std::max(w, 1.0);
}

double GaugeRenderer::pulsePeriod(double rate) {
    constexpr double fastest = 0.25;
    return rate > 60 ? fastest : std::max(fastest, 0.9 - 0.65 * rate / 60);
}

bool GaugeRenderer::advance() {
    const QDateTime now = clock_();
    // A clock set backwards gives no step rather than a negative one.
    const double dt = std::max<qint64>(0, lastTick_.msecsTo(now)) / 1000.0;
    lastTick_ = now;
    const double rate = std::max(activity.opusRate, activity.fableRate);
    if (isActiveRate(rate)) {
        phase_ += dt / pulsePeriod(rate);
        if (phase_ > 2) {
            phase_ -= 2;
        }
        return true;
    }
    const bool wasPulsing = phase_ != 0;
    phase_ = 0;
    return wasPulsing;
}

QImage GaugeRenderer::image() const {
    QImage image(static_cast<int>(width * imageScale), static_cast<int>(height * imageScale),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(imageScale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return image;
}

void GaugeRenderer::draw(QPainter& painter) const {
    painter.save();
    // The one place where Qt's top-left origin becomes the gauge's bottom-left one.
    painter.translate(0, height);
    painter.scale(1, -1);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(Qt::NoPen);
    drawBars(painter);
    drawDots(painter);
    painter.restore();
}

void GaugeRenderer::drawBars(QPainter& painter) const {
    const double blockH = rows * barH + (rows - 1) * barGap;
    const double topRowY = (height + blockH) / 2 - barH;
    for (int row = 0; row < rows; ++row) {
        const double y = topRowY - row * (barH + barGap);
        fillRounded(painter, QRectF(padding, y, gaugeW, barH), withAlpha(deepGreen, trackOpacity));
        if (row >= buckets.size()) {
            continue;
        }
        const double w = fillWidth(buckets.at(row).usedPercent());
        if (w > 0) {
            fillRounded(painter, QRectF(padding, y, w, barH),
                        withAlpha(accent, stale ? staleFillOpacity : 1.0));
        }
    }
}

void GaugeRenderer::drawDots(QPainter& painter) const {
    const double x = padding + gaugeW + groupGap;
    const double upperY = (height + 2 * dotD + dotGap) / 2 - dotD;
    const double lowerY = upperY - (dotD + dotGap);
    const double pulseAlpha = 0.35 + 0.65 * std::abs(std::sin(std::numbers::pi * phase_));
    const auto dotColour = [pulseAlpha](double rate) {
        return isActiveRate(rate) ? withAlpha(accent, pulseAlpha)
                                  : withAlpha(idleGreen, idleDotOpacity);
    };
    fillRounded(painter, QRectF(x, upperY, dotD, dotD), dotColour(activity.opusRate));
    fillRounded(painter, QRectF(x, lowerY, dotD, dotD), dotColour(activity.fableRate));
}

}  // namespace brimlet
