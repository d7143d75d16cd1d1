#include "AccuracyTable.h"

#include <allegro.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "math/FixedMath.h"

namespace {

const int kSteps = 200000;

double value(long raw) {
    return raw / 65536.0;
}

struct Row {
    const char* name;
    const char* range;
    double ours, allegro, clib;
};

void print(const Row& row) {
    std::printf("  %-10s %-22s %12.3g %12.3g %12.3g\n", row.name, row.range, row.ours, row.allegro,
                row.clib);
}

} // namespace

void printAccuracyTable() {
    std::printf("\nLargest absolute error against double precision over a sweep of %d values:\n",
                kSteps);
    std::printf("  %-10s %-22s %12s %12s %12s\n", "function", "range", "trel0", "Allegro",
                "float libm");

    Row sine{"sin", "[0, 2pi)", 0, 0, 0}, cosine{"cos", "[0, 2pi)", 0, 0, 0};
    for (int i = 0; i < kSteps; ++i) {
        int raw = static_cast<int>(static_cast<long>(i) * fixedpoint::twoPi16 / kSteps);
        double angle = value(raw);
        int allegroAngle = static_cast<int>(std::lround(angle / (2 * M_PI) * 256 * 65536));
        double allegroRadians = allegroAngle / 65536.0 / 256 * 2 * M_PI;
        sine.ours =
            std::max(sine.ours, std::fabs(value(fixedpoint::fixsin16(raw)) - std::sin(angle)));
        sine.allegro = std::max(sine.allegro,
                                std::fabs(fixtof(fixsin(allegroAngle)) - std::sin(allegroRadians)));
        sine.clib = std::max(sine.clib,
                             std::fabs(std::sin(static_cast<float>(angle)) -
                                       std::sin(static_cast<double>(static_cast<float>(angle)))));
        cosine.ours =
            std::max(cosine.ours, std::fabs(value(fixedpoint::fixcos16(raw)) - std::cos(angle)));
        cosine.allegro = std::max(
            cosine.allegro, std::fabs(fixtof(fixcos(allegroAngle)) - std::cos(allegroRadians)));
        cosine.clib = std::max(cosine.clib,
                               std::fabs(std::cos(static_cast<float>(angle)) -
                                         std::cos(static_cast<double>(static_cast<float>(angle)))));
    }

    Row root{"sqrt", "[0.01, 100]", 0, 0, 0}, inverseRoot{"rsqrt", "[0.01, 100]", 0, 0, 0};
    for (int i = 0; i < kSteps; ++i) {
        int raw = 655 + static_cast<int>(static_cast<long>(i) * (100 * 65536 - 655) / kSteps);
        double x = value(raw);
        root.ours =
            std::max(root.ours, std::fabs(value(fixedpoint::fixsqrt16(raw)) - std::sqrt(x)));
        root.allegro = std::max(root.allegro, std::fabs(fixtof(fixsqrt(raw)) - std::sqrt(x)));
        root.clib = std::max(root.clib, std::fabs(std::sqrt(static_cast<float>(x)) - std::sqrt(x)));
        double exact = 1 / std::sqrt(x);
        inverseRoot.ours =
            std::max(inverseRoot.ours, std::fabs(value(fixedpoint::fixrsqrt16(raw)) - exact));
        inverseRoot.allegro = std::max(inverseRoot.allegro,
                                       std::fabs(fixtof(fixdiv(itofix(1), fixsqrt(raw))) - exact));
        inverseRoot.clib =
            std::max(inverseRoot.clib, std::fabs(1 / std::sqrt(static_cast<float>(x)) - exact));
    }

    Row quotient{"divide", "x/s, |s| in [1, 600]", 0, 0, 0};
    for (int i = 0; i < kSteps; ++i) {
        int x = static_cast<int>((static_cast<long>(i) * 7919 % 2000 - 1000) * 65536L + i % 65536);
        int s = static_cast<int>((1 + static_cast<long>(i) * 104729 % 599) * 65536L + i % 977);
        if (i % 2)
            s = -s;
        double exact = value(x) / value(s);
        fixedpoint::fix16 q = fixedpoint::fix16::fromRaw(x) / fixedpoint::fix16::fromRaw(s);
        quotient.ours = std::max(quotient.ours, std::fabs(value(q.raw) - exact));
        quotient.allegro = std::max(quotient.allegro, std::fabs(fixtof(fixdiv(x, s)) - exact));
        quotient.clib = std::max(
            quotient.clib,
            std::fabs(static_cast<float>(value(x)) / static_cast<float>(value(s)) - exact));
    }
    for (const Row& row : {sine, cosine, root, inverseRoot, quotient})
        print(row);
    std::printf("  (fixsqrt16 is exact only near 1.0: six steps from (x + 1) / 2 fall short for"
                " large x, as specified.)\n");
}
