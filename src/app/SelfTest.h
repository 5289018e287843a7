#pragma once

#include <QString>

namespace brimlet {

// One real poll, its buckets printed, and the gauge written as a PNG at `out` (taken as given,
// relative to the current folder). Returns the process's exit status.
[[nodiscard]] int runSelfTest(const QString& out);

}  // namespace brimlet
