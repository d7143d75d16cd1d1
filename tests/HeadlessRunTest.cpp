#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "Ball.h"
#include "Level.h"
#include "TestSupport.h"

namespace {

// The demo brought up as a game's test brings it up, on no display.
class HeadlessRun : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        gameSystem.log.reopen("log.txt"); // the game's log opened where the process started
        unsetenv("DISPLAY");
        ASSERT_EQ(symlink(TREL_GAME_DATA, (dir + "/data").c_str()), 0);
        run = new TrelHeadlessRun(&gameSystem);
        std::srand(1);
        setUpLevel();
    }
    void TearDown() override {
        delete run;
        InTempDir::TearDown();
    }
    fixedpoint::fix16 ballX() {
        vmath::vec2<fixedpoint::fix16> p;
        ball->getPos(p);
        return p.x;
    }
    TrelHeadlessRun* run = nullptr;
};

} // namespace

TEST_F(HeadlessRun, StartsWithoutWindowKeyboardOrTimerAndSaysSo) {
    std::string log = readLog();
    EXPECT_TRUE(containsInOrder(
        log, {"\nInitializing main Allegro system...", "\nSuccess!",
              "\n\nGrabbing Allegro config...", "\n\nCreating buffer bitmaps...",
              "\nRunning headless: no window, keyboard or timer.", "\n\nInit successful!\n"}));
    EXPECT_EQ(log.find("Installing keyboard"), std::string::npos);
    EXPECT_EQ(log.find("Trying mode"), std::string::npos);
    EXPECT_TRUE(gameSystem.iface.isHeadless() && gameSystem.iface.loaded);
    EXPECT_FALSE(gameSystem.iface.initHeadless()); // a second start is refused
}

// Ticks run back to back with the held keys; Escape still quits (unless turned off), and
// the tick it is seen in runs to its end.
TEST_F(HeadlessRun, RunsTicksWithHeldKeysUntilEscape) {
    fixedpoint::fix16 x0 = ballX();
    run->hold(KEY_RIGHT);
    EXPECT_EQ(run->run(60), 60);
    EXPECT_EQ(gameSystem.iface.getTics(), 60);
    EXPECT_GT(ballX(), x0 + fixedpoint::fix16(100));
    EXPECT_EQ(key[KEY_RIGHT], 1); // mirrored for games that read key[]

    run->hold(KEY_ESC);
    EXPECT_EQ(run->run(10), 1);
    EXPECT_EQ(gameSystem.quit, 1);
    EXPECT_EQ(run->run(10), 0);

    gameSystem.quit = 0;
    gameSystem.input.setEscapeQuits(false);
    EXPECT_EQ(run->run(10), 10);
    EXPECT_EQ(gameSystem.quit, 0);
}

// A test's reference picture: written when missing, then matched pixel for pixel, and a
// frame that differs is reported with its first differing pixel.
TEST_F(HeadlessRun, FramesAreComparedWithAReferencePicture) {
    run->hold(KEY_DOWN);
    run->run(30);
    EXPECT_FALSE(run->frameMatches("after-30.png"));
    EXPECT_NE(std::string(run->getMismatch()).find("did not exist; this frame was saved there"),
              std::string::npos);
    EXPECT_TRUE(run->frameMatches("after-30.png")) << run->getMismatch();
    run->run(1);
    EXPECT_FALSE(run->frameMatches("after-30.png"));
    EXPECT_NE(std::string(run->getMismatch()).find("first at ("), std::string::npos);
}
