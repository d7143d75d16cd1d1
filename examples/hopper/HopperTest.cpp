// The platformer played without a window: keys held by the test, then the hero's place and
// the score checked. Run from the game's folder.
#include <allegro.h>
#include <gtest/gtest.h>
#include <trel.h>

#include <algorithm>

#include "Hopper.h"
#include "Level.h"

using fixedpoint::fix16;

TrelSystem game; // the tests' own root object

namespace {

vmath::vec2<fix16> at(Hopper* hero) {
    vmath::vec2<fix16> p;
    hero->getPos(p);
    return p;
}

} // namespace

// guide: test
TEST(Hopper, JumpsOntoThePlankWalksTheHillCollectsCoinsAndMeetsTheWall) {
    TrelHeadlessRun run(&game);
    Hopper* hero = startLevel(game);
    // Feet on the grass (y 208): the centre of a hero 20 pixels tall is at 198.
    run.run(2);
    EXPECT_EQ(at(hero).y, 198);

    // Run right and jump up through the plank: it lands on its top (y 160) with the coin.
    run.hold(KEY_RIGHT);
    run.run(30);
    run.hold(KEY_UP);
    run.run(1);
    run.release(KEY_UP);
    run.run(30);
    EXPECT_EQ(at(hero).y, 150);
    EXPECT_TRUE(hero->mover.isOnFloor());
    EXPECT_EQ(hero->score, 1);

    // Off the plank, up the hill and down again, on the ground at every step of the slopes.
    while (at(hero).x < 250)
        run.run(1);
    for (int tick = 0; tick < 45; ++tick) {
        run.run(1);
        EXPECT_TRUE(hero->mover.isOnFloor()) << "tick " << tick;
        if (tick == 20) {
            EXPECT_EQ(at(hero).y, 182); // on the hilltop, 16 pixels up
        }
    }
    EXPECT_EQ(at(hero).y, 198);
    EXPECT_EQ(hero->score, 2);

    // The wall at x 448 stops the hero; a jump carries it over, to the last coin.
    run.run(70);
    EXPECT_EQ(at(hero).x, 448 - 5);
    EXPECT_TRUE(hero->mover.getRightWall().touched);
    run.hold(KEY_UP);
    run.run(1);
    run.release(KEY_UP);
    run.run(80);
    EXPECT_GT(at(hero).x, 528);
    EXPECT_EQ(hero->score, 3);
}
// guide: end

// The level's tune plays from the start, and the jump sound from the first frame of the tick
// the hero jumps in, sample for sample (the tune turned down to nothing to hear it alone).
TEST(Hopper, PlaysItsTuneAndTheJumpOnItsTick) {
    TrelHeadlessRun run(&game);
    Hopper* hero = startLevel(game);
    ASSERT_NE(game.audio.mixer.getMusic(), nullptr);
    ASSERT_NE(hero->jumpSound, nullptr);
    run.run(1);
    const std::int16_t* tune = game.audio.mixer.getTickSamples();
    EXPECT_TRUE(std::any_of(tune, tune + 2 * game.audio.mixer.getTickFrames(),
                            [](std::int16_t sample) { return sample != 0; }));
    game.audio.mixer.setMusicVolume(0);
    run.run(1);
    run.hold(KEY_UP);
    run.run(1);
    const std::int16_t* mix = game.audio.mixer.getTickSamples();
    const std::int16_t* jump = hero->jumpSound->getSamples();
    for (int f = 0; f < game.audio.mixer.getTickFrames(); ++f) {
        ASSERT_EQ(mix[2 * f], jump[f]) << f;
        ASSERT_EQ(mix[2 * f + 1], jump[f]) << f;
    }
}
