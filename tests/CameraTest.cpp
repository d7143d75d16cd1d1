// The camera's work in ticks: following with each style, inside the zone's bounds and smoothly;
// shakes from the effects generator alone, flashes and fades as the veil's opacity.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "TestSupport.h"
#include "WorldSupport.h"

namespace {

// A zone of 100 × 100 cells of 16 pixels seen through a 320 × 240 view, a target on it and
// the camera on the HUD.
class CameraWork : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        sys = std::make_unique<TrelSystem>();
        sys->screenWidth = 320;
        sys->screenHeight = 240;
        zone = new TrelZone(sys.get());
        zone->addLayer(100, 100, 16, 16);
        target = new Recorder(zone->getLayer(0), journal, "target", fix16(800), fix16(800));
        camera = new TrelCamera(zone->getHud(), &sys->effects);
        zone->process();
    }
    void TearDown() override {
        delete zone;
        sys.reset();
        InTempDir::TearDown();
    }
    Vec view() {
        Vec at;
        zone->getCameraPos(at);
        return at;
    }
    void moveTo(int x, int y) {
        target->setPos(fix16(x), fix16(y));
        zone->process();
    }

    std::unique_ptr<TrelSystem> sys;
    TrelZone* zone = nullptr;
    Recorder* target = nullptr;
    TrelCamera* camera = nullptr;
    std::vector<std::string> journal;
};

} // namespace

TEST_F(CameraWork, FollowsWithEachStyleInsideTheZone) {
    camera->follow(target, TrelCamera::kLockOn);
    moveTo(800, 800);
    EXPECT_EQ(view(), Vec(fix16(640), fix16(680))); // centred
    moveTo(10, 10);
    EXPECT_EQ(view(), Vec(fix16(0), fix16(0))); // held inside the zone

    // The platformer's box: 40 × 80 pixels at (140, 60) of the view; inside it, no move.
    camera->follow(target, TrelCamera::kPlatformer);
    int x, y, w, h;
    camera->getDeadZone(x, y, w, h);
    EXPECT_EQ(x, 140);
    EXPECT_EQ(y, 60);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 80);
    moveTo(800, 800);
    EXPECT_EQ(view(), Vec(fix16(620), fix16(660))); // the least move: to the box's far corner
    moveTo(790, 760);
    EXPECT_EQ(view(), Vec(fix16(620), fix16(660)));
    moveTo(700, 700);
    EXPECT_EQ(view(), Vec(fix16(560), fix16(640)));

    camera->follow(target, TrelCamera::kScreenByScreen);
    moveTo(700, 300);
    EXPECT_EQ(view(), Vec(fix16(640), fix16(240)));

    // An eighth of the way each tick, rounded down: never past the target's place.
    camera->follow(target, TrelCamera::kLockOn, fix16::fromRaw(8192));
    moveTo(1000, 300);
    EXPECT_EQ(view(), Vec(fix16(640) + (fix16(840) - fix16(640)) * fix16::fromRaw(8192),
                          fix16(240) - (fix16(240) - fix16(180)) * fix16::fromRaw(8192)));
    target->destroy();
    const Vec left = view();
    zone->process();
    zone->process();
    EXPECT_EQ(view(), left); // the target gone: the camera stays
}

// A shake stays within its amplitude, falls off to nothing and ends still; it draws from the
// effects generator only, so the play's numbers are as they would have been.
TEST_F(CameraWork, ShakesFlashesAndFadesTickByTick) {
    TrelRandom untouched(0, 0);
    camera->shake(fix16(6), 12);
    std::vector<int> widest;
    for (int t = 0; t < 14; ++t) {
        zone->process();
        int dx, dy;
        zone->getViewShake(dx, dy);
        widest.push_back(std::max(std::abs(dx), std::abs(dy)));
        EXPECT_LE(widest.back(), 6 * (12 - t) / 12 + 1) << t;
    }
    EXPECT_GT(*std::max_element(widest.begin(), widest.end()), 2);
    EXPECT_EQ(widest[12] + widest[13], 0);
    EXPECT_FALSE(camera->isShaking());
    EXPECT_TRUE(sys->effects.hasDrawn());
    EXPECT_FALSE(sys->random.hasDrawn());

    camera->flash(0xffffff, 4);
    std::vector<int> alphas;
    for (int t = 0; t < 5; ++t) {
        zone->process();
        int colour;
        alphas.push_back(zone->getViewVeil(colour));
    }
    EXPECT_EQ(alphas, (std::vector<int>{255, 191, 127, 63, 0}));
    camera->fade(0x000000, 4);
    alphas.clear();
    for (int t = 0; t < 6; ++t) {
        zone->process();
        int colour;
        alphas.push_back(zone->getViewVeil(colour));
    }
    EXPECT_EQ(alphas, (std::vector<int>{63, 127, 191, 255, 255, 255})); // out, and it stays
    camera->fade(0x000000, 2, true);
    alphas.clear();
    for (int t = 0; t < 3; ++t) {
        zone->process();
        int colour;
        alphas.push_back(zone->getViewVeil(colour));
    }
    EXPECT_EQ(alphas, (std::vector<int>{127, 0, 0}));
}
