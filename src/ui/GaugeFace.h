#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>
#include <array>
#include <optional>

class QPainter;

namespace brimlet {

// What the gauge shows at one moment, reduced to what decides its pixels: two equal faces draw the
// same picture, so a status item can skip work when nothing it shows has changed.
struct GaugeFace {
    std::array<double, 3> used{};  // used share of each row, 0…1; 0 draws no fill
    bool stale = false;            // fills fade
    std::array<bool, 2> lit{};     // Opus, Fable dot pulsing
    double pulseAlpha = 0;         // opacity of the lit dots; 0 while none is lit

    friend bool operator==(const GaugeFace&, const GaugeFace&) = default;
};

// Where one presentation of the gauge puts its shapes, in Qt coordinates (top-left origin) of a
// canvas `size` units square or wide. Rows top to bottom, dots Opus then Fable.
struct GaugeShapes {
    QSizeF size;
    std::array<QRectF, 3> tracks;
    std::array<QRectF, 2> dots;
    double minFill = 1;  // the narrowest fill drawn: one point of this presentation
};

// Length of a fill for a used share over a track `length` long: none for 0, at least `minFill`.
[[nodiscard]] double fillLength(double used, double length, double minFill);

// Paints the face's tracks, fills and dots over `shapes`, in that order, with the gauge's colours
// and opacities. Paints no background. With `opaqueOver`, every translucent colour is blended over
// that colour beforehand and painted opaque (a fill over its track): the gauge then looks as it
// does on that background whatever it is painted on.
void paintGauge(QPainter& painter, const GaugeShapes& shapes, const GaugeFace& face,
                std::optional<QColor> opaqueOver = std::nullopt);

// A transparent image `pixels` in size with the face painted over the shapes scaled to fit.
[[nodiscard]] QImage gaugeImage(const GaugeShapes& shapes, const GaugeFace& face, QSize pixels,
                                std::optional<QColor> opaqueOver = std::nullopt);

}  // namespace brimlet
