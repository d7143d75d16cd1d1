#include <allegro.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestSupport.h"
#include "core/TrelSystem.h"

// startLoop with tick counts injected by hand; Allegro runs without a display here.
class Pacing : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        key[KEY_ESC] = 0;
    }
    void TearDown() override {
        key[KEY_ESC] = 0;
        InTempDir::TearDown();
    }

    // Delivers one tick from another thread after a short delay, like Allegro's timer.
    std::thread tickLater(TrelInterface& iface) {
        return std::thread([&iface] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            TrelInterface::incrementTics(&iface);
        });
    }
};

TEST_F(Pacing, SteadyStateDrawsEveryFrame) {
    TrelSystem sys;
    TrelInterface& iface = sys.iface;
    for (int frame = 0; frame < 3; ++frame) {
        TrelInterface::incrementTics(&iface);
        int draw = -1;
        iface.startLoop(draw);
        EXPECT_EQ(draw, 1);
        EXPECT_EQ(iface.pendingTics.load(), 0);
        EXPECT_EQ(iface.skipCount, 0);
    }
    EXPECT_EQ(iface.getTics(), 3);
}

TEST_F(Pacing, PiledUpTicksBecomeOneDrawnFrameAndUndrawnOnes) {
    TrelSystem sys;
    TrelInterface& iface = sys.iface;
    for (int i = 0; i < 3; ++i)
        TrelInterface::incrementTics(&iface);

    int draw = -1;
    iface.startLoop(draw); // takes the whole budget at once
    EXPECT_EQ(draw, 1);
    EXPECT_EQ(iface.pendingTics.load(), 0);
    EXPECT_EQ(iface.skipCount, 2);

    std::thread ticker = tickLater(iface); // nothing pending: this call must wait for it
    iface.startLoop(draw);
    ticker.join();
    EXPECT_EQ(iface.getTics(), 4); // the three piled up, then the one waited for
    EXPECT_EQ(draw, 0);
    EXPECT_EQ(iface.skipCount, 1);
    EXPECT_EQ(iface.pendingTics.load(), 1); // an undrawn frame leaves the ticks pending

    iface.startLoop(draw); // a tick is pending, so no wait
    EXPECT_EQ(draw, 0);
    EXPECT_EQ(iface.skipCount, 0);

    iface.startLoop(draw); // a new budget starts and is drawn
    EXPECT_EQ(draw, 1);
    EXPECT_EQ(iface.skipCount, 0);
    EXPECT_EQ(iface.pendingTics.load(), 0);
}

TEST_F(Pacing, EscapeSetsQuitInTheNextFrame) {
    TrelSystem sys;
    int draw = 0;
    TrelInterface::incrementTics(&sys.iface);
    sys.iface.startLoop(draw);
    EXPECT_EQ(sys.quit, 0);

    key[KEY_ESC] = 1;
    TrelInterface::incrementTics(&sys.iface);
    sys.iface.startLoop(draw);
    EXPECT_EQ(sys.quit, 1);
    EXPECT_EQ(draw, 1); // the frame itself still runs
}
