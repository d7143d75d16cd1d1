#ifndef TREL_FIXED_POINT_H
#define TREL_FIXED_POINT_H

#include <cstdint>

#include "core/TrelExport.h"

namespace fixedpoint {

// f × 2^N rounded toward zero, whatever the processor's rounding mode; values beyond the
// 32-bit range saturate and NaN gives 0. Exported by trel0 for N = 16.
template <int N>
int float2fix(float f);
extern template TREL_API int float2fix<16>(float f);

// A signed fixed-point number with N fraction bits in one 32-bit two's-complement raw
// value. Sums, differences and integer products wrap like 32-bit integers.
template <int N>
class fixed_point {
public:
    constexpr fixed_point() : raw(0) {}
    // The integer n, shifted in 32-bit arithmetic (callers keep n within the integer range).
    constexpr explicit fixed_point(int n)
        : raw(static_cast<std::int32_t>(static_cast<std::uint32_t>(n) << N)) {}
    explicit fixed_point(float f) : raw(float2fix<N>(f)) {}

    static constexpr fixed_point fromRaw(std::int32_t r) {
        fixed_point v;
        v.raw = r;
        return v;
    }

    // The integer part, rounded toward zero: (r + 2^N - 1) >> N for negative raw values,
    // since a plain shift would floor.
    constexpr int toInt() const { return raw >= 0 ? (raw >> N) : ((raw + ((1 << N) - 1)) >> N); }
    constexpr explicit operator int() const { return toInt(); }

    constexpr fixed_point operator-() const { return fromRaw(wrap(0u - u(raw))); }
    constexpr fixed_point operator+(fixed_point b) const {
        return fromRaw(wrap(u(raw) + u(b.raw)));
    }
    constexpr fixed_point operator-(fixed_point b) const {
        return fromRaw(wrap(u(raw) - u(b.raw)));
    }
    constexpr fixed_point& operator+=(fixed_point b) { return *this = *this + b; }
    constexpr fixed_point& operator-=(fixed_point b) { return *this = *this - b; }

    // Integer factors and divisors apply to the raw value; division rounds toward zero.
    constexpr fixed_point operator*(int n) const { return fromRaw(wrap(u(raw) * u(n))); }
    constexpr fixed_point operator/(int n) const { return fromRaw(raw / n); }

    // The 64-bit product shifted right arithmetically, so it rounds toward minus infinity;
    // the result keeps the low 32 bits.
    constexpr fixed_point operator*(fixed_point b) const {
        return fromRaw(
            wrap(static_cast<std::uint64_t>((static_cast<std::int64_t>(raw) * b.raw) >> N)));
    }

    constexpr bool operator==(fixed_point b) const { return raw == b.raw; }
    constexpr bool operator!=(fixed_point b) const { return raw != b.raw; }
    constexpr bool operator<(fixed_point b) const { return raw < b.raw; }
    constexpr bool operator<=(fixed_point b) const { return raw <= b.raw; }
    constexpr bool operator>(fixed_point b) const { return raw > b.raw; }
    constexpr bool operator>=(fixed_point b) const { return raw >= b.raw; }

    std::int32_t raw;

private:
    static constexpr std::uint32_t u(std::int32_t v) { return static_cast<std::uint32_t>(v); }
    static constexpr std::int32_t wrap(std::uint64_t v) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    }
};

// The 16.16 type that every position, speed and size of the engine uses.
using fix16 = fixed_point<16>;

} // namespace fixedpoint

#endif
