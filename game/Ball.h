#ifndef QUENMOOR_BALL_H
#define QUENMOOR_BALL_H

#include <cstdint>

#include "trel.h"

// The gems of one round: the ball's round ends with the last, and spawnGems scatters this many.
const int kGemsPerRound = 20;

// The player's ball: the arrow keys set its gravity, it bounces off the field's edges, the
// camera follows it with a dead zone, and it times the rounds and draws the status strip.
class Ball : public TrelObject {
public:
    // Called when the round's last gem is collected, before the times are recorded: the level
    // scatters the next round's gems.
    using RoundEnd = void (*)(Ball* ball);

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
    RoundEnd onRoundEnd = nullptr;
    TrelSound* roundSound = nullptr; // played as a round ends; not owned, may be null
};

// Where an object appears on the minimap, relative to its top-left corner at (600, 448): one
// minimap pixel per 1/32 of the layer's width and height, or per pixel on a layer smaller
// than 32 pixels, so that the divisor is never 0.
void minimapSpot(TrelObject* object, int& mx, int& my);

#endif
