#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Ball.h"
#include "Gem.h"
#include "HeadlessLevel.h"
#include "Level.h"
#include "ReferenceRenderer.h"

using fixedpoint::fix16;
using Vec = vmath::vec2<fix16>;

namespace {

fix16 raw(int r) {
    return fix16::fromRaw(r);
}

} // namespace

// The level as the game builds it, on the game's own global system, drawing into memory.
// The interface counts as loaded; the tests run from a folder that holds data/.
class Game : public ::testing::Test {
protected:
    void SetUp() override {
        std::srand(1); // the C library's unseeded state
        level = std::make_unique<HeadlessLevel>(32);
        zone = gameSystem.zone;
        field = zone->getLayer(0);
        grid = zone->getLayer(1);
    }
    void TearDown() override { level.reset(); }
    TrelHeadlessRun& run() { return level->getRun(); }

    std::vector<Gem*> gems() {
        std::vector<Gem*> found;
        for (TrelObject* object : field->getObjects())
            if (object != ball && !object->isDestroyed())
                found.push_back(static_cast<Gem*>(object));
        return found;
    }
    // A ball alone on the field: the round's gems are removed first.
    void withoutGems() {
        for (Gem* gem : gems())
            gem->destroy(); // deleted at the end of the next tick
    }
    Vec pos(TrelObject* object) {
        Vec v;
        object->getPos(v);
        return v;
    }
    Vec speed(TrelObject* object) {
        Vec v;
        object->getSpeed(v);
        return v;
    }
    Vec gravity(TrelObject* object) {
        Vec v;
        object->getGravity(v);
        return v;
    }
    Vec camera() {
        Vec v;
        zone->getCameraPos(v);
        return v;
    }
    int markedCells() {
        int count = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                count += grid->getMapTile(x, y) == 1;
        return count;
    }

    std::unique_ptr<HeadlessLevel> level;
    TrelZone* zone = nullptr;
    TrelLayer* field = nullptr;
    TrelLayer* grid = nullptr;
};

TEST_F(Game, LevelIsBuiltAsTheGameStarts) {
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(field->getMapTile(x, y), 1);
    EXPECT_EQ(markedCells(), 20);
    EXPECT_FALSE(grid->getVisibility());
    EXPECT_TRUE(field->getVisibility());

    ASSERT_EQ(field->getObjects().front(), ball);
    std::vector<Gem*> all = gems();
    ASSERT_EQ(all.size(), 20u);
    for (Gem* gem : all) {
        Vec p = pos(gem);
        int column = (p.x.toInt() - 16) / 32, row = (p.y.toInt() - 16) / 32;
        EXPECT_EQ(p.x, fix16(column * 32 + 16));
        EXPECT_EQ(p.y, fix16(row * 32 + 16));
        EXPECT_EQ(grid->getMapTile(column, row), 1);
        EXPECT_EQ(gem->getSprite(), gemResource->getData(0));
    }

    EXPECT_EQ(pos(ball).x, fix16(16));
    EXPECT_EQ(pos(ball).y, fix16(16));
    Vec size;
    ball->getSize(size);
    EXPECT_EQ(size.x, raw(0x180000));
    EXPECT_EQ(speed(ball).x, fix16());
    EXPECT_EQ(gravity(ball).y, fix16());
    EXPECT_EQ(ball->lastTime, 999999);
    EXPECT_EQ(ball->bestTime, 999999);

    TrelResource* tiles = field->getTileset();
    ASSERT_EQ(tiles->getSize(), 4);
    for (int i = 0; i < 4; ++i) {
        std::string file = "data/Tile" + std::to_string(i + 1) + ".bmp";
        BITMAP* expected = load_bitmap(file.c_str(), nullptr);
        ASSERT_NE(expected, nullptr) << file;
        EXPECT_EQ(getpixel(tiles->getData(i)->bitmap, 9, 9), getpixel(expected, 9, 9)) << file;
        destroy_bitmap(expected);
    }
    int x, y, w, h;
    zone->getCameraRegion(x, y, w, h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 448);
    EXPECT_STREQ(zone->getName(), "Hollowmere");
}

TEST_F(Game, ArrowKeysSteerWithLeftAndUpWinning) {
    const fix16 push = raw(13107);
    struct Case {
        std::vector<int> keys;
        fix16 gx, gy;
    } cases[] = {
        {{}, fix16(), fix16()},       {{KEY_LEFT, KEY_RIGHT}, -push, fix16()},
        {{KEY_RIGHT}, push, fix16()}, {{KEY_UP, KEY_DOWN}, fix16(), -push},
        {{KEY_DOWN}, fix16(), push},  {{KEY_LEFT, KEY_DOWN}, -push, push},
    };
    ball->setPos(fix16(500), fix16(500));
    ball->setSpeed(fix16(3), fix16(-2));
    for (const Case& c : cases) {
        run().releaseAll();
        for (int k : c.keys)
            run().hold(k);
        run().latch();
        ball->onProcess();
        EXPECT_EQ(gravity(ball).x, c.gx);
        EXPECT_EQ(gravity(ball).y, c.gy);
        EXPECT_EQ(speed(ball).x, fix16(3)); // nothing slows the ball down
    }
}

TEST_F(Game, BallBouncesOffTheEdgesWithLessSpeed) {
    struct Case {
        fix16 p, v, expectP, expectV;
    } cases[] = {
        {fix16(1015), fix16(9), fix16(1011), raw(-327680)},
        {fix16(1015), fix16(10), fix16(1011), raw(-364088)},
        {fix16(1012), fix16(-3), fix16(1012), fix16(-3)}, // moving away: no bounce
        {fix16(1011), fix16(3), fix16(1011), fix16(3)},   // exactly on the edge: none
        {fix16(12), fix16(-3), fix16(12), fix16(-3)},
        {fix16(11), fix16(-3), fix16(12), raw(109226)},
    };
    for (const Case& c : cases) {
        ball->setPos(c.p, fix16(500));
        ball->setSpeed(c.v, fix16());
        ball->onProcess();
        EXPECT_EQ(pos(ball).x, c.expectP) << c.p.raw << " " << c.v.raw;
        EXPECT_EQ(speed(ball).x, c.expectV) << c.p.raw << " " << c.v.raw;

        ball->setPos(fix16(500), c.p); // the same vertically
        ball->setSpeed(fix16(), c.v);
        ball->onProcess();
        EXPECT_EQ(pos(ball).y, c.expectP);
        EXPECT_EQ(speed(ball).y, c.expectV);
    }
}

TEST_F(Game, SpeedIsCappedBeforeTheMove) {
    ball->setPos(fix16(500), fix16(500));
    ball->setSpeed(fix16(12), fix16(-12));
    run().hold(KEY_RIGHT);
    run().latch();
    ball->onProcess();
    EXPECT_EQ(speed(ball).x, fix16(10));
    EXPECT_EQ(speed(ball).y, fix16(-10));
    ball->move();
    EXPECT_EQ(speed(ball).x, raw(668467)); // 10.2
}

TEST_F(Game, CameraFollowsTheBallWithADeadZone) {
    ball->setPos(fix16(400), fix16(100));
    ball->onPostProcess();
    EXPECT_EQ(camera().x, fix16(16));
    EXPECT_EQ(camera().y, fix16(0)); // 100 - 192 clamped

    zone->setCameraPos(fix16(300), fix16(300));
    ball->setPos(fix16(500), fix16(400));
    ball->onPostProcess();
    EXPECT_EQ(camera().x, fix16(244));
    EXPECT_EQ(camera().y, fix16(208));

    ball->setPos(fix16(600), fix16(400)); // inside the dead zone: no change
    ball->onPostProcess();
    EXPECT_EQ(camera().x, fix16(244));

    ball->setPos(fix16(1000), fix16(1000));
    ball->onPostProcess();
    EXPECT_EQ(camera().x, fix16(384));
    EXPECT_EQ(camera().y, fix16(576));
}

TEST_F(Game, GemWakesOnlyWithinFortyPixelsOnBothAxes) {
    withoutGems();
    Gem* gem = new Gem(field, fix16(112), fix16(16), fix16(16), fix16(16), ball);
    ball->setPos(fix16(152), fix16(16));
    gem->onProcess();
    EXPECT_EQ(gem->active, 0);
    ball->setPos(fix16(112), fix16(56));
    gem->onProcess();
    EXPECT_EQ(gem->active, 0);
    ball->setPos(fix16(150), fix16(50));
    gem->onProcess();
    EXPECT_EQ(gem->active, 1);
    EXPECT_EQ(gravity(gem).x, fix16()); // not pulled on the tick it wakes
    EXPECT_EQ(ball->gems, 0);
}

TEST_F(Game, ActiveGemIsDampedAndPulledTowardsTheBall) {
    withoutGems();
    Gem* gem = new Gem(field, fix16(100), fix16(100), fix16(16), fix16(16), ball);
    gem->active = 1;
    ball->setPos(fix16(130), fix16(100));
    gem->onProcess();
    EXPECT_EQ(gravity(gem).x, fix16(6));
    gem->move();
    EXPECT_EQ(speed(gem).x, fix16(6));
    EXPECT_EQ(pos(gem).x, fix16(106));
    gem->onProcess();
    EXPECT_EQ(speed(gem).x, raw(262144));
    EXPECT_EQ(gravity(gem).x, raw(314572));
    gem->move();
    EXPECT_EQ(speed(gem).x, raw(576716));
    EXPECT_EQ(ball->gems, 0);
}

TEST_F(Game, GemIsCollectedOnlyWhenTheBoxesOverlapStrictly) {
    withoutGems();
    const fix16 justInside = fix16(20) - raw(1);
    struct Case {
        fix16 dx, dy;
        bool collected;
    } cases[] = {
        {justInside, justInside, true},
        {-justInside, -justInside, true},
        {fix16(20), fix16(), false},
        {fix16(), fix16(-20), false},
    };
    for (const Case& c : cases) {
        Gem* gem = new Gem(field, fix16(300), fix16(300), fix16(16), fix16(16), ball);
        gem->active = 1;
        int before = ball->gems;
        ball->setPos(fix16(300) + c.dx, fix16(300) + c.dy);
        gem->onProcess();
        EXPECT_EQ(gem->isDestroyed(), c.collected) << c.dx.raw << "," << c.dy.raw;
        EXPECT_EQ(ball->gems - before, c.collected ? 1 : 0);
    }
}

TEST_F(Game, TwoGemsCollectedInOneTick) {
    withoutGems();
    zone->process(); // the layers' first ticks
    ball->setPos(fix16(300), fix16(300));
    for (int dx : {-5, 5}) {
        Gem* gem = new Gem(field, fix16(300 + dx), fix16(300), fix16(16), fix16(16), ball);
        gem->active = 1;
    }
    zone->process(); // the new gems only lose their marks in pass 0
    EXPECT_EQ(ball->gems, 2);
    EXPECT_TRUE(gems().empty());
}

TEST_F(Game, FinishedRoundRecordsTheTimesAndSpawnsTheNextGems) {
    withoutGems();
    ball->gems = 20;
    ball->ticks = 1799;
    ball->onPostProcess();
    EXPECT_EQ(ball->lastTime, 1800);
    EXPECT_EQ(ball->bestTime, 1800);
    EXPECT_EQ(ball->ticks, 0);
    EXPECT_EQ(ball->gems, 0);
    EXPECT_EQ(gems().size(), 20u);
    EXPECT_EQ(markedCells(), 20);
    for (Gem* gem : gems()) {
        Vec p = pos(gem);
        EXPECT_EQ(grid->getMapTile(p.x.toInt() / 32, p.y.toInt() / 32), 1);
    }

    ball->gems = 20; // a slower round keeps the best time
    ball->ticks = 2499;
    ball->onPostProcess();
    EXPECT_EQ(ball->lastTime, 2500);
    EXPECT_EQ(ball->bestTime, 1800);
    EXPECT_EQ(gems().size(), 40u);
    EXPECT_EQ(markedCells(), 20); // the grid is cleared for each round
}

namespace {

struct RunResult {
    std::vector<int> rawValues; // every object's position after the run
    int gems, ticks, lastTime, bestTime, rounds;
};

// 3,000 ticks with the arrow keys changing every 97 ticks in a fixed pattern.
RunResult playScript(TrelHeadlessRun& run, TrelZone* zone) {
    const int pattern[][2] = {{KEY_RIGHT, KEY_DOWN}, {KEY_DOWN, -1},      {KEY_LEFT, KEY_DOWN},
                              {KEY_UP, -1},          {KEY_RIGHT, KEY_UP}, {KEY_LEFT, -1}};
    RunResult result{};
    int lastSeen = ball->lastTime;
    for (int tick = 0; tick < 3000; ++tick) {
        run.releaseAll();
        for (int k : pattern[(tick / 97) % 6])
            if (k >= 0)
                run.hold(k);
        run.run(1);
        if (ball->lastTime != lastSeen) {
            ++result.rounds;
            lastSeen = ball->lastTime;
        }
    }
    run.releaseAll();
    for (TrelObject* object : zone->getLayer(0)->getObjects()) {
        Vec p;
        object->getPos(p);
        result.rawValues.push_back(p.x.raw);
        result.rawValues.push_back(p.y.raw);
    }
    result.gems = ball->gems;
    result.ticks = ball->ticks;
    result.lastTime = ball->lastTime;
    result.bestTime = ball->bestTime;
    return result;
}

} // namespace

TEST_F(Game, SameKeyScriptFromAFreshLevelGivesTheSameGame) {
    RunResult first = playScript(run(), zone);
    TearDown();
    SetUp();
    RunResult second = playScript(run(), zone);
    EXPECT_EQ(first.rawValues, second.rawValues);
    EXPECT_EQ(first.gems, second.gems);
    EXPECT_EQ(first.ticks, second.ticks);
    EXPECT_EQ(first.lastTime, second.lastTime);
    EXPECT_EQ(first.bestTime, second.bestTime);
    // The script does play: gems get collected.
    EXPECT_GT(first.gems + 20 * first.rounds, 0);
}

class GameDrawing : public Game {
protected:
    int at(int x, int y) { return getpixel(gameSystem.iface.gfx.buffer, x, y); }
    // True when text in the font, white on black, is at (x, y) of the buffer.
    bool showsText(const std::string& text, int x, int y) {
        BITMAP* expected = create_bitmap(8 * static_cast<int>(text.size()), 8);
        textout_ex(expected, font, text.c_str(), 0, 0, makecol(255, 255, 255), makecol(0, 0, 0));
        bool same = true;
        for (int j = 0; j < expected->h && same; ++j)
            for (int i = 0; i < expected->w && same; ++i)
                same = getpixel(expected, i, j) == at(x + i, y + j);
        destroy_bitmap(expected);
        return same;
    }
};

TEST_F(GameDrawing, StatusStripShowsTimesGemsAndTheMinimap) {
    ball->ticks = 42;
    ball->gems = 3;
    ball->lastTime = 1800;
    gameSystem.iface.gfx.drawLoop();
    EXPECT_TRUE(showsText("Time: 42", 16, 460));
    EXPECT_TRUE(showsText("Last Time: 1800", 160, 454));
    EXPECT_TRUE(showsText("Best Time: 999999", 160, 468));
    EXPECT_TRUE(showsText("Gems: 3 / 20", 352, 460));
    EXPECT_EQ(at(0, 479), makecol(0, 0, 0));

    const int red = makecol(255, 0, 0), cyan = makecol(0, 255, 255);
    for (auto [x, y] : {std::pair{600, 448}, {601, 448}, {600, 449}, {601, 449}})
        EXPECT_EQ(at(x, y), red) << x << "," << y; // the ball at (16, 16)
    for (Gem* gem : gems()) {
        Vec p = pos(gem);
        EXPECT_EQ(at(600 + p.x.toInt() / 32, 448 + p.y.toInt() / 32), cyan);
    }
    EXPECT_EQ(at(631, 470), makecol(20, 40, 80)); // the minimap's frame
}

TEST_F(GameDrawing, GemDotsReachTheMinimapsEdge) {
    withoutGems();
    new Gem(field, fix16(1008), fix16(1008), fix16(16), fix16(16), ball);
    gameSystem.iface.gfx.drawLoop();
    EXPECT_EQ(at(631, 479), makecol(0, 255, 255));
}

TEST_F(GameDrawing, MinimapOfAFieldUnderThirtyTwoPixelsDividesSafely) {
    zone->addLayer(1, 1, 16, 16); // a 16 × 16 field: W / 32 is 0
    Ball* tiny = new Ball(zone->getLayer(2), fix16(10), fix16(5), fix16(4), fix16(4));
    Gem* speck = new Gem(zone->getLayer(2), fix16(3), fix16(7), fix16(4), fix16(4), tiny);
    tiny->onDraw(level->getBuffer());
    speck->onDraw(level->getBuffer());
    EXPECT_EQ(at(610, 453), makecol(255, 0, 0));
    EXPECT_EQ(at(603, 455), makecol(0, 255, 255));
}

// The demo's own frames, tick after tick with the ball rolling and gems being collected, drawn
// by the engine and by the plain renderer into buffers of their own, never cleared.
TEST_F(GameDrawing, FramesOfThePlayedLevelEqualThePlainRenderersPixelForPixel) {
    BITMAP* plain = create_bitmap(640, 480);
    fillWithNoise(gameSystem.iface.gfx.buffer, 5);
    fillWithNoise(plain, 5);
    run().hold(KEY_RIGHT);
    run().hold(KEY_DOWN);
    for (int tick = 0; tick < 240; ++tick) {
        if (tick == 120) {
            run().release(KEY_DOWN);
            run().hold(KEY_UP);
        }
        if (tick % 40 == 0) // an occasional write straight into the map
            field->getMapData()[tick / 40 + 3][tick / 20 + 2] =
                static_cast<short>(tick / 40 % 4 + 1);
        run().run(1);
        if (tick % 3 != 0)
            continue;
        gameSystem.iface.gfx.drawZone(zone, 0, 0, 640, 448);
        referenceDrawZone(gameSystem.iface.gfx, plain, zone, 0, 0, 640, 448);
        std::string where;
        ASSERT_EQ(differingPixels(gameSystem.iface.gfx.buffer, plain, &where), 0)
            << "tick " << tick << ", first at " << where;
    }
    Vec c = camera();
    EXPECT_GT(c.x.toInt(), 0); // the view scrolled on the way
    destroy_bitmap(plain);
}
