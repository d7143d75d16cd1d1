// The platformer played without a window: keys held by the test, then the hero's place and
// the score checked. Run from the game's folder.
#include <allegro.h>
#include <gtest/gtest.h>
#include <trel.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Hopper.h"
#include "Level.h"
#include "Progress.h"
#include "Scenes.h"

using fixedpoint::fix16;

// The game's saves and settings go to a folder of this run's own, never the player's, and
// the folder goes when the run ends.
struct SavesOfTheirOwn {
    std::string folder;
    SavesOfTheirOwn() {
        char name[] = "/tmp/hopper-test-XXXXXX";
        folder = mkdtemp(name) != nullptr ? name : "/nonexistent";
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~SavesOfTheirOwn() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
} savesOfTheirOwn;

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

// guide: scenes-test
// The whole game as main() sets it up: title, level, pause, the end, and the title again,
// recorded and replayed exactly.
TEST(HopperScenes, TitlePlayPauseGameOverAndBackReplayExactly) {
    TrelHeadlessRun run(&game, configureHopper, startHopper);
    EXPECT_EQ(game.iface.gfx.width, 320); // the game's own screen
    TrelRecorder recorder(&game);
    ASSERT_TRUE(recorder.start("scenes.trec", 7));
    startHopper(game); // after start(), which silences the mixer, as the replay will
    auto press = [&](int code) {
        run.hold(code);
        recorder.step();
        run.release(code);
    };
    auto play = [&](int ticks) {
        for (int t = 0; t < ticks; ++t)
            recorder.step();
    };
    press(KEY_ENTER); // seen on the title's first tick
    play(20);         // the fade out, then the level
    EXPECT_STREQ(game.scenes.getSceneName(), "play");
    play(20);
    press(KEY_P);
    EXPECT_STREQ(game.scenes.getSceneName(), "pause");
    const std::uint64_t frozen = game.scenes.getCovered(0)->stateHash();
    play(600);
    EXPECT_EQ(game.scenes.getCovered(0)->stateHash(), frozen);
    press(KEY_P);
    EXPECT_STREQ(game.scenes.getSceneName(), "play");
    // The way of the test above: the plank's coin, the hill's, then over the wall.
    run.hold(KEY_RIGHT);
    play(30);
    press(KEY_UP);
    play(30);
    for (int t = 0; t < 200 && at(playingHero()).x < 250; ++t)
        play(1);
    play(45 + 70);
    press(KEY_UP);
    play(80);
    run.releaseAll();
    play(31); // the fade to the end, when the last coin was taken on the last tick
    EXPECT_STREQ(game.scenes.getSceneName(), "game over");
    EXPECT_EQ(lastScore(), 3);
    EXPECT_TRUE(game.effects.hasDrawn()); // a hard landing shook the view
    play(20);
    press(KEY_ENTER);
    play(21);
    EXPECT_STREQ(game.scenes.getSceneName(), "title");
    ASSERT_TRUE(recorder.finish());

    TrelPlayer player(&game);
    ASSERT_TRUE(player.open("scenes.trec"));
    startHopper(game);
    EXPECT_TRUE(player.play()) << player.getTick();
    EXPECT_STREQ(game.scenes.getSceneName(), "title");
}
// guide: end

// guide: continue-test
// Each coin taken is a checkpoint: the next run continues from it with the title's C, and
// its recording names the save it started from, which the replay checks.
TEST(HopperScenes, ContinuesFromTheLastCoinTaken) {
    TrelHeadlessRun run(&game, configureHopper, startHopper);
    hopperSaves().erase("progress");
    auto tap = [&](int code) {
        run.hold(code);
        run.run(1);
        run.release(code);
    };
    tap(KEY_ENTER);
    run.run(40); // the fade out of the title and into the level
    run.hold(KEY_RIGHT);
    run.run(30);
    tap(KEY_UP);
    run.run(30); // up onto the plank, with its coin
    ASSERT_EQ(playingHero()->score, 1);
    const vmath::vec2<fix16> took = playingHero()->taken.at(0);
    run.releaseAll();

    TrelHeadlessRun next(&game, configureHopper, nullptr);
    TrelSave save;
    ASSERT_EQ(hopperSaves().load("progress", save), TrelSaveStore::kLoaded);
    EXPECT_EQ(save.getInt("score"), 1);
    TrelRecorder recorder(&game);
    ASSERT_TRUE(recorder.start("continue.trec", 5, save.getChecksum()));
    startHopper(game);
    next.hold(KEY_C);
    recorder.step();
    next.release(KEY_C);
    for (int t = 0; t < 21; ++t)
        recorder.step();
    ASSERT_STREQ(game.scenes.getSceneName(), "continue");
    EXPECT_EQ(playingHero()->score, 1);
    EXPECT_EQ(at(playingHero()).x, save.getFixed("x"));
    for (TrelObject* thing : playingHero()->getLayer()->getObjects()) {
        vmath::vec2<fix16> p;
        thing->getPos(p);
        EXPECT_FALSE(p.x == took.x && p.y == took.y && !thing->isDestroyed())
            << "the coin taken is back";
    }
    ASSERT_TRUE(recorder.finish());

    TrelPlayer player(&game);
    ASSERT_TRUE(player.open("continue.trec"));
    EXPECT_FALSE(player.checkStartingSave(0)); // a new game's: not this recording's
    EXPECT_NE(std::string(player.getError()).find("starts from the save"), std::string::npos);
    ASSERT_TRUE(player.checkStartingSave(save.getChecksum()));
    startHopper(game);
    EXPECT_TRUE(player.play()) << player.getTick();
}
// guide: end

// The same session recorded once by the gcc build and kept: every build and compiler replays
// it tick for tick. A missing file is made from this run, to be committed, and fails.
TEST(HopperScenes, TheKeptRecordingReplaysInThisBuild) {
    TrelHeadlessRun run(&game, configureHopper, nullptr);
    const char* kept = "tests/scenes.trec";
    if (std::FILE* file = std::fopen(kept, "rb")) {
        std::fclose(file);
    } else {
        std::rename("scenes.trec", kept);
        FAIL() << kept << " was missing: made from this run's recording";
    }
    TrelPlayer player(&game);
    ASSERT_TRUE(player.open(kept)) << player.getError();
    startHopper(game);
    EXPECT_TRUE(player.play()) << player.getTick();
    EXPECT_TRUE(player.isFinished());
}
