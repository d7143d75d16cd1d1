// Each fixed-point function next to Allegro's own and the C library's, per call, over 1024
// independent arguments per iteration.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "math/FixedMath.h"

using fixedpoint::fix16;

namespace {

const int kCount = 1024;

// Angles spread over [0, 2π), as 16.16 radians and as Allegro's 16.16 binary degrees.
struct Inputs {
    std::vector<int> radians, allegroAngles, positive, divisors;
    std::vector<float> floats, positiveFloats;
    Inputs() {
        for (int i = 0; i < kCount; ++i) {
            double angle = 2 * M_PI * i / kCount;
            radians.push_back(static_cast<int>(angle * 65536));
            allegroAngles.push_back(static_cast<int>(angle / (2 * M_PI) * 256 * 65536));
            double value = 0.01 + 100.0 * i / kCount;
            positive.push_back(static_cast<int>(value * 65536));
            divisors.push_back(
                static_cast<int>((i % 2 ? 1 : -1) * (0.5 + 600.0 * i / kCount) * 65536));
            floats.push_back(static_cast<float>(angle));
            positiveFloats.push_back(static_cast<float>(value));
        }
    }
};

const Inputs& inputs() {
    static Inputs in;
    return in;
}

// Sums the results, so that no call can be left out.
template <class T, class F>
void perCall(benchmark::State& state, const std::vector<T>& args, F f) {
    for (auto _ : state) {
        T sum = 0;
        for (T a : args)
            sum += f(a);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(args.size()));
}

void BM_fixsin16(benchmark::State& s) {
    perCall(s, inputs().radians, fixedpoint::fixsin16);
}
void BM_allegro_fixsin(benchmark::State& s) {
    perCall(s, inputs().allegroAngles, [](int a) { return static_cast<int>(fixsin(a)); });
}
void BM_sinf(benchmark::State& s) {
    perCall(s, inputs().floats, [](float a) { return std::sin(a); });
}
void BM_fixcos16(benchmark::State& s) {
    perCall(s, inputs().radians, fixedpoint::fixcos16);
}
void BM_allegro_fixcos(benchmark::State& s) {
    perCall(s, inputs().allegroAngles, [](int a) { return static_cast<int>(fixcos(a)); });
}
void BM_fixsqrt16(benchmark::State& s) {
    perCall(s, inputs().positive, fixedpoint::fixsqrt16);
}
void BM_fixrsqrt16(benchmark::State& s) {
    perCall(s, inputs().positive, fixedpoint::fixrsqrt16);
}
void BM_allegro_fixsqrt(benchmark::State& s) {
    perCall(s, inputs().positive, [](int a) { return static_cast<int>(fixsqrt(a)); });
}
void BM_sqrtf(benchmark::State& s) {
    perCall(s, inputs().positiveFloats, [](float a) { return std::sqrt(a); });
}
// Divides each argument by one of the divisors (signs mixed, 0.5 to 600.0).
template <class Divide>
void perDivision(benchmark::State& state, Divide divide) {
    const std::vector<int>& d = inputs().divisors;
    perCall(state, inputs().positive,
            [&](int a) { return divide(a, d[static_cast<unsigned>(a) & 1023]); });
}

void BM_fix16_divide(benchmark::State& s) {
    perDivision(s, [](int x, int y) { return (fix16::fromRaw(x) / fix16::fromRaw(y)).raw; });
}
void BM_allegro_fixdiv(benchmark::State& s) {
    perDivision(s, [](int x, int y) { return static_cast<int>(fixdiv(x, y)); });
}

} // namespace

BENCHMARK(BM_fixsin16);
BENCHMARK(BM_allegro_fixsin);
BENCHMARK(BM_sinf);
BENCHMARK(BM_fixcos16);
BENCHMARK(BM_allegro_fixcos);
BENCHMARK(BM_fixsqrt16);
BENCHMARK(BM_fixrsqrt16);
BENCHMARK(BM_allegro_fixsqrt);
BENCHMARK(BM_sqrtf);
BENCHMARK(BM_fix16_divide);
BENCHMARK(BM_allegro_fixdiv);
