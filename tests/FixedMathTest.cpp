#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "math/FixedMath.h"

using namespace fixedpoint;

namespace {

const double kPi = 3.14159265358979323846;

double toDouble(int raw) {
    return raw / 65536.0;
}

} // namespace

TEST(FixedMath, TablesFollowTheirRulesEntryByEntry) {
    for (int i = 0; i < 1023; ++i)
        ASSERT_EQ(sinTable[i], static_cast<int>(std::floor(65535 * std::sin(i * kPi / 2046)))) << i;
    EXPECT_EQ(sinTable[1023], 65534); // one less than the rule gives
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(rsqrtTable[k], static_cast<int>(std::floor(131072 / std::sqrt(8.0 + k)))) << k;
        EXPECT_EQ(rcp_tab[k], static_cast<int>(std::floor(262144 / (8.0 + k)))) << k;
    }
    EXPECT_EQ(twoPi16, float2fix<16>(6.2831855f));
    EXPECT_EQ(invTwoPi16, float2fix<16>(0.15915494f));
}

TEST(FixedMath, SineAndCosineGiveTheirSampleValues) {
    EXPECT_EQ(fixsin16(0), 0);
    EXPECT_EQ(fixcos16(0), 65534);
    EXPECT_EQ(fixsin16(102944), 65534);
    EXPECT_EQ(fixsin16(65536), 55131);
    EXPECT_EQ(fixcos16(65536), 35430);
    EXPECT_EQ(fixsin16(-65536), -55185); // the truncated 2π breaks the odd symmetry
    EXPECT_EQ(fixcos16(102944), 0);
    EXPECT_EQ(fixcos16(205887), -65534);
}

// The sine and cosine step by step as they are defined: the reduction loop, the turn-domain
// product, the quarter-wave lookup with its mirror and sign.
int definedWave(int a, bool cosine) {
    while (a < 0)
        a += twoPi16;
    std::int32_t t = static_cast<std::int32_t>((static_cast<std::int64_t>(a) * invTwoPi16) >> 16);
    if (cosine)
        t = static_cast<std::int32_t>(static_cast<std::uint32_t>(t) + 16384u);
    std::int32_t p = t >> 4;
    int i = (p & 1024) ? (~p & 1023) : (p & 1023);
    int v = sinTable[i];
    return (p & 2048) ? -v : v;
}

TEST(FixedMath, SineAndCosineFollowTheirDefinitionEverywhere) {
    for (long a = INT_MIN; a <= INT_MAX; a += 40009) {
        ASSERT_EQ(fixsin16(static_cast<int>(a)), definedWave(static_cast<int>(a), false)) << a;
        ASSERT_EQ(fixcos16(static_cast<int>(a)), definedWave(static_cast<int>(a), true)) << a;
    }
    for (int a : {INT_MIN, INT_MIN + 1, -twoPi16, -twoPi16 - 1, -1, 0, twoPi16, INT_MAX}) {
        EXPECT_EQ(fixsin16(a), definedWave(a, false)) << a;
        EXPECT_EQ(fixcos16(a), definedWave(a, true)) << a;
    }
}

TEST(FixedMath, SineAndCosineStayWithinTheTableAndNearTheTrueValues) {
    int peak = 0;
    for (long a = -30L * twoPi16; a <= 30L * twoPi16; a += 97) {
        int s = fixsin16(static_cast<int>(a));
        int c = fixcos16(static_cast<int>(a));
        ASSERT_LE(std::abs(s), 65534) << a;
        ASSERT_LE(std::abs(c), 65534) << a;
        peak = std::max(peak, std::abs(s));
    }
    EXPECT_EQ(peak, 65534);
    // Within four turns: two table steps of 1/4096 turn, plus the truncated 1/2π's drift.
    for (long a = -4L * twoPi16; a <= 4L * twoPi16; a += 31) {
        double angle = toDouble(static_cast<int>(a));
        ASSERT_NEAR(fixsin16(static_cast<int>(a)), 65536 * std::sin(angle), 260) << a;
        ASSERT_NEAR(fixcos16(static_cast<int>(a)), 65536 * std::cos(angle), 260) << a;
    }
}

TEST(FixedMath, ReciprocalGivesSamplesAndKeepsTheSign) {
    EXPECT_EQ(fixinv<16>(65536), 65536);
    EXPECT_EQ(fixinv<16>(131072), 32768);
    EXPECT_EQ(fixinv<16>(196608), 21845);
    EXPECT_EQ(fixinv<16>(32768), 131072);
    EXPECT_EQ(fixinv<16>(-65536), -65536);
    EXPECT_EQ(fixinv<16>(256 << 16), 256);
    EXPECT_EQ(fixinv<16>(0), 0);
    for (int a = 8; a < INT_MAX / 3; a += a / 7 + 1) {
        int r = fixinv<16>(a);
        ASSERT_EQ(fixinv<16>(-a), -r) << a;
        double exact = 4294967296.0 / a;
        if (exact < 1 << 30) { // the reciprocal fits
            ASSERT_NEAR(r, exact, 2 + exact * 1e-3) << a;
        }
    }
}

TEST(FixedMath, DivisionScalesLargeDivisorsToKeepPrecision) {
    struct Case {
        double x, s;
        bool scaled; // |s| from 256.0 up (and s below -256.0)
    } cases[] = {
        {100, 3, false},       {30000, 7.5, false}, {0.5, 0.25, false}, {1000, 255.99998, false},
        {1, -256, false},      {1000, 256, true},   {1000, 1000, true}, {-1000, 300, true},
        {1, -256.00002, true}, {5000, -3000, true},
    };
    for (const Case& c : cases) {
        fix16 x = fix16::fromRaw(static_cast<int>(std::lround(c.x * 65536)));
        fix16 s = fix16::fromRaw(static_cast<int>(std::lround(c.s * 65536)));
        double exact = c.x / c.s * 65536;
        // One raw unit of error in the reciprocal costs |x| raw units in the quotient; the
        // scaled branch takes x ÷ 256 and so keeps it 256 times smaller. Without the
        // scaling, 1000.0 ÷ 1000.0 would be off by about 536 raw units.
        double tolerance = 3 + std::fabs(c.x) / (c.scaled ? 256 : 1);
        EXPECT_NEAR((x / s).raw, exact, tolerance) << c.x << " / " << c.s;
    }
    EXPECT_EQ((fix16(1024) / fix16(256)).raw, 4 << 16);
    EXPECT_EQ((fix16(3) / fix16(-1)).raw, -3 * 65536);
}

TEST(FixedMath, SquareRootsGiveTheirSampleValues) {
    const int sqrtCases[][2] = {
        {65536, 65536},        {16384, 32768},     {131072, 92682},     {4 << 16, 131069},
        {9 << 16, 196601},     {16 << 16, 262134}, {100 << 16, 655310}, {1000 << 16, 2073370},
        {4096 << 16, 4348656}, {0, 512},
    };
    for (auto [x, expected] : sqrtCases)
        EXPECT_EQ(fixsqrt16(x), expected) << x;
    const int rsqrtCases[][2] = {
        {16384, 131072},   {131072, 46341},    {4 << 16, 32767}, {9 << 16, 21844},
        {16 << 16, 16382}, {32767 << 16, 362}, {0, 0x7fffffff},  {65536, 65536},
    };
    for (auto [x, expected] : rsqrtCases)
        EXPECT_EQ(fixrsqrt16(x), expected) << x;
}

// The reciprocal and the division exactly as defined, step by step, with no shortcut.
int definedInverse(int a) {
    bool negative = a < 0;
    std::uint32_t m = negative ? 0u - static_cast<std::uint32_t>(a) : static_cast<std::uint32_t>(a);
    int c = 0;
    while (c < 32 && !(m & (0x80000000u >> c)))
        ++c;
    int k = c <= 28 ? static_cast<int>((m >> (28 - c)) & 7) : 0; // the 3 bits below the leading 1
    std::int32_t r = rcp_tab[k] * 4;
    int e = c - 16;
    if (e > 0) // at most 16: bits shifted out are lost
        r = static_cast<std::int32_t>(static_cast<std::uint32_t>(r) << e);
    else
        r >>= -e;
    std::int32_t x = static_cast<std::int32_t>(m);
    for (int step = 0; step < 2; ++step) {
        std::int32_t t = static_cast<std::int32_t>(static_cast<std::uint32_t>(
            static_cast<std::uint64_t>((static_cast<std::int64_t>(x) * r) >> 16)));
        std::int32_t d = static_cast<std::int32_t>(131072u - static_cast<std::uint32_t>(t));
        r = static_cast<std::int32_t>(static_cast<std::uint32_t>(
            static_cast<std::uint64_t>((static_cast<std::int64_t>(d) * r) >> 16)));
    }
    return negative ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(r)) : r;
}

int definedDivide(int x, int s) {
    bool large = (s >> 24) != 0 && (s >> 24) != -1;
    fix16 dividend = fix16::fromRaw(large ? x >> 8 : x);
    return (dividend * fix16::fromRaw(definedInverse(large ? s >> 8 : s))).raw;
}

TEST(FixedMath, DivisionGivesExactlyTheDefinedValues) {
    std::vector<int> divisors;
    for (int s = -4096; s <= 4096; ++s)
        divisors.push_back(s); // every small divisor, where the seeds are coarse
    for (long s = INT_MIN; s <= INT_MAX; s += 9973)
        divisors.push_back(static_cast<int>(s));
    for (int s : {INT_MIN, INT_MIN + 1, INT_MAX, (1 << 24) - 1, 1 << 24, (1 << 24) + 1, -(1 << 24),
                  -(1 << 24) - 1, -(1 << 24) + 1})
        divisors.push_back(s);
    const int dividends[] = {0,         1,       -1,      65536, -65536, 12345678,
                             -98765432, INT_MAX, INT_MIN, 255,   256,    257};
    for (int s : divisors) {
        ASSERT_EQ(fixinv<16>(s), definedInverse(s)) << s;
        for (int x : dividends)
            ASSERT_EQ((fix16::fromRaw(x) / fix16::fromRaw(s)).raw, definedDivide(x, s))
                << x << " / " << s;
    }
}

// Six Heron steps from (x + 1) ÷ 2 with the general division, step by step as defined.
int definedSqrt(int x) {
    fix16 value = fix16::fromRaw(x);
    std::int32_t s = static_cast<std::int32_t>(static_cast<std::uint32_t>(x) + 65536u) >> 1;
    for (int step = 0; step < 6; ++step)
        s = static_cast<std::int32_t>(static_cast<std::uint32_t>((value / fix16::fromRaw(s)).raw) +
                                      static_cast<std::uint32_t>(s)) >>
            1;
    return s;
}

TEST(FixedMath, SquareRootFollowsItsDefinitionEverywhere) {
    for (long x = INT_MIN; x <= INT_MAX; x += 65521)
        ASSERT_EQ(fixsqrt16(static_cast<int>(x)), definedSqrt(static_cast<int>(x))) << x;
    for (int x = 0; x < 1 << 20; x += 7)
        ASSERT_EQ(fixsqrt16(x), definedSqrt(x)) << x;
    for (int x : {0x7ffeffff, 0x7fff0000, 0x7fff0001, INT_MAX, -1, INT_MIN})
        EXPECT_EQ(fixsqrt16(x), definedSqrt(x)) << x;
}

TEST(FixedMath, ReciprocalSquareRootIsCloseOverItsRange) {
    for (int x = 64; x < INT_MAX / 2; x += x / 5 + 1) {
        double exact = 65536 / std::sqrt(toDouble(x));
        ASSERT_NEAR(fixrsqrt16(x), exact, 2 + exact * 1e-3) << x;
    }
}

// Arguments outside the useful range return something without undefined behaviour; the
// sanitizer build checks for signed overflow and bad shifts here.
TEST(FixedMath, ArgumentsOutsideTheRangeAreHandledSafely) {
    const int odd[] = {INT_MIN, INT_MIN + 1, -65536, -1, 32767 << 16, INT_MAX, 1, 7};
    for (int x : odd) {
        EXPECT_EQ(fixsqrt16(x), fixsqrt16(x));
        EXPECT_EQ(fixrsqrt16(x), fixrsqrt16(x));
        EXPECT_EQ(fixinv<16>(x), fixinv<16>(x));
        EXPECT_LE(std::abs(fixsin16(x)), 65534);
        EXPECT_LE(std::abs(fixcos16(x)), 65534);
        EXPECT_EQ((fix16::fromRaw(x) / fix16::fromRaw(x | 1)).raw,
                  (fix16::fromRaw(x) / fix16::fromRaw(x | 1)).raw);
    }
}

// The small helpers at their edges: the most negative value, t at 0 and 1, bounds crossed.
TEST(FixedMath, AbsSignMinMaxClampAndLerpHoldAtTheirEdges) {
    const fix16 most = fix16::fromRaw(INT_MIN), half = fix16::fromRaw(32768);
    EXPECT_EQ(abs(most).raw, INT_MAX);
    EXPECT_EQ(abs(fix16(-3)), fix16(3));
    EXPECT_EQ(sign(fix16::fromRaw(-1)), -1);
    EXPECT_EQ(sign(fix16()), 0);
    EXPECT_EQ(sign(fix16::fromRaw(1)), 1);
    EXPECT_EQ(min(fix16(2), fix16(-2)), fix16(-2));
    EXPECT_EQ(max(fix16(2), fix16(-2)), fix16(2));
    EXPECT_EQ(clamp(fix16(5), fix16(0), fix16(4)), fix16(4));
    EXPECT_EQ(clamp(fix16(-5), fix16(0), fix16(4)), fix16(0));
    EXPECT_EQ(clamp(fix16(2), fix16(3), fix16(1)), fix16(3)); // high below low: low
    const fix16 a = fix16::fromRaw(INT_MIN + 5), b = fix16::fromRaw(INT_MAX - 3);
    EXPECT_EQ(lerp(a, b, fix16()), a);
    EXPECT_EQ(lerp(a, b, fix16(1)), b); // the span does not wrap
    EXPECT_EQ(lerp(fix16(1), fix16(2), half), fix16(3) / fix16(2));
    EXPECT_EQ(lerp(fix16(0), fix16::fromRaw(-1), half).raw, -1); // toward minus infinity
}

// Lengths exact to the raw value below, beyond the 32-bit range of the squares; turning by a
// quarter and a half turn; normalised vectors no longer than 1.
TEST(FixedMath, VectorsAddScaleMeasureNormaliseAndTurn) {
    using V = vmath::vec2<fix16>;
    const V a(fix16(3), fix16(4)), b(fix16(-1), fix16(2));
    EXPECT_EQ(a + b, V(fix16(2), fix16(6)));
    EXPECT_EQ(a - b, V(fix16(4), fix16(2)));
    EXPECT_EQ(-a, V(fix16(-3), fix16(-4)));
    EXPECT_EQ(a * fix16(2), V(fix16(6), fix16(8)));
    EXPECT_EQ(vmath::dot(a, b), fix16(5));
    EXPECT_EQ(vmath::length(a), fix16(5));
    EXPECT_EQ(vmath::length(V(fix16::fromRaw(1), fix16::fromRaw(1))).raw, 1); // √2 raw, down
    EXPECT_EQ(vmath::length(V(fix16(20000), fix16(20000))).raw,
              static_cast<std::int32_t>(std::floor(std::sqrt(2.0) * 20000 * 65536)));
    EXPECT_EQ(
        vmath::distance(V(fix16::fromRaw(INT_MIN), fix16()), V(fix16::fromRaw(INT_MAX), fix16()))
            .raw,
        INT_MAX); // 2^32 - 1 raw does not fit: the largest
    EXPECT_EQ(vmath::distance(V(fix16(-15000), fix16()), V(fix16(15000), fix16(-1))).raw,
              static_cast<std::int32_t>(std::floor(std::sqrt(30000.0 * 30000 + 1) * 65536)));
    for (const V& v : {a, b, V(fix16::fromRaw(7), fix16::fromRaw(-3)), V(fix16(-9000), fix16(1))}) {
        const fix16 size = vmath::length(vmath::normalised(v));
        EXPECT_LE(size.raw, 65536);
        EXPECT_GE(size.raw, 65536 - 3) << v.x.raw << ", " << v.y.raw;
    }
    EXPECT_EQ(vmath::normalised(V()), V());
    const V quarter = vmath::rotated(V(fix16(100), fix16()), fix16::fromRaw(twoPi16 / 4));
    EXPECT_NEAR(quarter.x.raw, 0, 100 * 2 + 1);
    EXPECT_NEAR(quarter.y.raw, 100 * 65536, 100 * 2 + 1); // +y: clockwise on the screen
    const V half = vmath::rotated(a, fix16::fromRaw(twoPi16 / 2));
    EXPECT_NEAR(half.x.raw, -3 * 65536, 8);
    EXPECT_NEAR(half.y.raw, -4 * 65536, 8);
}
