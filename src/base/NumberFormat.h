#pragma once

#include <QString>

namespace brimlet {

// `value` as C's printf("%.0f") writes it: ties go to the even neighbour (12.5 → 12, 87.5 → 88),
// matching the program's other printf-formatted output. Qt's own formatting rounds ties away
// from zero, so it is not used here.
[[nodiscard]] QString printfWhole(double value);

// The shortest text that reads back as `value`, with at least one fractional digit: 41 → "41.0",
// 0.1 → "0.1", -1 → "-1.0". Exponent forms and nan/inf stay as they are.
[[nodiscard]] QString decimalWithFraction(double value);

}  // namespace brimlet
