#pragma once

#include <QString>

namespace brimlet {

// `value` as C's printf("%.0f") writes it: ties go to the even neighbour (12.5 → 12, 87.5 → 88),
// matching the program's other printf-formatted output. Qt's own formatting rounds ties away
// from zero, so it is not used here.
[[nodiscard]] QString printfWhole(double value);

}  // namespace brimlet
