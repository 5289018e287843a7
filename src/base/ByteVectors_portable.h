#pragma once

// Included by ByteVectors.h only.

namespace brimlet::bytes {

// Any other processor: a multiplication gathers the top bit of each byte of a word into its top
// byte; no two products overlap, so nothing carries.
template <typename Lanes>
unsigned laneBits(Lanes lanes) {
    static_assert(sizeof(Lanes) == 16);
    constexpr std::uint64_t topBits = 0x8080808080808080ULL;
    constexpr std::uint64_t gather = 0x0002040810204081ULL;
    std::uint64_t words[2];
    std::memcpy(words, &lanes, sizeof words);
    const auto low = static_cast<unsigned>(((words[0] & topBits) * gather) >> 56);
    const auto high = static_cast<unsigned>(((words[1] & topBits) * gather) >> 56);
    return low | (high << 8);
}

}  // namespace brimlet::bytes
