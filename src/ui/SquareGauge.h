#pragma once

#include <QImage>
#include <QList>

#include "ui/GaugeFace.h"

namespace brimlet {

// The gauge as Linux trays want it: most hosts box every icon into a square cell (and one squashes
// it), where the 41 x 22 picture shrinks to bars two pixels thick that merge. This presentation
// draws the same bars and dots, colours and opacities into a square 22 points across, laid out
// anew for each pixel size on whole pixels, so that every bar stays at least 3 pixels thick with
// a gap of its own and every dot at least 4 pixels across, down to 16 pixels.
namespace squareGauge {

inline constexpr int points = 22;

// The pixel sizes offered to hosts, smallest first: each host takes the one nearest its cell.
[[nodiscard]] const QList<int>& pixelSizes();

// The shapes of the square picture `pixels` across, in pixels.
[[nodiscard]] GaugeShapes shapes(int pixels);

// The face drawn into a transparent square image `pixels` across.
[[nodiscard]] QImage image(const GaugeFace& face, int pixels);

}  // namespace squareGauge
}  // namespace brimlet
