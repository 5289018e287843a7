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

// `colour` at `alpha`: translucent, or blended over `under` where there is one.
QColor shade(const QColor& colour, double alpha, const std::optional<QColor>& under) {
    if (!under) {
        return withAlpha(colour, alpha);
    }
    const auto mix = [alpha](float over, float below) {
        return alpha * over + (1 - alpha) * below;
    };
    return QColor::fromRgbF(static_cast<float>(mix(colour.redF(), under->redF())),
                            static_cast<float>(mix(colour.greenF(), under->greenF())),
                            static_cast<float>(mix(colour.blueF(), under->blueF())));
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

void paintGauge(QPainter& painter, const GaugeShapes& shapes, const GaugeFace& face,
                std::optional<QColor> opaqueOver) {
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setPen(Qt::NoPen);
    const QColor track = shade(deepGreen, trackOpacity, opaqueOver);
    const QColor fill =
        shade(accent, face.stale ? staleFillOpacity : 1.0, opaqueOver ? track : opaqueOver);
    for (std::size_t row = 0; row < shapes.tracks.size(); ++row) {
        const QRectF& trackRect = shapes.tracks.at(row);
        fillRounded(painter, trackRect, track);
        const double w = fillLength(face.used.at(row), trackRect.width(), shapes.minFill);
        if (w > 0) {
            fillRounded(painter, QRectF(trackRect.topLeft(), QSizeF(w, trackRect.height())), fill);
        }
    }
    for (std::size_t dot = 0; dot < shapes.dots.size(); ++dot) {
        fillRounded(painter, shapes.dots.at(dot),
                    face.lit.at(dot) ? shade(accent, face.pulseAlpha, opaqueOver)
                                     : shade(idleGreen, idleDotOpacity, opaqueOver));
    }
    painter.restore();
}

QImage gaugeImage(const GaugeShapes& shapes, const GaugeFace& face, QSize pixels,
                  std::optional<QColor> opaqueOver) {
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(pixels.width() / shapes.size.width(), pixels.height() / shapes.size.height());
    paintGauge(painter, shapes, face, opaqueOver);
    return image;
}

}  // namespace brimlet
