#include <gtest/gtest.h>

#include <vector>

#include "platform/random.h"

namespace {

TEST(Random, FollowsTheClassicSequence) {
    Random_Seed(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int value : expected) EXPECT_EQ(Random_Next(), value);
}

TEST(Random, SameSeedSameValuesWithinRange) {
    auto draw = [](uint32_t seed) {
        Random_Seed(seed);
        std::vector<int> values(1 << 20);
        for (int& v : values) v = Random_Next();
        return values;
    };
    const std::vector<int> a = draw(0xDEADBEEF);
    EXPECT_EQ(a, draw(0xDEADBEEF));
    EXPECT_NE(a, draw(0xDEADBEF0));
    int lo = GV_RAND_MAX, hi = 0;
    for (int v : a) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, GV_RAND_MAX);
}

}  // namespace
