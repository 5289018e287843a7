#include "ui/GaugeFace.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

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

double fillLength(double used, double length, double minFill) {
    const double w = length * used;
    return w <= 0 ? 0 : std::max(w, minFill);
}

void paintGauge(QPainter& painter, const GaugeShapes& shapes, const GaugeFace& face) {
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(Qt::NoPen);
    for (std::size_t row = 0; row < shapes.tracks.size(); ++row) {
        const QRectF& track = shapes.tracks.at(row);
        fillRounded(painter, track, withAlpha(deepGreen, trackOpacity));
        const double w = fillLength(face.used.at(row), track.width(), shapes.minFill);
        if (w > 0) {
            fillRounded(painter, QRectF(track.topLeft(), QSizeF(w, track.height())),
                        withAlpha(accent, face.stale ? staleFillOpacity : 1.0));
        }
    }
    for (std::size_t dot = 0; dot < shapes.dots.size(); ++dot) {
        fillRounded(painter, shapes.dots.at(dot),
                    face.lit.at(dot) ? withAlpha(accent, face.pulseAlpha)
                                     : withAlpha(idleGreen, idleDotOpacity));
    }
    painter.restore();
}

QImage gaugeImage(const GaugeShapes& shapes, const GaugeFace& face, QSize pixels) {
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(pixels.width() / shapes.size.width(), pixels.height() / shapes.size.height());
    paintGauge(painter, shapes, face);
    return image;
}

}  // namespace brimlet
