#pragma once

#include <QByteArrayView>
#include <vector>

#include "activity/LineUsage.h"

namespace brimlet {

// The usages reported by the lines of one chunk of transcript bytes, in line order. A chunk that is
// not valid UTF-8 as a whole gives none. Only lines holding the key "output_tokens" in double
// quotes are parsed at all.
[[nodiscard]] std::vector<LineUsage> chunkUsages(QByteArrayView chunk);

}  // namespace brimlet
