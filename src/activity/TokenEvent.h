#pragma once

#include <QDateTime>

namespace brimlet {

// One counted transcript line: when its chunk was read (not a time taken from the line), which
// model family wrote it and how many output tokens it reported.
struct TokenEvent {
    QDateTime at;
    bool isFable = false;
    double tokens = 0;
};

}  // namespace brimlet
