#pragma once

#include <QDateTime>
#include <QTimeZone>
#include <atomic>

#include "base/Clock.h"

namespace brimlet::test {

// A wall clock that moves only when told. Read from the monitor's worker, moved from the test.
class FakeClock {
  public:
    explicit FakeClock(const QDateTime& start) : msecs_(start.toMSecsSinceEpoch()) {}

    [[nodiscard]] QDateTime now() const {
        return QDateTime::fromMSecsSinceEpoch(msecs_.load(), QTimeZone::utc());
    }
    void advance(qint64 msecs) { msecs_ += msecs; }
    // The clock to hand to the code under test; it must not outlive this object.
    [[nodiscard]] Clock clock() const {
        return [this] { return now(); };
    }

  private:
    std::atomic<qint64> msecs_;
};

}  // namespace brimlet::test
