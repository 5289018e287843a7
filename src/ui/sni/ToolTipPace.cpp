#include "ui/sni/ToolTipPace.h"

#include <algorithm>

namespace brimlet {

ToolTipPace::Step ToolTipPace::settle(qint64 nowMs) {
    if (latest_ == told_) {
        return {};
    }
    // The later of the two moments that hold the change back; a clock that went backwards
    // holds it no longer than one full wait.
    qint64 wait = 0;
    if (openedAt_) {
        wait = std::clamp<qint64>(*openedAt_ + menuOpenAtMostMs - nowMs, 0, menuOpenAtMostMs);
    }
    if (toldAt_) {
        wait = std::max(wait, std::clamp<qint64>(*toldAt_ + everyMs - nowMs, 0, everyMs));
    }
    if (wait > 0) {
        return {false, wait};
    }
    openedAt_.reset();
    told_ = latest_;
    toldAt_ = nowMs;
    return {true, std::nullopt};
}

}  // namespace brimlet
