#include <gtest/gtest.h>

#include "Ball.h"
#include "Level.h"
#include "SoakRun.h"

// 50,000 ticks take about 7 s in a plain build; a sanitizer's build runs about seven times
// slower, so it runs fewer, sized to finish well inside the test's limit on a busy machine.
#ifndef TREL_SOAK_TICKS
#define TREL_SOAK_TICKS 50000
#endif

// The long soak (tools/soak) in short: rounds keep cycling and every round leaves the field
// as the game started it.
TEST(Soak, ThousandsOfTicksOfRoundsKeepTheFieldAndTheBestTimeSound) {
    const int ticks = TREL_SOAK_TICKS;
    SoakRun soak;
    soak.start();
    EXPECT_TRUE(soak.run(ticks)) << soak.fault;
    EXPECT_EQ(soak.ticks, ticks);
    // Two ticks per gem at most when the ball is placed on each in turn.
    EXPECT_GT(soak.rounds, ticks / (2 * 20 + 2));
    EXPECT_LE(ball->bestTime, ball->lastTime);
    EXPECT_EQ(gameSystem.spriteResources.size(), 3u); // no image loaded again by a round
}
