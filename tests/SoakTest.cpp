#include <gtest/gtest.h>

#include "Ball.h"
#include "Level.h"
#include "SoakRun.h"

// The long soak (tools/soak) in short: rounds keep cycling and every round leaves the field
// as the game started it.
TEST(Soak, FiftyThousandTicksOfRoundsKeepTheFieldAndTheBestTimeSound) {
    SoakRun soak;
    soak.start();
    EXPECT_TRUE(soak.run(50000)) << soak.fault;
    EXPECT_EQ(soak.ticks, 50000);
    // Two ticks per gem at most when the ball is placed on each in turn.
    EXPECT_GT(soak.rounds, 50000 / (2 * 20 + 2));
    EXPECT_LE(ball->bestTime, ball->lastTime);
    EXPECT_EQ(gameSystem.spriteResources.size(), 3u); // no image loaded again by a round
}
