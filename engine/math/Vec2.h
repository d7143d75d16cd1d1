#ifndef TREL_VEC2_H
#define TREL_VEC2_H

namespace vmath {

// A plain pair, x then y. Getters of the engine fill one by reference.
template <class T>
struct vec2 {
    constexpr vec2() : x(), y() {}
    constexpr vec2(T xValue, T yValue) : x(xValue), y(yValue) {}

    T x;
    T y;
};

// Sums, differences and products by a number, each coordinate as T computes it (for fix16:
// wrapping like 32-bit integers, products rounded toward minus infinity). Lengths, dot
// products, normalising and turning are in FixedMath.h, for vec2<fix16>.
template <class T>
constexpr vec2<T> operator+(vec2<T> a, vec2<T> b) {
    return vec2<T>(a.x + b.x, a.y + b.y);
}
template <class T>
constexpr vec2<T> operator-(vec2<T> a, vec2<T> b) {
    return vec2<T>(a.x - b.x, a.y - b.y);
}
template <class T>
constexpr vec2<T> operator-(vec2<T> a) {
    return vec2<T>(-a.x, -a.y);
}
template <class T>
constexpr vec2<T> operator*(vec2<T> a, T s) {
    return vec2<T>(a.x * s, a.y * s);
}
template <class T>
constexpr bool operator==(vec2<T> a, vec2<T> b) {
    return a.x == b.x && a.y == b.y;
}
template <class T>
constexpr bool operator!=(vec2<T> a, vec2<T> b) {
    return !(a == b);
}

} // namespace vmath

#endif
