#include "tween/TrelEase.h"

namespace {

// Values with 30 fraction bits in 64-bit integers: every product of two values below 4 fits.
using Q = std::int64_t;
const Q kOne = Q(1) << 30;
const Q kHalf = kOne / 2;

// a × b ÷ 2^30, rounded toward minus infinity without relying on how >> treats negatives.
Q mul(Q a, Q b) {
    const Q p = a * b;
    return p >= 0 ? p >> 30 : -((-p + kOne - 1) >> 30);
}

// sin(π v ÷ 2) for v in [0, 1]: its series to the 13th power, whose first term left out is
// below 2^-30.
Q quarterSine(Q v) {
    static const Q terms[] = {1686629713, -693598668, 85569306, -5026995, 172272, -3864, 61};
    const Q v2 = mul(v, v);
    Q sum = terms[6];
    for (int k = 5; k >= 0; --k)
        sum = mul(sum, v2) + terms[k];
    return mul(sum, v);
}

// sin(2π u) for u in turns, any value: the turn is taken off exactly, by its bits.
Q sineOfTurns(Q u) {
    u &= kOne - 1;
    const Q quadrant = u >> 28, within = (u & ((Q(1) << 28) - 1)) << 2;
    const Q s = quarterSine(quadrant % 2 == 0 ? within : kOne - within);
    return quadrant < 2 ? s : -s;
}

// 2^x for x in [-30, 0]: the whole part as a shift, the fraction f by the series of
// e^(f ln 2) to its 11th power.
Q exp2(Q x) {
    static const Q terms[] = {1073741824, 744261118, 257941248, 59597083, 10327387, 1431680,
                              165394,     16377,     1419,      109,      8};
    const Q whole = x >= 0 ? x >> 30 : -((-x + kOne - 1) >> 30); // floor
    const Q f = x - whole * kOne;
    Q sum = terms[10];
    for (int k = 9; k >= 0; --k)
        sum = mul(sum, f) + terms[k];
    return whole <= -31 ? 0 : sum >> -whole;
}

// The integer square root of v × 2^30, rounded down: √v with 30 fraction bits.
Q root(Q v) {
    std::uint64_t rest = static_cast<std::uint64_t>(v) << 30, result = 0;
    for (std::uint64_t bit = std::uint64_t(1) << 62; bit != 0; bit >>= 2) {
        if (rest >= result + bit) {
            rest -= result + bit;
            result = (result >> 1) + bit;
        } else {
            result >>= 1;
        }
    }
    return static_cast<Q>(result);
}

Q power(Q t, int n) {
    Q p = t;
    for (int i = 1; i < n; ++i)
        p = mul(p, t);
    return p;
}

// Penner's bounce, the out curve: four parabolas of 7.5625 t².
Q bounceOut(Q t) {
    const Q n1 = 7 * kOne + kOne * 9 / 16;
    if (t < 390451572) // 1 ÷ 2.75
        return mul(mul(n1, t), t);
    if (t < 780903145) { // 2 ÷ 2.75
        t -= 585677359;
        return mul(mul(n1, t), t) + 805306368;
    }
    if (t < 976128931) { // 2.5 ÷ 2.75
        t -= 878516038;
        return mul(mul(n1, t), t) + 1006632960;
    }
    t -= 1024935377;
    return mul(mul(n1, t), t) + 1056964608;
}

// The in curve of each family; back and elastic take the variant their in-out uses.
enum Family { kLine, kQuad, kCubic, kQuart, kQuint, kSine, kExpo, kCirc, kBack, kElastic, kBounce };

Q easeIn(Family family, Q t, bool forInOut) {
    switch (family) {
    case kQuad:
    case kCubic:
    case kQuart:
    case kQuint:
        return power(t, family - kQuad + 2);
    case kSine: // 1 - cos(π t ÷ 2)
        return kOne - sineOfTurns(t / 4 + kOne / 4);
    case kExpo:
        return t == 0 ? 0 : exp2(10 * t - 10 * kOne);
    case kCirc:
        return kOne - root(kOne - mul(t, t));
    case kBack: { // (c + 1) t³ - c t², c = 1.70158, or 1.70158 × 1.525 in the in-out
        const Q c = forInOut ? Q(2786262860) : Q(1827057613);
        return mul(mul(c + kOne, t) - c, mul(t, t));
    }
    case kElastic: { // -2^(10t - 10) sin(2π (10t - 10.75) ÷ 3), or ÷ 4.5 and 11.125
        if (t == 0 || t == kOne)
            return t;
        const Q turns =
            forInOut ? mul(t, 2386092942) - 2654528398 : mul(t, 3579139413) - 3847574869;
        return -mul(exp2(10 * t - 10 * kOne), sineOfTurns(turns));
    }
    case kBounce:
        return kOne - bounceOut(kOne - t);
    case kLine:
        break;
    }
    return t;
}

const char* const kNames[] = {
    "linear",    "quadIn",    "quadOut",    "quadInOut", "cubicIn",   "cubicOut",   "cubicInOut",
    "quartIn",   "quartOut",  "quartInOut", "quintIn",   "quintOut",  "quintInOut", "sineIn",
    "sineOut",   "sineInOut", "expoIn",     "expoOut",   "expoInOut", "circIn",     "circOut",
    "circInOut", "backIn",    "backOut",    "backInOut", "elasticIn", "elasticOut", "elasticInOut",
    "bounceIn",  "bounceOut", "bounceInOut"};

} // namespace

fixedpoint::fix16 TrelEase::apply(Curve curve, fixedpoint::fix16 t) {
    const Q at = t.raw <= 0 ? 0 : t.raw >= 65536 ? kOne : Q(t.raw) << 14;
    Q eased = at;
    if (curve > kLinear && curve < kCurves) {
        // Three curves a family, in, out and in-out, from the in curve.
        const Family family = static_cast<Family>((curve - 1) / 3 + 1);
        switch ((curve - 1) % 3) {
        case 0:
            eased = easeIn(family, at, false);
            break;
        case 1:
            eased = kOne - easeIn(family, kOne - at, false);
            break;
        default:
            eased = at < kHalf ? easeIn(family, 2 * at, true) / 2
                               : kOne - easeIn(family, 2 * kOne - 2 * at, true) / 2;
        }
    }
    // To the nearest 16.16 value, halves up.
    const Q rounded = eased + (Q(1) << 13);
    return fixedpoint::fix16::fromRaw(static_cast<std::int32_t>(
        rounded >= 0 ? rounded >> 14 : -((-rounded + (Q(1) << 14) - 1) >> 14)));
}

const char* TrelEase::name(Curve curve) {
    return curve >= kLinear && curve < kCurves ? kNames[curve] : "linear";
}
