#include <gtest/gtest.h>

#include <random>

#include "activity/ByteVectors.h"

// The fallback for processors without a lane-mask instruction, built here beside the one in use
// so that both are held to the same answers; no other test runs it on this processor.
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

}  // namespace
}  // namespace brimlet
