#ifndef TREL_FIXED_MATH_H
#define TREL_FIXED_MATH_H

#include <cstdint>

#include "base/TrelExport.h"
#include "math/FixedPoint.h"

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

#endif
