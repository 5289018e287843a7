#pragma once

#include <QByteArrayView>

#include "activity/ReplyLedger.h"

namespace brimlet {

// Output tokens of Opus and of Fable replies, summed over some transcript lines.
struct TokenSums {
    double opus = 0;
    double fable = 0;

    TokenSums& operator+=(const TokenSums& other) {
        opus += other.opus;
        fable += other.fable;
        return *this;
    }
};

// The output tokens that the lines of one chunk of transcript bytes add (lineUsage), each reply
// counted once across every chunk that `replies` has seen. Only lines holding the key
// "output_tokens" in double quotes are parsed at all, and a line counts only when it is
// well-formed UTF-8: a malformed one is skipped, the lines around it still count.
[[nodiscard]] TokenSums chunkTokens(QByteArrayView chunk, ReplyLedger& replies);

}  // namespace brimlet
