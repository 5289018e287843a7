#pragma once

// Included by ByteVectors.h only.

#include <emmintrin.h>

namespace brimlet::bytes {

// x86-64: the byte sign mask is one instruction.
template <typename Lanes>
unsigned laneBits(Lanes lanes) {
    static_assert(sizeof(Lanes) == sizeof(__m128i));
    return static_cast<unsigned>(_mm_movemask_epi8(reinterpret_cast<__m128i>(lanes)));
}

}  // namespace brimlet::bytes
