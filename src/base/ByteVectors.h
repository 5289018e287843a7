#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace brimlet::bytes {

// Bytes compared sixteen at a time through the compiler's generic vectors (SSE2 on x86-64, NEON
// on arm64), and 64-byte blocks turned into one bit per byte. The scans of the transcript hot path
// (UTF-8 check, key search, JSON strings) are built from these.
using Vector = unsigned char __attribute__((vector_size(16)));
constexpr int kVectorBytes = 16;
constexpr int kBlockBytes = 64;

// The lane order of a vector in memory is that of a little-endian word.
static_assert(std::endian::native == std::endian::little);

inline Vector load(const char* at) {
    Vector vector;
    std::memcpy(&vector, at, sizeof vector);
    return vector;
}

inline Vector splat(unsigned char byte) {
    return Vector{} + byte;
}

}  // namespace brimlet::bytes

// laneBits(lanes): the top bit of every lane of a vector or comparison result as sixteen bits, lane
// k in bit k, which turns a comparison result into a bit mask; one definition per processor family.
#if defined(__SSE2__)
#include "base/ByteVectors_sse2.h"
#else
#include "base/ByteVectors_portable.h"
#endif

namespace brimlet::bytes {

// Sixty-four bytes as four vectors.
struct Block {
    Vector lanes[4];
};

inline Block loadBlock(const char* at) {
    return Block{{load(at), load(at + 16), load(at + 32), load(at + 48)}};
}

// One bit per byte of the block, byte k in bit k, set where `test` (a lane-wise comparison)
// holds.
// Written out rather than looped: compilers at -O2 keep a loop here, and the block in memory.
template <typename Test>
std::uint64_t blockBits(const Block& block, const Test& test) {
    return std::uint64_t{laneBits(test(block.lanes[0]))} |
           std::uint64_t{laneBits(test(block.lanes[1]))} << 16 |
           std::uint64_t{laneBits(test(block.lanes[2]))} << 32 |
           std::uint64_t{laneBits(test(block.lanes[3]))} << 48;
}

// Bits below `position` (0…64).
inline std::uint64_t bitsBelow(int position) {
    return position >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << position) - 1;
}

}  // namespace brimlet::bytes
