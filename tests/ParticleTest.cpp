// Particles: the rate and the pool's bound, each particle's tick by its documented steps, and
// the same particles for the same seed.
#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "WorldSupport.h"

namespace {

class Particles : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        sys = std::make_unique<TrelSystem>();
        zone = new TrelZone(sys.get());
        zone->addLayer(4, 4, 16, 16);
        zone->process();
    }
    void TearDown() override {
        delete zone;
        sys.reset();
        InTempDir::TearDown();
    }
    std::uint64_t stateOf(const TrelEmitter& emitter) {
        TrelState state;
        emitter.writeState(state);
        return state.hash();
    }

    std::unique_ptr<TrelSystem> sys;
    TrelZone* zone = nullptr;
};

} // namespace

TEST_F(Particles, EmitAtTheirRateWithinThePoolAndLiveTheirLife) {
    auto* emitter = new TrelEmitter(zone->getLayer(0), fix16(32), fix16(32), &sys->effects, 8);
    TrelEmitter::Settings settings;
    settings.perTick = fix16(1) / fix16(2);
    settings.lifeMin = settings.lifeMax = 10;
    emitter->setSettings(settings);
    zone->process(); // the emitter's first visit
    for (int t = 0; t < 40; ++t)
        zone->process();
    EXPECT_EQ(emitter->getLiveCount(), 5); // one every other tick, each for ten
    emitter->burst(100);
    EXPECT_EQ(emitter->getLiveCount(), 8); // the pool is full: no more
    emitter->setEmitting(false);
    for (int t = 0; t < 10; ++t)
        zone->process();
    EXPECT_EQ(emitter->getLiveCount(), 0);
    EXPECT_FALSE(sys->random.hasDrawn()); // the effects stream alone

    // One particle, right at 2 pixels a tick under a gravity of 0.5 and a drag of a quarter.
    settings.perTick = fix16();
    settings.speedMin = settings.speedMax = fix16(2);
    settings.gravity = Vec(fix16(), fix16(1) / fix16(2));
    settings.drag = fix16(1) / fix16(4);
    emitter->setSettings(settings);
    emitter->burst(1);
    zone->process();
    // Emitted at (32, 32) with (2, 0) turned by 0 (the engine's cosine peaks at 65534 ÷
    // 65536); then gravity, drag and the move, in that order.
    Vec speed = vmath::rotated(Vec(fix16(2), fix16()), fix16());
    speed = speed + settings.gravity;
    speed = speed - speed * settings.drag;
    EXPECT_EQ(speed.y, fix16(3) / fix16(8));
    TrelState expected;
    expected.add("particles", 1);
    expected.add("owed", fix16(1) / fix16(2)); // the half particle the rate still owed
    expected.add("particle", fix16(32) + speed.x, fix16(32) + speed.y);
    expected.add("particle speed", speed.x, speed.y);
    expected.add("particle age", 1 * 65536 + 10);
    EXPECT_EQ(stateOf(*emitter), expected.hash());
}

TEST_F(Particles, TheSameSeedGivesTheSameParticles) {
    std::uint64_t states[3];
    for (int run = 0; run < 3; ++run) {
        sys->seedRandom(run < 2 ? 5 : 6);
        auto* emitter =
            new TrelEmitter(zone->getLayer(0), fix16(32), fix16(32), &sys->effects, 500);
        TrelEmitter::Settings settings;
        settings.perTick = fix16(7);
        settings.lifeMin = 5;
        settings.lifeMax = 50;
        settings.speedMin = fix16();
        settings.speedMax = fix16(3);
        settings.angleMax = fix16::fromRaw(fixedpoint::twoPi16);
        settings.spreadX = settings.spreadY = 4;
        emitter->setSettings(settings);
        for (int t = 0; t < 60; ++t)
            zone->process();
        states[run] = stateOf(*emitter);
        emitter->destroy();
        zone->process();
    }
    EXPECT_EQ(states[0], states[1]);
    EXPECT_NE(states[0], states[2]);
}
