// Needs an X display (the test command runs these under Xvfb).
#include <allegro.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "WorldSupport.h"

namespace {

bool windowTitled(const std::string& title) {
    return !runCommand("xdotool search --name '^" + title + "$' 2>/dev/null").empty();
}

// Polls for up to five seconds: the X server applies requests asynchronously.
bool eventually(bool (*check)(const std::string&), const std::string& arg) {
    for (int i = 0; i < 50; ++i) {
        if (check(arg))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// Waits up to ten seconds for the message box (this test's display has no other), keeps
// its command line (which holds the text) and presses its button.
void dismissMessageBox(std::string& seenText) {
    for (int i = 0; i < 100; ++i) {
        std::string id = runCommand("xdotool search --name '^xmessage$' 2>/dev/null");
        if (!id.empty()) {
            id = id.substr(0, id.find('\n'));
            seenText = runCommand("ps -o args= -C xmessage");
            runCommand("xdotool windowfocus --sync " + id + " key Return 2>/dev/null");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

const std::vector<std::string> kInitLog = {
    "\nPowered by Allegro " ALLEGRO_VERSION_STR " " ALLEGRO_PLATFORM_STR ", release ",
    "\nInitializing main Allegro system...",
    "\nSuccess!",
    "\n\nProcessor family: ",
    "\nVendor: ",
    "\nOS: ",
    "\nDesktop resolution: ",
    "\n\nGrabbing Allegro config...",
    "\n\nInitializing video!",
    "\nTrying mode: 640x480x16...",
    "\nSuccess!\n\nSetting switch mode...",
    "\nCreating buffer bitmaps...",
    "\nInstalling keyboard...",
    "\nInstalling timer...Creating timer interrupts...\nGame framerate: 60",
    "\n\nInit successful!\n",
};

const std::vector<std::string> kDeinitLog = {
    "\nBegin interface deinit",      "\n\nDestroying buffer bitmaps...",
    "\n\nClosing video device...",   "\nDone!",
    "\n\nDeinitializing Allegro...", "\nDeinit complete!\n",
};

} // namespace

class Platform : public InTempDir {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display";
        InTempDir::SetUp();
    }
};

TEST_F(Platform, InitAndDeinitRunEveryStepInOrder) {
    TrelSystem sys;
    ASSERT_TRUE(sys.iface.init());
    EXPECT_TRUE(sys.iface.loaded);
    EXPECT_EQ(sys.iface.allegroState, 2);
    ASSERT_NE(sys.iface.gfx.buffer, nullptr);
    EXPECT_EQ(sys.iface.gfx.target, sys.iface.gfx.buffer);
    EXPECT_EQ(sys.iface.gfx.buffer->w, SCREEN_W);
    EXPECT_EQ(sys.iface.gfx.buffer->h, SCREEN_H);
    EXPECT_EQ(SCREEN_W, 640);
    EXPECT_EQ(SCREEN_H, 480);
    EXPECT_EQ(bitmap_color_depth(screen), 16);
    EXPECT_TRUE(containsInOrder(readLog(), kInitLog));

    // The tick callback runs once the timer is installed.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GT(sys.iface.getTics(), 0);

    std::size_t before = readLog().size();
    sys.iface.deinit();
    EXPECT_FALSE(sys.iface.loaded);
    EXPECT_EQ(sys.iface.allegroState, 0);
    EXPECT_EQ(sys.iface.gfx.target, nullptr);
    std::string afterFirst = readLog().substr(before);
    EXPECT_TRUE(containsInOrder(afterFirst, kDeinitLog));

    // A second deinit (the destructor's, usually) only says that it began.
    std::size_t beforeSecond = readLog().size();
    sys.iface.deinit();
    EXPECT_EQ(readLog().substr(beforeSecond), "\nBegin interface deinit");
}

// A second init used to install Allegro, the keyboard and the tick callback again.
TEST_F(Platform, SecondInitIsRefusedAndInstallsNothingTwice) {
    TrelSystem sys;
    ASSERT_TRUE(sys.iface.init());
    BITMAP* buffer = sys.iface.gfx.buffer;
    std::size_t before = readLog().size();
    std::string seenText;
    std::thread dismisser(dismissMessageBox, std::ref(seenText));
    EXPECT_FALSE(sys.iface.init());
    dismisser.join();
    EXPECT_EQ(readLog().substr(before), "\nERROR! The interface is already initialized.\n");
    EXPECT_NE(seenText.find("The interface is already initialized."), std::string::npos);
    EXPECT_TRUE(sys.iface.loaded);
    EXPECT_EQ(sys.iface.gfx.buffer, buffer);

    // One tick callback: about 60 ticks a second, not 120.
    std::int32_t start = sys.iface.getTics();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::int32_t ticks = sys.iface.getTics() - start;
    EXPECT_GT(ticks, 40);
    EXPECT_LT(ticks, 80);
}

TEST_F(Platform, SplashTextIsCentredNearTheBottomOfTheScreen) {
    TrelSystem sys;
    sys.setName("Quenmoor");
    sys.iface.init();
    // 8-pixel glyphs: "Varnak v0.0.7.6 Pre-alpha" is 200 pixels wide, "Quenmoor" 64.
    struct Band {
        int y, left, right;
    } bands[] = {{SCREEN_H - 40, 220, 420}, {SCREEN_H - 24, 288, 352}};
    int white = makecol(255, 255, 255);
    for (const Band& band : bands) {
        int inside = 0, outside = 0;
        for (int y = band.y; y < band.y + 8; ++y) {
            for (int x = 0; x < SCREEN_W; ++x) {
                if (getpixel(screen, x, y) == white)
                    (x >= band.left && x < band.right ? inside : outside)++;
            }
        }
        EXPECT_GT(inside, 50) << "band at y " << band.y;
        EXPECT_EQ(outside, 0) << "band at y " << band.y;
    }
}

TEST_F(Platform, WindowTitleFollowsTheNameOnceLoaded) {
    TrelSystem sys;
    sys.setName("Trel Title Before");
    sys.iface.init();
    EXPECT_TRUE(eventually(windowTitled, "Trel Title Before"));
    sys.setName("Trel Title After");
    EXPECT_TRUE(eventually(windowTitled, "Trel Title After"));
    EXPECT_FALSE(windowTitled("Trel Title Before"));
}

TEST_F(Platform, WarningIsShownInAMessageBoxAndReturnsOnceDismissed) {
    TrelSystem sys;
    sys.iface.init();
    std::string seenText;
    std::thread dismisser(dismissMessageBox, std::ref(seenText));
    sys.giveError(2, "Disk %s full", "100%");
    dismisser.join();
    EXPECT_NE(seenText.find("Warning!"), std::string::npos) << seenText;
    EXPECT_NE(seenText.find("Disk 100% full"), std::string::npos) << seenText;
    EXPECT_TRUE(containsInOrder(readLog(), {"\nWARNING: Disk 100% full\n"}));
}

TEST_F(Platform, NoMessageBoxBeforeAllegroRuns) {
    TrelSystem sys;
    sys.iface.displayError_(1, "nobody sees this"); // returns at once instead of blocking
    sys.giveError(2, "logged only");
    EXPECT_TRUE(runCommand("xdotool search --name '^xmessage$' 2>/dev/null").empty());
    EXPECT_TRUE(containsInOrder(readLog(), {"\nWARNING: logged only\n"}));
}

TEST_F(Platform, MainLoopRunsSixtyTicksASecondUntilEscapeIsHeld) {
    std::vector<std::string> journal; // outlives the system, whose zone's objects write to it
    TrelSystem sys;
    sys.setName("Running");
    sys.iface.init();
    ASSERT_TRUE(sys.newZone("Running"));
    sys.zone->addLayer(32, 32, 32, 32);
    std::vector<Recorder*> movers;
    for (int i = 0; i < 10; ++i) {
        movers.push_back(
            new Recorder(sys.zone->getLayer(0), journal, "m", fix16(i * 10), fix16(5)));
        movers.back()->setSpeed(fix16(1), fix16());
    }
    std::thread player([] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        runCommand("xdotool search --name '^Running$' windowfocus --sync; "
                   "xdotool keydown Escape; sleep 0.3; xdotool keyup Escape");
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(sys.mainLoop());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    player.join();

    Vec pos;
    movers[3]->getPos(pos);
    // One pixel per working tick; the first two ticks only clear the new marks.
    double rate = (pos.x.toInt() - 30 + 2) / seconds;
    EXPECT_GT(rate, 45.0) << seconds << " s";
    EXPECT_LT(rate, 75.0) << seconds << " s";
    EXPECT_GE(seconds, 2.0);
    EXPECT_EQ(sys.quit, 1);
    EXPECT_TRUE(
        containsInOrder(readLog(), {"\n\nEntering main loop.", "\nExiting main loop normally."}));
}

namespace {

// Counts the ticks in which Return was pressed, and ends the loop itself after ten seconds
// (600 ticks) should Escape never be seen.
class TapCounter : public TrelObject {
public:
    TapCounter(TrelLayer* home, int& count)
        : TrelObject(home, fix16(), fix16(), fix16(), fix16()), presses(count) {}
    void onProcess() override {
        if (getSystem()->input.wasPressed(KEY_ENTER))
            ++presses;
        if (++ticks == 600)
            getSystem()->quit = 2;
    }
    int& presses;
    int ticks = 0;
};

} // namespace

// Key taps far shorter than a tick, as xdotool key sends them, are each seen once, and a tap
// of Escape ends the loop (both were lost now and then when the game read key[] itself).
TEST_F(Platform, TapsShorterThanATickAreNeverLost) {
    TrelSystem sys;
    sys.setName("Tapping");
    sys.iface.init();
    ASSERT_TRUE(sys.newZone("Tapping"));
    sys.zone->addLayer(1, 1, 32, 32);
    int presses = 0;
    new TapCounter(sys.zone->getLayer(0), presses);
    std::thread player([] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        runCommand("xdotool search --name '^Tapping$' windowfocus --sync; "
                   "xdotool key --delay 150 Return Return Return Return Return; "
                   "sleep 0.3; xdotool key Escape");
    });
    EXPECT_TRUE(sys.mainLoop());
    player.join();
    EXPECT_EQ(presses, 5);
    EXPECT_EQ(sys.quit, 1) << "Escape was not seen";
}

// A 320 × 240 game in a window twice its size: the buffer is the game's, and each of its
// pixels becomes a 2 × 2 block on the screen.
TEST_F(Platform, AScaledScreenIsAWholeMultipleOfTheGamesSize) {
    TrelSystem sys;
    sys.screenWidth = 320;
    sys.screenHeight = 240;
    sys.screenScale = 2;
    sys.iface.init();
    ASSERT_EQ(SCREEN_W, 640);
    ASSERT_EQ(SCREEN_H, 480);
    BITMAP* buffer = sys.iface.gfx.buffer;
    ASSERT_EQ(buffer->w, 320);
    ASSERT_EQ(buffer->h, 240);
    clear_to_color(buffer, makecol(0, 0, 0));
    putpixel(buffer, 10, 7, makecol(255, 255, 255));
    putpixel(buffer, 319, 239, makecol(255, 0, 0));
    sys.iface.gfx.updateScreen();
    int white = makecol(255, 255, 255);
    for (int y = 13; y <= 16; ++y)
        for (int x = 19; x <= 22; ++x)
            EXPECT_EQ(getpixel(screen, x, y) == white, x >= 20 && x <= 21 && y >= 14 && y <= 15)
                << x << ", " << y;
    EXPECT_EQ(getpixel(screen, 639, 479), makecol(255, 0, 0));
    EXPECT_EQ(getpixel(screen, 638, 478), makecol(255, 0, 0));
    EXPECT_TRUE(containsInOrder(readLog(), {"\nTrying mode: 640x480x16..."}));
}
