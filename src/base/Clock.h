#pragma once

#include <QDateTime>
#include <functional>

namespace brimlet {

// Where a class reads the wall-clock time. Production code uses systemNow; tests pass their own
// clock so that time rules (stale after 450 s, the 20 s window, the pulse) run without sleeping.
using Clock = std::function<QDateTime()>;

[[nodiscard]] inline QDateTime systemNow() {
    return QDateTime::currentDateTimeUtc();
}

}  // namespace brimlet
