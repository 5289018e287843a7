#pragma once

#include <QImage>
#include <QList>

#include "ui/GaugeFace.h"

namespace brimlet {

// The gauge as Linux trays want it: most hosts box every icon into a square cell (and one squashes
// it), where the 41 x 22 picture shrinks to bars two pixels thick that merge. This presentation
// draws the same bars and dots into a square 22 points across, laid out anew for each pixel size
// on whole pixels, so that every bar stays at least 3 pixels thick with a gap of its own and every
// dot at least 4 pixels across, down to 16 pixels. Linux panels come light as well as dark, and
// the translucent track and idle dot all but vanish on a light one: here every colour is drawn
// opaque, as it looks over a dark panel, so it reads the same on both.
namespace squareGauge {

inline constexpr int points = 22;
// The dark panel the opaque colours are those of (GNOME's and XFCE's default dark grey).
inline constexpr QColor panelBackdrop{46, 52, 54};

// The pixel sizes offered to hosts, smallest first: each host takes the one nearest its cell, or
// the largest.
[[nodiscard]] const QList<int>& pixelSizes();

// The smallest size laid out on its own; smaller cells get it scaled down.
inline constexpr int smallestPixels = 16;

// The shapes of the square picture `pixels` across, in pixels.
[[nodiscard]] GaugeShapes shapes(int pixels);

// The face drawn into a transparent square image `pixels` across.
[[nodiscard]] QImage image(const GaugeFace& face, int pixels);

}  // namespace squareGauge
}  // namespace brimlet
