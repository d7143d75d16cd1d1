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

} // namespace vmath

#endif
