#include "anim/TrelTileAnimation.h"

int TrelTileAnimation::frameAt(std::int64_t ms) const {
    if (frames.empty())
        return tile;
    std::int64_t cycle = 0;
    for (const Frame& f : frames) {
        if (f.ms <= 0) {
            cycle = 0; // a frame of 0 ms is reached once, never left: no cycle
            break;
        }
        cycle += f.ms;
    }
    std::int64_t left = ms > 0 ? ms : 0;
    // Each whole cycle ends back at the first frame with its time spent; what is left lies
    // in (0, cycle], as Tiled's frame-by-frame walk leaves it.
    if (cycle > 0 && left > cycle)
        left = (left - 1) % cycle + 1;
    for (const Frame& f : frames) {
        if (f.ms <= 0 || left <= f.ms)
            return f.frame;
        left -= f.ms;
    }
    return frames.back().frame; // not reached: left never exceeds the cycle
}
