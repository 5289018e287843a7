#pragma once

#include <QDateTime>

namespace brimlet {

// The output tokens that one model family's lines reported in one tick, stamped with when they
// were read (not a time taken from the lines).
struct TokenEvent {
    QDateTime at;
    bool isFable = false;
    double tokens = 0;
};

}  // namespace brimlet
