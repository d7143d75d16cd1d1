#ifndef TREL_TILE_ANIMATION_H
#define TREL_TILE_ANIMATION_H

#include <cstdint>
#include <vector>

#include "base/TrelExport.h"

// A tile's animation as Tiled plays it: frames of the same tileset, each shown for a number of
// milliseconds. Every cell that holds the tile shows the same frame, whether it is on screen
// or not: the frame depends only on the time since the zone began (TrelZone::getTicks() ×
// 1000 / framerate milliseconds, in integers).
class TREL_API TrelTileAnimation {
public:
    struct Frame {
        int frame; // the frame of the same resource shown
        int ms;    // how long it is shown; 0 stops the animation at this frame
    };

    int tile = 0; // the frame (cell value - 1) that this animation replaces
    std::vector<Frame> frames;

    // The frame shown ms milliseconds after the start, by Tiled's rule: a frame gives way to
    // the next only once the time spent on it is strictly greater than its duration, the
    // last is followed by the first, and a frame of 0 ms is never left. The tile itself
    // (tile) without frames; 0 at and before the start.
    int frameAt(std::int64_t ms) const;
};

#endif
