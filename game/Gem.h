#ifndef QUENMOOR_GEM_H
#define QUENMOOR_GEM_H

#include <cstdint>

#include "Ball.h"
#include "trel.h"

// A gem waits until the ball comes within 40 pixels on both axes, is then pulled towards it
// like a damped spring, and is collected when the two boxes overlap.
class Gem : public TrelObject {
public:
    // Pulled towards the ball, which counts it when it is collected.
    Gem(TrelLayer* home, fixedpoint::fix16 x, fixedpoint::fix16 y, fixedpoint::fix16 w,
        fixedpoint::fix16 h, Ball* ball);

    void onDraw(BITMAP* buffer) override; // its dot on the minimap
    void onProcess() override;            // activation, pull and pick-up

    std::int32_t active;        // 1 once the ball has come near; never goes back
    Ball* ball;                 // not owned
    TrelSound* sound = nullptr; // played when collected; not owned, may be null
};

// Scatters a round of kGemsPerRound gems towards the ball on free cells of the 32 × 32 grid,
// marking them in layer 1's map (cleared first) and placing the gems on layer 0.
void spawnGems(TrelSystem* system, TrelResource* gemImages, Ball* ball, TrelSound* sound);

// Sets every cell of the layer's map to the value.
void fillLayer(TrelLayer* layer, short value);

#endif
