#pragma once

#include <QByteArrayView>
#include <cstdint>

namespace brimlet {

// True when the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF and no sequence cut short at the end.
[[nodiscard]] bool isValidUtf8(QByteArrayView bytes);

// The same check for the sequences that start in [at, limit), reading on to `end` for one that
// runs past `limit`, for scans that visit the bytes a block at a time for other reasons too.
// False at a malformed sequence; else `at` is moved to where the next one starts (at or past
// `limit`).
[[nodiscard]] bool checkUtf8Until(const char*& at, const char* limit, const char* end);

// The same check for a 64-byte block whose non-ASCII bytes are the set bits of `nonAscii`, for
// scans that have those bits at hand. `carried` is how many of the block's first bytes continue a
// sequence begun before it (checked already); it becomes the same for the next block. Reads on to
// `end` for a sequence that runs past the block.
[[nodiscard]] bool checkUtf8Block(const char* block, std::uint64_t nonAscii, const char* end,
                                  int& carried);

}  // namespace brimlet
