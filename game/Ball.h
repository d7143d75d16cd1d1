#ifndef QUENMOOR_BALL_H
#define QUENMOOR_BALL_H

#include <cstdint>

#include "trel.h"

// The player's ball: the arrow keys set its gravity, it bounces off the field's edges, the
// camera follows it with a dead zone, and it times the rounds and draws the status strip.
class Ball : public TrelObject {
public:
    Ball(TrelLayer* home, fixedpoint::fix16 x, fixedpoint::fix16 y, fixedpoint::fix16 w,
         fixedpoint::fix16 h);

    void onDraw(BITMAP* buffer) override; // status strip and minimap marker
    void onProcess() override;            // steering, bounce and speed cap
    void onPostProcess() override;        // camera, round timing and round end

    std::int32_t gems;     // collected in the current round; raised by the gems
    std::int32_t ticks;    // ticks of the current round
    std::int32_t bestTime; // smallest round time so far, in ticks
    std::int32_t lastTime; // time of the last completed round, in ticks
    std::int32_t rounds;   // rounds completed
};

#endif
