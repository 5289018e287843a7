#include "quota/Bucket.h"

#include <algorithm>

namespace brimlet {

double Bucket::remaining() const {
    return std::max(0.0, std::min(100.0, 100.0 - usedPercent_));
}

}  // namespace brimlet
