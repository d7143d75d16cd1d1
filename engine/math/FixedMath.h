#ifndef TREL_FIXED_MATH_H
#define TREL_FIXED_MATH_H

#include <cstdint>

#include "core/TrelExport.h"
#include "math/FixedPoint.h"

// Table-driven functions on raw 16.16 values. They use 32-bit integer operations and 64-bit
// products only, with a fixed number of refinement steps, so their results are the same on
// every machine, including their documented inaccuracies.
namespace fixedpoint {

// 2π and 1 ÷ 2π as float2fix<16> gives them: both a little below the true values.
constexpr int twoPi16 = 411774;
constexpr int invTwoPi16 = 10430;

// Seeds of the functions below; constant data of trel0.
extern TREL_API const std::uint16_t sinTable[1024];  // quarter wave, peak 65534
extern TREL_API const std::uint16_t rsqrtTable[8];   // 131072 ÷ √(8 + k)
extern TREL_API const std::uint16_t rcp_tab[8];      // 262144 ÷ (8 + k), for fixinv<16>

// Sine and cosine of an angle in radians, in -65534 ... 65534.
TREL_API int fixsin16(int a);
TREL_API int fixcos16(int a);
// Square root by six Heron steps from (x + 1) ÷ 2: exact at 1.0, coarse for large values
// (4096.0 gives 66.355). Negative values and values from 32767.0 up give values of no use.
TREL_API int fixsqrt16(int x);
// 1 ÷ √x by three Newton steps; 0x7fffffff for 0. Negative values give values of no use.
TREL_API int fixrsqrt16(int x);

namespace detail {

// The fixed-point product of raw values, rounding toward minus infinity.
constexpr std::int32_t mul16(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::uint64_t>((static_cast<std::int64_t>(a) * b) >> 16)));
}

constexpr std::int32_t wrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

constexpr std::int32_t wrapSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

// Leading zero bits of a 32-bit value; 32 for 0.
inline int leadingZeros(std::uint32_t v) {
    return v == 0 ? 32 : __builtin_clz(v);
}

// The three bits just below the leading one bit; 0 when fewer than three lie below it.
inline int seedIndex(std::uint32_t v, int zeros) {
    return zeros > 28 ? 0 : static_cast<int>((v >> (28 - zeros)) & 7);
}

} // namespace detail

// 1 ÷ a with the sign of a, by two Newton steps from a table seed. Meaningful for |a| >= 8
// (raw); 0 gives 0.
template <int N>
inline int fixinv(int a);

template <>
inline int fixinv<16>(int a) {
    bool negative = a < 0;
    // Unsigned negation, so that the most negative value does not overflow.
    std::uint32_t magnitude = negative ? 0u - static_cast<std::uint32_t>(a) : static_cast<std::uint32_t>(a);
    int zeros = detail::leadingZeros(magnitude);
    std::int32_t x = static_cast<std::int32_t>(magnitude);
    std::int32_t r = rcp_tab[detail::seedIndex(magnitude, zeros)] * 4;
    int e = zeros - 16;
    if (e > 0)
        r = static_cast<std::int32_t>(static_cast<std::uint32_t>(r) << e); // bits shifted out are lost
    else
        r >>= -e;
    r = detail::mul16(detail::wrapSub(131072, detail::mul16(x, r)), r);
    r = detail::mul16(detail::wrapSub(131072, detail::mul16(x, r)), r);
    return negative ? detail::wrapSub(0, r) : r;
}

// x ÷ s as x × (1 ÷ s). From 256.0 in size on, both are scaled down by 8 bits first, so that
// the reciprocal keeps its precision.
inline fixed_point<16> operator/(fixed_point<16> x, fixed_point<16> s) {
    std::int32_t high = s.raw >> 24;
    if (high != 0 && high != -1)
        return fixed_point<16>::fromRaw(detail::mul16(x.raw >> 8, fixinv<16>(s.raw >> 8)));
    return fixed_point<16>::fromRaw(detail::mul16(x.raw, fixinv<16>(s.raw)));
}

} // namespace fixedpoint

#endif
