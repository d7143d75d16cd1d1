#include <allegro.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "input/TrelInput.h"

namespace {

// Allegro's keyboard thread reporting a key event, as its driver does.
void keyEvent(int scancode) {
    ASSERT_NE(keyboard_lowlevel_callback, nullptr);
    keyboard_lowlevel_callback(scancode);
}

} // namespace

// The state a game reads is the one latched at the start of the tick: held keys give a press,
// then a hold, then a release; a tap between two ticks is not lost.
TEST(Input, EdgesFollowTheLatchedStateAndTapsBetweenTicksCount) {
    TrelInput input;
    input.startKeyboard_();
    key[KEY_B] = 1;
    input.latch_(false);
    key[KEY_B] = 0; // let go during the tick: the game still reads it as down
    EXPECT_TRUE(input.isDown(KEY_B) && input.wasPressed(KEY_B));
    input.latch_(false);
    EXPECT_TRUE(!input.isDown(KEY_B) && input.wasReleased(KEY_B) && !input.wasPressed(KEY_B));

    // Pressed and released between two latches: down for one tick, then released.
    keyEvent(KEY_ENTER);
    keyEvent(KEY_ENTER | 0x80);
    input.latch_(false);
    EXPECT_TRUE(input.isDown(KEY_ENTER) && input.wasPressed(KEY_ENTER));
    input.latch_(false);
    EXPECT_TRUE(input.wasReleased(KEY_ENTER));
    input.latch_(false);
    EXPECT_FALSE(input.isDown(KEY_ENTER) || input.wasReleased(KEY_ENTER));

    input.stopKeyboard_();
    EXPECT_EQ(keyboard_lowlevel_callback, nullptr);
    EXPECT_FALSE(input.isDown(-1) || input.isDown(TrelInput::kCodes) ||
                 input.wasPressed(TrelInput::kCodes));
}

// Fixed fault: a tap reported between reading a key's flags and clearing them was lost. Each
// tap here comes as soon as the one before was seen, so many land while a latch reads.
TEST(Input, ATapReportedWhileALatchReadsIsSeenByItOrTheNext) {
    using Clock = std::chrono::steady_clock;
    TrelInput input;
    input.startKeyboard_();
    const int kTaps = 3000;
    std::atomic<int> seen{0};
    std::atomic<bool> lost{false};
    std::thread keyboardThread([&] {
        for (int i = 0; i < kTaps && !lost; ++i) {
            keyboard_lowlevel_callback(KEY_Z);
            Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
            while (seen.load() <= i && Clock::now() < deadline)
                std::this_thread::yield();
            lost = seen.load() <= i;
        }
    });
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(30);
    while (seen.load() < kTaps && !lost && Clock::now() < deadline) {
        input.latch_(false);
        if (input.isDown(KEY_Z))
            ++seen;
    }
    keyboardThread.join();
    input.stopKeyboard_();
    EXPECT_FALSE(lost) << "a tap was lost after " << seen.load();
    EXPECT_EQ(seen.load(), kTaps);
}

// Actions are down while any bound code is; rebinding takes effect at the next tick.
TEST(Input, ActionsFollowTheirKeysAndCanBeRebound) {
    TrelInput input;
    input.setSource(TrelInput::kFed);
    int jump = input.addAction("jump");
    EXPECT_EQ(input.addAction("jump"), jump);
    EXPECT_EQ(input.findAction("run"), -1);
    input.bindAction(jump, KEY_SPACE);
    input.bindAction(jump, TrelInput::kJoyButton0);

    input.feed(KEY_SPACE, true);
    input.latch_(false);
    EXPECT_TRUE(input.isActionDown(jump) && input.wasActionPressed(jump));
    input.feed(TrelInput::kJoyButton0, true);
    input.feed(KEY_SPACE, false);
    input.latch_(false);
    EXPECT_TRUE(input.isActionDown(jump) && !input.wasActionPressed(jump));

    input.unbindAction(jump);
    input.bindAction(jump, KEY_UP);
    input.latch_(false);
    EXPECT_TRUE(!input.isActionDown(jump) && input.wasActionReleased(jump));
    EXPECT_FALSE(input.isActionDown(jump + 1) || input.wasActionPressed(-1));
}

// Fed input (headless) is also written into key[], so a game reading key[] replays alike.
TEST(Input, FedStateIsMirroredIntoTheKeyArrayWhenAsked) {
    TrelInput input;
    input.setSource(TrelInput::kFed);
    input.feed(KEY_LEFT, true);
    input.latch_(true);
    EXPECT_EQ(key[KEY_LEFT], 1);
    input.releaseFed();
    input.latch_(true);
    EXPECT_EQ(key[KEY_LEFT], 0);
    EXPECT_TRUE(input.wasReleased(KEY_LEFT));
}
