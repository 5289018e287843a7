#pragma once

#include <QColor>

namespace brimlet {

// The gauge's three colours, opaque sRGB. Painters replace the alpha where they need a fade.
inline constexpr QColor accent{255, 92, 31};     // bar fills, lit activity dots
inline constexpr QColor deepGreen{22, 122, 62};  // bar tracks
inline constexpr QColor idleGreen{52, 199, 89};  // dots of idle models

}  // namespace brimlet
