#pragma once

#include <QByteArrayView>
#include <cstdint>

namespace brimlet {

// True when the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF and no sequence cut short at the end.
[[nodiscard]] bool isValidUtf8(QByteArrayView bytes);

// Where the first malformed sequence in [at, end) starts, or null when there is none.
[[nodiscard]] const char* firstMalformedUtf8(const char* at, const char* end);

// The same for a 64-byte block whose non-ASCII bytes are the set bits of `nonAscii`, for scans
// that have those bits at hand. `carried` is how many of the block's first bytes continue a
// sequence begun before it (checked already); it becomes the same for the next block when the
// block is well-formed. Reads on to `end` for a sequence that runs past the block.
[[nodiscard]] const char* firstMalformedUtf8InBlock(const char* block, std::uint64_t nonAscii,
                                                    const char* end, int& carried);

}  // namespace brimlet
