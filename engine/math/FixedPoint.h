#ifndef TREL_FIXED_POINT_H
#define TREL_FIXED_POINT_H

#include <climits>
#include <cstdint>

#include "base/TrelExport.h"

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
    // The largest integer not above the value (-1.5 gives -2): what grid arithmetic needs,
    // where toInt() would put -0.5 in cell 0 instead of cell -1.
    constexpr int floor() const { return static_cast<int>(floorShift(raw)); }
    // The smallest integer not below the value (-1.5 gives -1, 1.25 gives 2).
    constexpr int ceil() const {
        return static_cast<int>(-floorShift(-static_cast<std::int64_t>(raw)));
    }
    // The nearest integer, halves away from zero (2.5 gives 3, -2.5 gives -3).
    constexpr int round() const {
        const std::int64_t half = std::int64_t(1) << (N - 1);
        return raw >= 0 ? static_cast<int>(floorShift(raw + half))
                        : static_cast<int>(-floorShift(-static_cast<std::int64_t>(raw) + half));
    }

    // The nearest fixed-point value to d (halves away from zero), saturated to the range; NaN
    // gives 0. For loading (Tiled's positions are doubles) and tools, never inside a tick.
    static fixed_point fromDouble(double d) {
        if (!(d == d))
            return fixed_point();
        double scaled = d * static_cast<double>(std::int64_t(1) << N);
        if (scaled >= 2147483647.0)
            return fromRaw(INT32_MAX);
        if (scaled <= -2147483648.0)
            return fromRaw(INT32_MIN);
        double whole = scaled >= 0 ? scaled + 0.5 : scaled - 0.5;
        return fromRaw(static_cast<std::int32_t>(whole)); // the cast truncates toward zero
    }
    // Exact (a double holds every raw value); for display and tools, never inside a tick.
    constexpr double toDouble() const {
        return static_cast<double>(raw) / static_cast<double>(std::int64_t(1) << N);
    }
    // Rounded to the nearest float: exact below 256 in magnitude at N = 16.
    constexpr float toFloat() const { return static_cast<float>(toDouble()); }

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

    // Against an integer, exactly (no wrap for any int): fix16(3) == 3, fix16::fromRaw(1) > 0.
    constexpr bool operator==(int n) const { return raw == scaled(n); }
    constexpr bool operator!=(int n) const { return raw != scaled(n); }
    constexpr bool operator<(int n) const { return raw < scaled(n); }
    constexpr bool operator<=(int n) const { return raw <= scaled(n); }
    constexpr bool operator>(int n) const { return raw > scaled(n); }
    constexpr bool operator>=(int n) const { return raw >= scaled(n); }
    friend constexpr bool operator==(int n, fixed_point v) { return v == n; }
    friend constexpr bool operator!=(int n, fixed_point v) { return v != n; }
    friend constexpr bool operator<(int n, fixed_point v) { return v > n; }
    friend constexpr bool operator<=(int n, fixed_point v) { return v >= n; }
    friend constexpr bool operator>(int n, fixed_point v) { return v < n; }
    friend constexpr bool operator>=(int n, fixed_point v) { return v <= n; }

    std::int32_t raw;

private:
    static constexpr std::uint32_t u(std::int32_t v) { return static_cast<std::uint32_t>(v); }
    // v >> N rounded toward minus infinity, without relying on how >> treats negatives.
    static constexpr std::int64_t floorShift(std::int64_t v) {
        return v >= 0 ? v >> N : -((-v + ((std::int64_t(1) << N) - 1)) >> N);
    }
    static constexpr std::int64_t scaled(int n) {
        return static_cast<std::int64_t>(n) * (std::int64_t(1) << N);
    }
    static constexpr std::int32_t wrap(std::uint64_t v) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    }
};

// The 16.16 type that every position, speed and size of the engine uses.
using fix16 = fixed_point<16>;

// Small helpers, exact on raw values. abs of the most negative value gives the largest (the
// true value does not fit); sign is -1, 0 or 1.
template <int N>
constexpr fixed_point<N> abs(fixed_point<N> v) {
    return v.raw >= 0 ? v : fixed_point<N>::fromRaw(v.raw == INT32_MIN ? INT32_MAX : -v.raw);
}
template <int N>
constexpr int sign(fixed_point<N> v) {
    return (v.raw > 0) - (v.raw < 0);
}
template <int N>
constexpr fixed_point<N> min(fixed_point<N> a, fixed_point<N> b) {
    return b.raw < a.raw ? b : a;
}
template <int N>
constexpr fixed_point<N> max(fixed_point<N> a, fixed_point<N> b) {
    return a.raw < b.raw ? b : a;
}
// v held to [low, high]; low when high is below low.
template <int N>
constexpr fixed_point<N> clamp(fixed_point<N> v, fixed_point<N> low, fixed_point<N> high) {
    return v.raw < low.raw ? low : v.raw > high.raw ? max(low, high) : v;
}
// a + (b - a) × t, the product in 64 bits rounded toward minus infinity: a at t = 0, b at
// t = 1 exactly, and beyond them for t outside [0, 1] (the result wraps like a sum).
template <int N>
constexpr fixed_point<N> lerp(fixed_point<N> a, fixed_point<N> b, fixed_point<N> t) {
    const std::int64_t span = static_cast<std::int64_t>(b.raw) - a.raw;
    const std::int64_t part = span * t.raw;
    const std::int64_t step =
        part >= 0 ? part >> N : -((-part + ((std::int64_t(1) << N) - 1)) >> N);
    return fixed_point<N>::fromRaw(static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::int64_t>(a.raw) + step)));
}

} // namespace fixedpoint

#endif
