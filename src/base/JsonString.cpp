#include "base/JsonString.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "base/ByteVectors.h"

namespace brimlet {
namespace {

using bytes::kBlockBytes;
using bytes::Vector;

constexpr std::uint64_t kEvenBits = 0x5555555555555555ULL;

constexpr std::array<char, 256> kEscapes = [] {
    std::array<char, 256> escapes{};
    escapes['"'] = '"';
    escapes['\\'] = '\\';
    escapes['/'] = '/';
    escapes['b'] = '\b';
    escapes['f'] = '\f';
    escapes['n'] = '\n';
    escapes['r'] = '\r';
    escapes['t'] = '\t';
    return escapes;
}();

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

struct BlockMasks {
    std::uint64_t quotes;
    std::uint64_t backslashes;
    std::uint64_t controls;
};

BlockMasks masksOf(const bytes::Block& block) {
    return BlockMasks{
        bytes::blockBits(block, [](Vector v) { return v == bytes::splat('"'); }),
        bytes::blockBits(block, [](Vector v) { return v == bytes::splat('\\'); }),
        bytes::blockBits(block, [](Vector v) { return v < 0x20; }),
    };
}

// The bytes of a block escaped by a backslash, backslashes left out, given its backslashes and
// whether its first byte is escaped from the block before; `escapesNext` becomes whether the next
// block's first byte is. In a run of backslashes every other one escapes the next byte, so a run
// of odd length escapes the byte after it. Adding a run's lowest bit to the run carries one bit
// just past its end; runs starting on even and on odd bits are added apart to tell their
// lengths' parity from where that bit lands.
std::uint64_t escapedBytes(std::uint64_t backslashes, bool& escapesNext) {
    const std::uint64_t firstEscaped = escapesNext ? 1 : 0;
    const std::uint64_t escaping = backslashes & ~firstEscaped;
    const std::uint64_t runStarts = escaping & ~(escaping << 1);
    const std::uint64_t afterEvenRuns = (escaping + (runStarts & kEvenBits)) & ~escaping;
    std::uint64_t oddSum = 0;
    escapesNext = __builtin_add_overflow(escaping, runStarts & ~kEvenBits, &oddSum);
    const std::uint64_t afterOddRuns = oddSum & ~escaping;
    return (afterEvenRuns & ~kEvenBits) | (afterOddRuns & kEvenBits) |
           (firstEscaped & ~backslashes);
}

// Every escaped byte must name an escape; a 'u' must be followed by four hex digits. Quotes and
// line feeds (\" and \n) are most of the escapes in code, so they are cleared first as bits.
bool escapesValid(std::uint64_t escaped, const BlockMasks& masks, const bytes::Block& block,
                  const char* at, const char* end) {
    if (escaped == 0) {
        return true;
    }
    escaped &= ~masks.quotes;
    if (escaped != 0) {
        escaped &= ~bytes::blockBits(block, [](Vector v) { return v == bytes::splat('n'); });
    }
    for (; escaped != 0; escaped &= escaped - 1) {
        const char* const letter = at + std::countr_zero(escaped);
        if (*letter == 'u') {
            if (end - letter < 5 || !isHexDigit(letter[1]) || !isHexDigit(letter[2]) ||
                !isHexDigit(letter[3]) || !isHexDigit(letter[4])) {
                return false;
            }
        } else if (kEscapes[static_cast<unsigned char>(*letter)] == 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

char jsonEscapedCharacter(char letter) {
    return kEscapes[static_cast<unsigned char>(letter)];
}

// Strings in transcripts are either short (keys, names, identifiers) or long and full of escapes
// (code in replies). One without escapes ends at its first stop; from a first escape on, the
// string is scanned a 64-byte block at a time, every kind of stop found at once as bits, instead
// of byte by byte.
std::optional<JsonStringEnd> scanJsonString(const char* at, const char* end) {
    // Up to the first stop, a vector at a time; a quote there ends a string without escapes.
    while (end - at >= bytes::kVectorBytes) {
        const Vector text = bytes::load(at);
        const unsigned stops = bytes::laneBits((text == bytes::splat('"')) |
                                               (text == bytes::splat('\\')) | (text < 0x20));
        if (stops != 0) {
            if (at[std::countr_zero(stops)] == '"') {
                return JsonStringEnd{at + std::countr_zero(stops), false};
            }
            break;
        }
        at += bytes::kVectorBytes;
    }
    bool escapesNext = false;
    bool hasEscapes = false;
    while (at < end) {
        // The last piece is copied into zeros, which count as control characters: a string still
        // open there is refused, as it must be.
        char padded[kBlockBytes] = {};
        const char* block = at;
        if (end - at < kBlockBytes) {
            std::memcpy(padded, at, static_cast<std::size_t>(end - at));
            block = padded;
        }
        const bytes::Block loaded = bytes::loadBlock(block);
        const BlockMasks masks = masksOf(loaded);
        const std::uint64_t escaped = masks.backslashes != 0 || escapesNext
                                          ? escapedBytes(masks.backslashes, escapesNext)
                                          : 0;
        const std::uint64_t closing = masks.quotes & ~escaped;
        const int length = closing != 0 ? std::countr_zero(closing) : kBlockBytes;
        const std::uint64_t inside = bytes::bitsBelow(length);
        if ((masks.controls & inside) != 0 ||
            !escapesValid(escaped & inside, masks, loaded, at, end)) {
            return std::nullopt;
        }
        hasEscapes = hasEscapes || (masks.backslashes & inside) != 0;
        if (closing != 0) {
            return JsonStringEnd{at + length, hasEscapes};
        }
        at += kBlockBytes;
    }
    return std::nullopt;
}

}  // namespace brimlet
