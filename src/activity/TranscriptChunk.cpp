#include "activity/TranscriptChunk.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

#include "activity/ByteVectors.h"
#include "activity/Utf8Validation.h"

namespace brimlet {
namespace {

constexpr char kQuotedKey[] = "\"output_tokens\"";
constexpr qsizetype kKeyLength = sizeof kQuotedKey - 1;
// Two bytes of the key that seldom stand three apart elsewhere: they pick the few places worth
// comparing in full.
constexpr qsizetype kUnderscoreAt = 7;
constexpr qsizetype kLetterKAt = 10;

bool isKeyAt(const char* at) {
    return std::memcmp(at, kQuotedKey, kKeyLength) == 0;
}

// Places in the 64 bytes from `at` where the two telling bytes of the key stand.
std::uint64_t keyCandidates(const char* at) {
    const auto lanes = [at](int offset) {
        return (bytes::load(at + kUnderscoreAt + offset) == bytes::splat('_')) &
               (bytes::load(at + kLetterKAt + offset) == bytes::splat('k'));
    };
    return std::uint64_t{bytes::laneBits(lanes(0))} |
           std::uint64_t{bytes::laneBits(lanes(16))} << 16 |
           std::uint64_t{bytes::laneBits(lanes(32))} << 32 |
           std::uint64_t{bytes::laneBits(lanes(48))} << 48;
}

// Offsets of every occurrence of the quoted key in the chunk, in order; nothing when the chunk is
// not valid UTF-8. Both are found in one pass over the chunk, a block at a time.
std::optional<std::vector<qsizetype>> keyPlaces(QByteArrayView chunk) {
    const char* const begin = chunk.data();
    const char* const end = begin + chunk.size();
    std::vector<qsizetype> places;
    const char* checked = begin;  // UTF-8 is checked up to here
    const char* at = begin;
    for (; end - at >= bytes::kBlockBytes + kKeyLength; at += bytes::kBlockBytes) {
        const bytes::Block block = bytes::loadBlock(at);
        const bytes::Vector merged =
            block.lanes[0] | block.lanes[1] | block.lanes[2] | block.lanes[3];
        if (bytes::laneBits(merged) != 0) {
            checked = std::max(checked, at);
            if (!checkUtf8Until(checked, at + bytes::kBlockBytes, end)) {
                return std::nullopt;
            }
        }
        for (std::uint64_t candidates = keyCandidates(at); candidates != 0;
             candidates &= candidates - 1) {
            const char* const place = at + std::countr_zero(candidates);
            if (isKeyAt(place)) {
                places.push_back(place - begin);
            }
        }
    }
    checked = std::max(checked, at);
    if (!checkUtf8Until(checked, end, end)) {
        return std::nullopt;
    }
    for (; end - at >= kKeyLength; ++at) {
        if (isKeyAt(at)) {
            places.push_back(at - begin);
        }
    }
    return places;
}

}  // namespace

std::vector<LineUsage> chunkUsages(QByteArrayView chunk) {
    std::vector<LineUsage> usages;
    const std::optional<std::vector<qsizetype>> places = keyPlaces(chunk);
    if (!places) {
        return usages;
    }
    // Only the lines holding a key are cut out, walking forward from line to line: finding line
    // feeds forwards is fast, searching back is not. A key holds no line feed, so it lies in one.
    qsizetype lineStart = 0;
    for (const qsizetype place : *places) {
        if (place < lineStart) {
            continue;  // a second key in a line already read
        }
        qsizetype lineEnd = chunk.indexOf('\n', lineStart);
        while (lineEnd >= 0 && lineEnd < place) {
            lineStart = lineEnd + 1;
            lineEnd = chunk.indexOf('\n', lineStart);
        }
        if (lineEnd < 0) {
            lineEnd = chunk.size();
        }
        if (const auto usage = lineUsage(chunk.sliced(lineStart, lineEnd - lineStart))) {
            usages.push_back(*usage);
        }
        lineStart = lineEnd + 1;
    }
    return usages;
}

}  // namespace brimlet
