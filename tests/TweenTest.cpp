// Timers and tweens, counted in ticks on a layer of a zone: values along their curves and
// exactly at their ends, repeats, delays and chains, owners that go, and a paused zone.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "TestSupport.h"
#include "WorldSupport.h"

namespace {

class Tweens : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        sys = std::make_unique<TrelSystem>();
        zone = new TrelZone(sys.get());
        zone->addLayer(4, 4, 16, 16);
        tweens = new TrelTweens(zone->getLayer(0));
        zone->process(); // the layer's first tick
    }
    void TearDown() override {
        delete zone;
        sys.reset();
        InTempDir::TearDown();
    }
    std::vector<int> ticks(int count, const std::function<int()>& read) {
        std::vector<int> seen;
        for (int t = 0; t < count; ++t) {
            zone->process();
            seen.push_back(read());
        }
        return seen;
    }

    std::unique_ptr<TrelSystem> sys;
    TrelZone* zone = nullptr;
    TrelTweens* tweens = nullptr;
    std::vector<std::string> journal;
};

void count(void* user) {
    ++*static_cast<int*>(user);
}

} // namespace

TEST_F(Tweens, TakeAValueAlongItsCurveAndEndExactlyOnIt) {
    fix16 f;
    std::int32_t n = 0, colour = 0;
    auto* thing = new Recorder(zone->getLayer(0), journal, "thing", fix16(10), fix16(20));
    tweens->tween(&f, fix16(0), fix16(10), 4, TrelEase::kLinear);
    tweens->tween(&n, 0, 10, 3, TrelEase::kQuadIn); // 1.11, 4.44, 10: to the nearest
    tweens->tweenColour(&colour, 0x000000, 0xff8001, 2, TrelEase::kLinear);
    const int move = tweens->tweenPos(thing, Vec(fix16(30), fix16(0)), 2, TrelEase::kLinear);
    EXPECT_EQ(ticks(4, [&] { return f.raw; }), (std::vector<int>{163840, 327680, 491520, 655360}));
    Vec at;
    thing->getPos(at);
    EXPECT_EQ(at, Vec(fix16(30), fix16(0)));
    EXPECT_FALSE(tweens->isActive(move));
    EXPECT_EQ(n, 10);
    EXPECT_EQ(colour, 0xff8001);
    EXPECT_EQ(tweens->getCount(), 0);

    n = 0;
    tweens->tween(&n, 0, 10, 3, TrelEase::kQuadIn);
    EXPECT_EQ(ticks(3, [&] { return n; }), (std::vector<int>{1, 4, 10}));
    tweens->tweenColour(&colour, 0x000000, 0xff8001, 2, TrelEase::kLinear);
    EXPECT_EQ(ticks(1, [&] { return colour; }), (std::vector<int>{0x804001})); // halves up
}

TEST_F(Tweens, TimersRepeatWaitAndChain) {
    int once = 0, often = 0, ended = 0;
    tweens->after(3, count, &once);
    tweens->every(2, count, &often, nullptr, 3);
    EXPECT_EQ(ticks(8, [&] { return once * 10 + often; }),
              (std::vector<int>{0, 1, 11, 12, 12, 13, 13, 13}));

    // Back and forth twice more, after a wait of two ticks, then another, then the end.
    std::int32_t v = 0;
    const int first = tweens->tween(&v, 0, 2, 2, TrelEase::kLinear);
    tweens->setDelay(first, 2);
    tweens->setRepeat(first, 2, true);
    const int second = tweens->tween(&v, 10, 12, 2, TrelEase::kLinear);
    tweens->then(first, second);
    tweens->setDone(second, count, &ended);
    EXPECT_EQ(ticks(11, [&] { return v; }), (std::vector<int>{0, 0, 1, 2, 1, 0, 1, 2, 11, 12, 12}));
    EXPECT_EQ(ended, 1);

    // A callback that adds a timer: it starts in the next tick, not in the step that made it.
    struct Chain {
        TrelTweens* tweens;
        int fired = 0;
    } chain{tweens};
    tweens->after(
        1,
        [](void* user) {
            auto* c = static_cast<Chain*>(user);
            c->tweens->after(1, count, &c->fired);
        },
        &chain);
    EXPECT_EQ(ticks(2, [&] { return chain.fired; }), (std::vector<int>{0, 1}));
}

// A tween whose owner is destroyed takes no further step and makes no callback, in that tick
// and after the owner is deleted; references to the owner read null from its destruction on.
TEST_F(Tweens, AnOwnerDestroyedTakesItsTweensAndTimersWithIt) {
    auto* thing = new Recorder(zone->getLayer(0), journal, "thing");
    TrelObjectRef ref(thing), copy;
    copy = ref;
    int done = 0, fired = 0;
    fix16 value;
    const int id = tweens->tween(&value, fix16(0), fix16(100), 10, TrelEase::kLinear, thing);
    tweens->setDone(id, count, &done);
    tweens->every(1, count, &fired, thing);
    zone->process();
    EXPECT_EQ(value, fix16(10));
    thing->destroy();
    EXPECT_EQ(ref.get(), nullptr);
    zone->process(); // the tweens come first on the layer: they see it destroyed, then it goes
    EXPECT_EQ(value, fix16(10));
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(done, 0);
    EXPECT_EQ(tweens->getCount(), 0);
    EXPECT_EQ(copy.get(), nullptr); // the object deleted: no dangling pointer
    ref.set(nullptr);
}

TEST_F(Tweens, StandStillWhileTheirZoneIsPaused) {
    fix16 value;
    tweens->tween(&value, fix16(0), fix16(4), 4, TrelEase::kLinear);
    zone->process();
    zone->setPaused(true);
    EXPECT_EQ(ticks(5, [&] { return value.raw; }), std::vector<int>(5, 65536));
    zone->setPaused(false);
    EXPECT_EQ(ticks(3, [&] { return value.toInt(); }), (std::vector<int>{2, 3, 4}));
}
