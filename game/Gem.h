#ifndef QUENMOOR_GEM_H
#define QUENMOOR_GEM_H

#include <cstdint>

#include "trel.h"

// A gem waits until the ball comes within 40 pixels on both axes, is then pulled towards it
// like a damped spring, and is collected when the two boxes overlap.
class Gem : public TrelObject {
public:
    Gem(TrelLayer* home, fixedpoint::fix16 x, fixedpoint::fix16 y, fixedpoint::fix16 w,
        fixedpoint::fix16 h);

    void onDraw(BITMAP* buffer) override; // its dot on the minimap
    void onProcess() override;            // activation, pull and pick-up

    std::int32_t active; // 1 once the ball has come near; never goes back
};

// The gems of one round: spawnGems scatters this many, and the ball's round ends with the last.
const int kGemsPerRound = 20;

// Scatters a round of kGemsPerRound gems on free cells of the 32 × 32 grid, marking them in layer
// 1's map (cleared first) and placing the gems on layer 0.
void spawnGems(TrelSystem* system, TrelResource* gemImages);

#endif
