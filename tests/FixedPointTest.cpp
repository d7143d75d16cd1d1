#include <gtest/gtest.h>

#include <cfenv>
#include <climits>
#include <cmath>
#include <cstdint>

#include "math/FixedPoint.h"

using fixedpoint::fix16;

namespace {
fix16 raw(int r) {
    return fix16::fromRaw(r);
}
} // namespace

TEST(FixedPoint, FloatConversionTruncatesTowardZeroInEveryRoundingMode) {
    const int modes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    for (int mode : modes) {
        ASSERT_EQ(std::fesetround(mode), 0);
        EXPECT_EQ(fixedpoint::float2fix<16>(0.2f), 13107) << mode;
        EXPECT_EQ(fixedpoint::float2fix<16>(-0.2f), -13107) << mode;
        EXPECT_EQ(fixedpoint::float2fix<16>(6.2831855f), 411774) << mode;
        EXPECT_EQ(fixedpoint::float2fix<16>(0.15915494f), 10430) << mode;
        EXPECT_EQ(fixedpoint::float2fix<16>(1.0f), 65536) << mode;
        EXPECT_EQ(std::fegetround(), mode); // the caller's mode is left alone
    }
    std::fesetround(FE_TONEAREST);
    EXPECT_EQ(fix16(0.2f).raw, 13107);
}

TEST(FixedPoint, FloatConversionSaturatesOutsideTheRange) {
    EXPECT_EQ(fixedpoint::float2fix<16>(40000.0f), INT_MAX);
    EXPECT_EQ(fixedpoint::float2fix<16>(-40000.0f), INT_MIN);
    EXPECT_EQ(fixedpoint::float2fix<16>(-32768.0f), INT_MIN);
}

TEST(FixedPoint, IntegerPartRoundsTowardZeroAtBothSigns) {
    EXPECT_EQ(fix16(7).raw, 7 << 16);
    EXPECT_EQ(fix16(-10).raw, static_cast<int>(0xfff60000));
    EXPECT_EQ(raw(-32768).toInt(), 0);  // -0.5
    EXPECT_EQ(raw(-65536).toInt(), -1); // -1.0
    EXPECT_EQ(raw(-65537).toInt(), -1);
    EXPECT_EQ(raw(-98304).toInt(), -1); // -1.5
    EXPECT_EQ(raw(-1).toInt(), 0);
    EXPECT_EQ(raw(1).toInt(), 0);
    EXPECT_EQ(raw(98304).toInt(), 1); // 1.5
    EXPECT_EQ(fix16(1011.99f).toInt(), 1011);
    EXPECT_EQ(static_cast<int>(raw(INT_MIN)), -32768);
    EXPECT_EQ(static_cast<int>(raw(INT_MAX)), 32767);
}

TEST(FixedPoint, IntegerFactorsApplyToTheRawValueInWrittenOrder) {
    EXPECT_EQ((fix16(10) * 5 / 9).raw, 364088);
    EXPECT_EQ((raw(1) / 3).raw, 0);
    EXPECT_EQ((raw(-1) / 3).raw, 0);
    EXPECT_EQ((raw(-7) / 2).raw, -3);
    EXPECT_EQ((raw(393216) * 2 / 3).raw, 262144);
    EXPECT_EQ((-fix16(9) * 5 / 9).raw, -327680);
}

TEST(FixedPoint, ProductRoundsTowardMinusInfinity) {
    for (int v : {0, 1, -1, 12345, -98304, INT_MAX, INT_MIN})
        EXPECT_EQ((fix16(1) * raw(v)).raw, v);
    EXPECT_EQ((raw(-98304) * raw(1)).raw, -2); // -1.5 × 2^-16
    EXPECT_EQ((raw(98304) * raw(1)).raw, 1);
    EXPECT_EQ((fix16(-3) * fix16(-4)).raw, 12 << 16);
    EXPECT_EQ((raw(46340) * raw(46340)).raw, 32766); // 32766.67 rounds down
}

TEST(FixedPoint, SumsAndDifferencesWrapAround) {
    EXPECT_EQ((raw(INT_MAX) + raw(1)).raw, INT_MIN);
    EXPECT_EQ((raw(INT_MIN) - raw(1)).raw, INT_MAX);
    EXPECT_EQ((-raw(INT_MIN)).raw, INT_MIN);
    EXPECT_EQ((fix16(2) - fix16(5)).raw, -3 * 65536);
    EXPECT_TRUE(raw(-1) < raw(0));
    EXPECT_TRUE(fix16(1011) >= raw(0x3f30000));
    EXPECT_FALSE(fix16(12) > raw(0xc0000));
}

// Grid arithmetic needs floor at negative values, where toInt() rounds toward zero.
TEST(FixedPoint, FloorCeilAndRoundAtBothSignsAndOnWholeNumbers) {
    struct Case {
        std::int32_t raw;
        int floor, ceil, round;
    } cases[] = {
        {0, 0, 0, 0},
        {1, 0, 1, 0},
        {-1, -1, 0, 0},
        {0x8000, 0, 1, 1},      // 0.5
        {-0x8000, -1, 0, -1},   // -0.5
        {0x7fff, 0, 1, 0},      // just below 0.5
        {-0x7fff, -1, 0, 0},    // just above -0.5
        {0x18000, 1, 2, 2},     // 1.5
        {-0x18000, -2, -1, -2}, // -1.5
        {-0x20000, -2, -2, -2}, // -2 exactly
        {0x7fffffff, 32767, 32768, 32768},
        {INT32_MIN, -32768, -32768, -32768},
    };
    for (const Case& c : cases) {
        fix16 v = fix16::fromRaw(c.raw);
        EXPECT_EQ(v.floor(), c.floor) << c.raw;
        EXPECT_EQ(v.ceil(), c.ceil) << c.raw;
        EXPECT_EQ(v.round(), c.round) << c.raw;
    }
}

TEST(FixedPoint, DoublesConvertToTheNearestValueAndBackExactly) {
    EXPECT_EQ(fix16::fromDouble(16.5).raw, 0x108000);
    EXPECT_EQ(fix16::fromDouble(-16.5).raw, -0x108000);
    EXPECT_EQ(fix16::fromDouble(0.1).raw, 6554); // 6553.6 rounds up, where float2fix cuts
    EXPECT_EQ(fix16::fromDouble(-0.1).raw, -6554);
    EXPECT_EQ(fix16::fromDouble(1.5 / 65536).raw, 2); // a half away from zero
    EXPECT_EQ(fix16::fromDouble(-1.5 / 65536).raw, -2);
    EXPECT_EQ(fix16::fromDouble(1e12).raw, INT32_MAX);
    EXPECT_EQ(fix16::fromDouble(-1e12).raw, INT32_MIN);
    EXPECT_EQ(fix16::fromDouble(std::nan("")).raw, 0);
    for (std::int32_t r : {0, 1, -1, 0x108000, INT32_MAX, INT32_MIN}) {
        EXPECT_EQ(fix16::fromDouble(fix16::fromRaw(r).toDouble()).raw, r);
        EXPECT_EQ(fix16::fromRaw(r).toFloat(), static_cast<float>(r / 65536.0));
    }
}

TEST(FixedPoint, ComparesWithIntegersExactlyOverTheWholeIntRange) {
    EXPECT_TRUE(fix16(3) == 3 && 3 == fix16(3) && fix16(3) != 4);
    EXPECT_TRUE(fix16::fromRaw(1) > 0 && 0 < fix16::fromRaw(1) && fix16::fromRaw(-1) < 0);
    EXPECT_TRUE(fix16(-2) <= -2 && fix16(-2) >= -2 && -3 < fix16(-2));
    // 70000 << 16 would wrap in 32 bits; the comparison must not.
    EXPECT_TRUE(fix16::fromRaw(INT32_MAX) < 70000 && fix16::fromRaw(INT32_MIN) > -70000);
    EXPECT_FALSE(fix16() == 65536); // 65536 << 16 wraps to 0 in 32 bits
}
