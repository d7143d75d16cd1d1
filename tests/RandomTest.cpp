// The engine's random numbers: PCG32's own numbers, ranges without bias at their edges,
// streams that never shift each other, and the zone's state once a number was drawn.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "random/TrelRandom.h"

using fixedpoint::fix16;

// The reference generator's first numbers for its demonstration seed (42, stream 54).
TEST(Random, GivesPcg32sOwnNumbers) {
    TrelRandom random(42, 54);
    const std::uint32_t expected[] = {0xa15c02b7, 0x7b47f409, 0xba1d3330,
                                      0x83d2f293, 0xbfa4784b, 0xcbed606e};
    for (std::uint32_t number : expected)
        EXPECT_EQ(random.next(), number);
}

TEST(Random, RangesKeepTheirBoundsAndFavourNoValue) {
    TrelRandom random(7);
    std::vector<int> counts(6);
    for (int i = 0; i < 60000; ++i) {
        const int n = random.range(-2, 3);
        ASSERT_GE(n, -2);
        ASSERT_LE(n, 3);
        ++counts[n + 2];
    }
    for (int count : counts)
        EXPECT_NEAR(count, 10000, 500); // about five standard deviations
    EXPECT_EQ(random.range(5, 5), 5);
    EXPECT_EQ(random.range(5, 4), 5);
    random.range(INT_MIN, INT_MAX); // the whole range: 2^32 values, drawn whole
    for (int i = 0; i < 1000; ++i) {
        const fix16 f = random.rangeFixed(fix16(-1), fix16::fromRaw(-65535));
        ASSERT_TRUE(f.raw == -65536) << f.raw; // [−1, −1 + 1/65536): one raw value
        const fix16 g = random.rangeFixed(fix16::fromRaw(INT_MIN), fix16::fromRaw(INT_MAX));
        ASSERT_LT(g.raw, INT_MAX);
        ASSERT_LT(random.pick(3), 3u);
    }
    EXPECT_EQ(random.pick(0), 0u);
    int quarters = 0, fixedQuarters = 0;
    for (int i = 0; i < 40000; ++i) {
        quarters += random.chance(1, 4);
        fixedQuarters += random.chance(fix16::fromRaw(16384));
        ASSERT_FALSE(random.chance(fix16()));
        ASSERT_TRUE(random.chance(fix16(1)));
        ASSERT_FALSE(random.chance(3, 0));
    }
    EXPECT_NEAR(quarters, 10000, 450);
    EXPECT_NEAR(fixedQuarters, 10000, 450);
}

TEST(Random, StreamsOfOneSeedNeverShiftEachOther) {
    TrelRandom play(99, 0), alone(99, 0), effects(99, 1);
    EXPECT_FALSE(play.hasDrawn());
    std::vector<std::uint32_t> drawn;
    for (int i = 0; i < 100; ++i) {
        drawn.push_back(play.next());
        effects.next(); // drawn between them: nothing of play's changes
        effects.next();
    }
    for (std::uint32_t number : drawn)
        ASSERT_EQ(alone.next(), number);
    TrelRandom other(99, 1);
    EXPECT_NE(TrelRandom(99, 0).next(), other.next());
    EXPECT_TRUE(play.hasDrawn());
    play.setSeed(99);
    EXPECT_FALSE(play.hasDrawn());
    EXPECT_EQ(play.next(), drawn[0]);
}
