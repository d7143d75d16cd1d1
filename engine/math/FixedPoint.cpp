#include "math/FixedPoint.h"

#include <climits>

namespace fixedpoint {

template <int N>
int float2fix(float f) {
    // Scaling by a power of two is exact; the conversion to int always truncates.
    float scaled = f * static_cast<float>(1 << N);
    if (!(scaled == scaled))
        return 0;
    if (scaled >= 2147483648.0f)
        return INT_MAX;
    if (scaled < -2147483648.0f)
        return INT_MIN;
    return static_cast<int>(scaled);
}

template TREL_API int float2fix<16>(float f);

} // namespace fixedpoint
