// The moth's flight, tested without a window: the engine runs headless, keys are held by the
// test, and a frame is compared with a picture kept in tests/. Run from the game's folder.
// guide: test
#include <allegro.h>
#include <gtest/gtest.h>
#include <trel.h>

#include "Moth.h"

using fixedpoint::fix16;

TrelSystem game; // the tests' own root object

namespace {

// A meadow of 20 × 15 cells with the moth in the middle of the view, built afresh: the
// images of an earlier meadow are freed, so that each has the same place in the registry.
Moth* smallMeadow() {
    game.newZone("Test meadow");
    game.clearSpriteResources();
    game.zone->addLayer(20, 15, 32, 32);
    TrelLayer* meadow = game.zone->getLayer(0);
    meadow->setTileset(game.newSpriteResource("data/grass.jpg"));
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 20; ++x)
            meadow->setMapTile(x, y, 1);
    game.zone->setCameraRegion(0, 0, 640, 480);
    return new Moth(meadow, fix16(320), fix16(240), Moth::loadLook(&game));
}

} // namespace

TEST(Moth, FliesWhileAKeyIsHeldAndStopsAtTheMeadowsEdge) {
    TrelHeadlessRun run(&game); // no window, keyboard or timer: runs anywhere
    Moth* moth = smallMeadow();
    vmath::vec2<fix16> at;

    run.hold(KEY_RIGHT);
    run.run(30); // half a second at 60 ticks a second
    moth->getPos(at);
    EXPECT_EQ(at.x, fix16(320 + 3 * 29)); // a new layer sits out its first tick

    run.run(200); // long enough to reach the right edge
    moth->getPos(at);
    EXPECT_EQ(at.x.toInt(), 640 - 11);
    // The first run writes the picture (and fails); look at it, then commit it.
    EXPECT_TRUE(run.frameMatches("tests/moth-at-the-edge.png")) << run.getMismatch();

    run.releaseAll();
    run.hold(KEY_LEFT);
    run.run(1);
    EXPECT_TRUE(moth->getFlippedX()); // it turns to face the way it flies
}
// guide: end

// guide: test-replay
// A flight recorded and played back: every tick's state must come out the same.
TEST(Moth, ARecordedFlightReplaysExactly) {
    TrelHeadlessRun run(&game);
    TrelRecorder recorder(&game);
    ASSERT_TRUE(recorder.start("flight.trec", 7)); // before the level: it seeds rand()
    smallMeadow();
    const int keys[] = {KEY_RIGHT, KEY_DOWN, KEY_LEFT, KEY_UP};
    for (int tick = 0; tick < 240; ++tick) {
        run.releaseAll();
        run.hold(keys[tick / 60]); // each arrow for a second
        recorder.step();           // one tick, recorded
    }
    ASSERT_TRUE(recorder.finish());

    TrelPlayer player(&game);
    ASSERT_TRUE(player.open("flight.trec")) << player.getError();
    smallMeadow();              // the same level again, from the start
    EXPECT_TRUE(player.play()); // false at the first tick whose state differs
    EXPECT_EQ(player.getTick(), 240);
    EXPECT_EQ(player.getHash(), recorder.getHash());
}
// guide: end
