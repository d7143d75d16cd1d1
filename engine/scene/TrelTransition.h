#ifndef TREL_TRANSITION_H
#define TREL_TRANSITION_H

#include "base/TrelExport.h"

// How TrelSystem::switchScene goes from one scene to the next, counted in ticks so that it is
// the same in every run and replay: the screen fades to a colour over outTicks, the scenes
// are switched, and the new one fades in over inTicks. The default is a cut (0 and 0). While
// the screen fades, the scene shown runs on when runsDuring is set, and otherwise stands
// still, its input unread.
struct TREL_API TrelTransition {
    int outTicks = 0;
    int inTicks = 0;
    int color = 0x000000; // 0xRRGGBB
    bool runsDuring = false;

    TrelTransition() = default;
    // A fade out and in, each over ticks.
    static TrelTransition fade(int ticks, int rgb = 0x000000) {
        TrelTransition transition;
        transition.outTicks = ticks;
        transition.inTicks = ticks;
        transition.color = rgb;
        return transition;
    }
};

#endif
