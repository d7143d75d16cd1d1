#ifndef TREL_FIXED_MATH_H
#define TREL_FIXED_MATH_H

#include <cstdint>

#include "base/TrelExport.h"
#include "math/FixedPoint.h"
#include "math/Vec2.h"

// Table-driven functions on raw 16.16 values. They use 32-bit integer operations and 64-bit
// products only, with a fixed number of refinement steps, so their results are the same on
// every machine, including their documented inaccuracies.
namespace fixedpoint {

// 2π and 1 ÷ 2π as float2fix<16> gives them: both a little below the true values.
constexpr int twoPi16 = 411774;
constexpr int invTwoPi16 = 10430;

// Seeds of the functions below; constant data of trel0.
extern TREL_API const std::uint16_t sinTable[1024]; // quarter wave, peak 65534
extern TREL_API const std::uint16_t rsqrtTable[8];  // 131072 ÷ √(8 + k)
extern TREL_API const std::uint16_t rcp_tab[8];     // 262144 ÷ (8 + k), for fixinv<16>

namespace detail {
// The whole wave unfolded from sinTable: entry p is what the quarter-wave lookup gives for
// phase p (of 4096 per turn), mirror and sign included, so a sine costs one lookup. A
// further quarter wave repeats the start, so that the cosine, a quarter turn on, is a
// lookup at a constant offset.
struct SineWave {
    std::int32_t values[4096 + 1024];
};
extern TREL_API const SineWave sineWave;

// The reciprocal's start value for each leading zero count c and seed index k: rcp_tab[k] × 4
// shifted left by c - 16 (bits beyond 32 lost) or right by 16 - c, looked up rather than
// shifted, so that no branch depends on the size of the argument. A magnitude with fewer
// than three bits below its leading one (c from 29 on) has seed index 0, so those rows hold
// their first seed in every column.
struct ReciprocalSeeds {
    std::int32_t values[33][8];
};
extern TREL_API const ReciprocalSeeds reciprocalSeeds;

// The fixed-point product of raw values, rounding toward minus infinity.
constexpr std::int32_t mul16(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(
        static_cast<std::uint64_t>((static_cast<std::int64_t>(a) * b) >> 16)));
}

constexpr std::int32_t wrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

constexpr std::int32_t wrapSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

// Leading zero bits of a 32-bit value; 32 for 0. The bit set below v keeps the 64-bit count
// defined and makes it 32 for 0 without a branch.
inline int leadingZeros(std::uint32_t v) {
    return __builtin_clzll((static_cast<std::uint64_t>(v) << 32) | 0x80000000u);
}

// The three bits just below the leading one bit; 0 when fewer than three lie below it.
inline int seedIndex(std::uint32_t v, int zeros) {
    int index = static_cast<int>(((static_cast<std::uint64_t>(v) << 3) >> (31 - (zeros & 31))) & 7);
    // Masked rather than chosen, so that the compiler emits no branch.
    return index & -static_cast<int>(zeros <= 28);
}

} // namespace detail

// 1 ÷ a with the sign of a, by two Newton steps from a table seed. Meaningful for |a| >= 8
// (raw); 0 gives 0.
template <int N>
inline int fixinv(int a);

namespace detail {

// 1 ÷ m for a magnitude m (an unsigned 32-bit value): the table seed and two Newton steps.
// Callers that know m >= 8 skip the checks for 0 and for fewer than three bits below the
// leading one; the results are the same.
template <bool kAtLeastEight = false>
inline std::int32_t reciprocalOfMagnitude(std::uint32_t magnitude) {
    int zeros;
    int index;
    if (kAtLeastEight) {
        zeros = __builtin_clz(magnitude);
        index = static_cast<int>((magnitude >> (28 - zeros)) & 7);
    } else {
        zeros = leadingZeros(magnitude);
        index = seedIndex(magnitude, zeros);
    }
    std::int32_t x = static_cast<std::int32_t>(magnitude);
    std::int32_t r = reciprocalSeeds.values[zeros][index];
    r = mul16(wrapSub(131072, mul16(x, r)), r);
    r = mul16(wrapSub(131072, mul16(x, r)), r);
    return r;
}

} // namespace detail

template <>
inline int fixinv<16>(int a) {
    // All ones for a negative a: (v ^ sign) - sign negates without a branch, and in
    // unsigned arithmetic, so that the most negative value does not overflow.
    std::uint32_t sign = static_cast<std::uint32_t>(a >> 31);
    std::uint32_t magnitude = (static_cast<std::uint32_t>(a) ^ sign) - sign;
    std::int32_t r = detail::reciprocalOfMagnitude(magnitude);
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(r) ^ sign) - sign);
}

// x ÷ s as x × (1 ÷ s). From 256.0 in size on, both are scaled down by 8 bits first, so that
// the reciprocal keeps its precision.
inline fixed_point<16> operator/(fixed_point<16> x, fixed_point<16> s) {
    // The same steps as fixinv<16>(s >> shift) followed by the product, in a shorter chain
    // with no branch on the data, so that divisors of all sizes cost the same:
    // - s >> 24 is neither 0 nor -1 exactly when s ^ sign (its magnitude, one less for a
    //   negative s) reaches 2^24; the scale is then a shift by 8, else by 0;
    // - the leading zeros of m | 1 are those of m, except that 0 counts 31 instead of 32,
    //   and both rows of the seed table hold 0 for it;
    // - rows 29 to 32 of the seed table repeat their first seed, so the index needs no mask
    //   for magnitudes with fewer than three bits below their leading one.
    std::uint32_t sign = static_cast<std::uint32_t>(s.raw >> 31);
    int shift = static_cast<int>(((static_cast<std::uint32_t>(s.raw) ^ sign) >> 24) != 0) << 3;
    std::int32_t dividend = x.raw >> shift;
    std::uint32_t divisor = static_cast<std::uint32_t>(s.raw >> shift);
    std::uint32_t m = (divisor ^ sign) - sign;
    int zeros = __builtin_clz(m | 1);
    int index = static_cast<int>((m << zeros) >> 28) & 7;
    std::int32_t a = static_cast<std::int32_t>(m);
    std::int32_t r = detail::reciprocalSeeds.values[zeros][index];
    r = detail::mul16(detail::wrapSub(131072, detail::mul16(a, r)), r);
    r = detail::mul16(detail::wrapSub(131072, detail::mul16(a, r)), r);
    r = static_cast<std::int32_t>((static_cast<std::uint32_t>(r) ^ sign) - sign);
    return fixed_point<16>::fromRaw(detail::mul16(dividend, r));
}

namespace detail {

// The phase of an angle in radians, in 4096 steps per turn: bits 4 to 15 of the angle in
// turns (the fixed-point product a × invTwoPi16), that is bits 20 to 31 of the full
// product, which its low 32 bits already hold.
inline unsigned phase(std::int32_t a) {
    // A negative angle gets the truncated 2π added until it is not negative (so fixsin16(-a)
    // need not be -fixsin16(a)); the count of additions is computed rather than looped.
    if (__builtin_expect(a < 0, 0)) {
        std::int64_t turnsShort = (-static_cast<std::int64_t>(a) + twoPi16 - 1) / twoPi16;
        a = static_cast<std::int32_t>(a + turnsShort * twoPi16);
    }
    return (static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(invTwoPi16)) >> 20;
}

} // namespace detail

// The functions are defined here so that games can inline them, and trel0 exports them too.

// Sine and cosine of an angle in radians, in -65534 ... 65534.
TREL_API inline int fixsin16(int a) {
    return detail::sineWave.values[detail::phase(a)];
}

TREL_API inline int fixcos16(int a) {
    const std::int32_t* quarterOn = detail::sineWave.values + 1024;
    return quarterOn[detail::phase(a)];
}

// Square root by six Heron steps from (x + 1) ÷ 2: exact at 1.0, coarse for large values
// (4096.0 gives 66.355). Negative values and values from 32767.0 up give values of no use.
TREL_API inline int fixsqrt16(int x) {
    fixed_point<16> value = fixed_point<16>::fromRaw(x);
    std::int32_t s = detail::wrapAdd(x, 65536) >> 1;
    if (x >= 0 && x < 0x7fff0000) {
        // Here every s stays above 0, so the divisions need no sign handling: the same
        // results, from a shorter chain.
        std::int32_t scaledX = x >> 8;
        for (int step = 0; step < 6; ++step) {
            bool large = (s >> 24) != 0;
            // s >= 512 (six halvings of at least 0.5), so the divisor is at least 8.
            std::int32_t r =
                detail::reciprocalOfMagnitude<true>(static_cast<std::uint32_t>(large ? s >> 8 : s));
            s = detail::wrapAdd(detail::mul16(large ? scaledX : x, r), s) >> 1;
        }
        return s;
    }
    for (int step = 0; step < 6; ++step)
        s = detail::wrapAdd((value / fixed_point<16>::fromRaw(s)).raw, s) >> 1;
    return s;
}

// 1 ÷ √x by three Newton steps; 0x7fffffff for 0. Negative values give values of no use.
TREL_API inline int fixrsqrt16(int x) {
    if (x == 0)
        return 0x7fffffff;
    if (x == 65536)
        return 65536;
    std::uint32_t bits = static_cast<std::uint32_t>(x);
    int zeros = detail::leadingZeros(bits);
    std::int32_t r = rsqrtTable[detail::seedIndex(bits, zeros)] * 2;
    int e = zeros - 16;
    if (e > 0)
        r = static_cast<std::int32_t>(static_cast<std::uint32_t>(r) << (e / 2 + (e & 1)));
    else
        r >>= (-e) / 2;
    if (e & 1)
        r = detail::mul16(r, 46340); // 1 ÷ √2
    for (int step = 0; step < 3; ++step) {
        std::int32_t h = r >> 1;
        std::int32_t t = detail::mul16(detail::mul16(x, r), r);
        r = detail::mul16(detail::wrapSub(196608, t), h);
    }
    return r;
}

} // namespace fixedpoint

namespace fixedpoint {
namespace detail {

// The integer square root of v, rounded down, digit by digit: exact for every 64-bit value.
constexpr std::uint32_t isqrt64(std::uint64_t v) {
    std::uint64_t root = 0;
    for (std::uint64_t bit = std::uint64_t(1) << 62; bit != 0; bit >>= 2) {
        if (v >= root + bit) {
            v -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
    }
    return static_cast<std::uint32_t>(root);
}

// √(dx² + dy²) of raw differences up to 2^32 in size, rounded down: squares of 31 bits or
// fewer sum within 63 bits; larger ones are halved first.
constexpr std::uint64_t hypot64(std::int64_t dx, std::int64_t dy) {
    const std::uint64_t ax = static_cast<std::uint64_t>(dx < 0 ? -dx : dx);
    const std::uint64_t ay = static_cast<std::uint64_t>(dy < 0 ? -dy : dy);
    const int halve = (ax >> 31) != 0 || (ay >> 31) != 0;
    const std::uint64_t hx = ax >> halve, hy = ay >> halve;
    return static_cast<std::uint64_t>(isqrt64(hx * hx + hy * hy)) << halve;
}

// The same saturated to INT32_MAX.
constexpr std::int32_t hypotRaw(std::int64_t dx, std::int64_t dy) {
    const std::uint64_t root = hypot64(dx, dy);
    return root > 0x7fffffffu ? INT32_MAX : static_cast<std::int32_t>(root);
}

} // namespace detail
} // namespace fixedpoint

namespace vmath {

// The dot product, summed in 64 bits and rounded toward minus infinity once, wrapped to 32
// bits like a sum when it does not fit.
inline fixedpoint::fix16 dot(vec2<fixedpoint::fix16> a, vec2<fixedpoint::fix16> b) {
    const std::int64_t sum =
        static_cast<std::int64_t>(a.x.raw) * b.x.raw + static_cast<std::int64_t>(a.y.raw) * b.y.raw;
    return fixedpoint::fix16::fromRaw(static_cast<std::int32_t>(static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(sum >= 0 ? sum >> 16 : -((-sum + 65535) >> 16)))));
}

// The length, exact to the raw value below it (an integer square root of the sum of the
// squares in 64 bits, not the engine's table functions); the largest value when it does not
// fit.
inline fixedpoint::fix16 length(vec2<fixedpoint::fix16> v) {
    return fixedpoint::fix16::fromRaw(fixedpoint::detail::hypotRaw(v.x.raw, v.y.raw));
}

// The length of b - a, computed without the difference wrapping.
inline fixedpoint::fix16 distance(vec2<fixedpoint::fix16> a, vec2<fixedpoint::fix16> b) {
    return fixedpoint::fix16::fromRaw(
        fixedpoint::detail::hypotRaw(static_cast<std::int64_t>(b.x.raw) - a.x.raw,
                                     static_cast<std::int64_t>(b.y.raw) - a.y.raw));
}

// The vector of length 1 the same way: the vector is first scaled up until its larger
// coordinate has 30 bits (so that a short one loses nothing to the rounding of its length),
// then each coordinate × 65536 ÷ the length, rounded toward zero, so the result is at most 1
// long and within 2 ÷ 65536 of it. The zero vector stays zero.
inline vec2<fixedpoint::fix16> normalised(vec2<fixedpoint::fix16> v) {
    std::int64_t x = v.x.raw, y = v.y.raw;
    if (x == 0 && y == 0)
        return v;
    while ((x < 0 ? -x : x) < (std::int64_t(1) << 29) &&
           (y < 0 ? -y : y) < (std::int64_t(1) << 29)) {
        x *= 2;
        y *= 2;
    }
    const std::int64_t size = static_cast<std::int64_t>(fixedpoint::detail::hypot64(x, y));
    return vec2<fixedpoint::fix16>(
        fixedpoint::fix16::fromRaw(static_cast<std::int32_t>(x * 65536 / size)),
        fixedpoint::fix16::fromRaw(static_cast<std::int32_t>(y * 65536 / size)));
}

// Turned by an angle in radians (towards +y, which is down on the screen: clockwise as seen),
// with the engine's sine and cosine (fixsin16, fixcos16: 4096 steps a turn, peaking at
// 65534), each coordinate's two products summed in 64 bits and rounded toward minus infinity
// once. A turn therefore keeps the length to within 2 ÷ 65536 of it, per unit of length.
inline vec2<fixedpoint::fix16> rotated(vec2<fixedpoint::fix16> v, fixedpoint::fix16 angle) {
    const std::int64_t c = fixedpoint::fixcos16(angle.raw), s = fixedpoint::fixsin16(angle.raw);
    auto shift = [](std::int64_t p) { return p >= 0 ? p >> 16 : -((-p + 65535) >> 16); };
    const std::int64_t x = shift(v.x.raw * c - v.y.raw * s);
    const std::int64_t y = shift(v.x.raw * s + v.y.raw * c);
    return vec2<fixedpoint::fix16>(
        fixedpoint::fix16::fromRaw(static_cast<std::int32_t>(static_cast<std::uint32_t>(x))),
        fixedpoint::fix16::fromRaw(static_cast<std::int32_t>(static_cast<std::uint32_t>(y))));
}

} // namespace vmath

#endif
