#pragma once

#include <QByteArrayView>

namespace brimlet {

// True when the bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above
// U+10FFFF and no sequence cut short at the end.
[[nodiscard]] bool isValidUtf8(QByteArrayView bytes);

// The same check for the sequences that start in [at, limit), reading on to `end` for one that
// runs past `limit`, for scans that visit the bytes a block at a time for other reasons too.
// False at a malformed sequence; else `at` is moved to where the next one starts (at or past
// `limit`).
[[nodiscard]] bool checkUtf8Until(const char*& at, const char* limit, const char* end);

}  // namespace brimlet
