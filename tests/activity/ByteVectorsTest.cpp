#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "activity/ByteVectors.h"

// The fallback for processors without a lane-mask instruction, built here beside the one in use
// so that both are held to the same answers.
namespace portable {
#include "activity/ByteVectors_portable.h"
}

namespace brimlet {
namespace {

TEST(ByteVectorsTest, LaneBitsTakeTheTopBitOfEveryLaneInOrder) {
    std::mt19937 random(17);
    for (int i = 0; i < 10000; ++i) {
        char bytes[bytes::kVectorBytes];
        unsigned expected = 0;
        for (int lane = 0; lane < bytes::kVectorBytes; ++lane) {
            bytes[lane] = static_cast<char>(random());
            expected |= (static_cast<unsigned char>(bytes[lane]) >> 7U) << lane;
        }
        const bytes::Vector vector = bytes::load(bytes);
        EXPECT_EQ(bytes::laneBits(vector), expected);
        EXPECT_EQ(portable::brimlet::bytes::laneBits(vector), expected);
    }
}

TEST(ByteVectorsTest, BlockBitsFollowTheBytesOfTheBlock) {
    char text[bytes::kBlockBytes];
    for (int i = 0; i < bytes::kBlockBytes; ++i) {
        text[i] = i % 3 == 0 || i == 63 ? '"' : 'x';
    }
    const std::uint64_t quotes = bytes::blockBits(
        bytes::loadBlock(text), [](bytes::Vector v) { return v == bytes::splat('"'); });
    for (int i = 0; i < bytes::kBlockBytes; ++i) {
        EXPECT_EQ((quotes >> i) & 1U, text[i] == '"' ? 1U : 0U) << i;
    }
    EXPECT_EQ(bytes::bitsBelow(0), 0U);
    EXPECT_EQ(bytes::bitsBelow(3), 7U);
    EXPECT_EQ(bytes::bitsBelow(64), ~std::uint64_t{0});
}

}  // namespace
}  // namespace brimlet
