#ifndef TREL_EASE_H
#define TREL_EASE_H

#include "base/TrelExport.h"
#include "math/FixedPoint.h"

// Robert Penner's easing curves, as every tweening library names them: each maps the share
// of a tween's time gone, t in [0, 1], to the share of the way gone, 0 at t = 0 and 1 at
// t = 1 (back and elastic overshoot between). Computed in 64-bit integers with 30 fraction
// bits (sine and 2^x by series to well below the last bit kept) and rounded to the nearest
// 16.16 value once, so every curve gives the 16.16 value nearest its formula in double
// precision (within 1 ÷ 65536 in all), the same on every machine. t outside [0, 1] is taken as the
// nearer end.
class TREL_API TrelEase {
public:
    enum Curve {
        kLinear,
        kQuadIn,
        kQuadOut,
        kQuadInOut,
        kCubicIn,
        kCubicOut,
        kCubicInOut,
        kQuartIn,
        kQuartOut,
        kQuartInOut,
        kQuintIn,
        kQuintOut,
        kQuintInOut,
        kSineIn,
        kSineOut,
        kSineInOut,
        kExpoIn,
        kExpoOut,
        kExpoInOut,
        kCircIn,
        kCircOut,
        kCircInOut,
        kBackIn,
        kBackOut,
        kBackInOut,
        kElasticIn,
        kElasticOut,
        kElasticInOut,
        kBounceIn,
        kBounceOut,
        kBounceInOut,
        kCurves
    };

    // The curve at t, for a curve out of range the line.
    static fixedpoint::fix16 apply(Curve curve, fixedpoint::fix16 t);
    // Its name as the libraries spell it ("quadIn", "elasticInOut"), for messages and tools.
    static const char* name(Curve curve);
};

#endif
