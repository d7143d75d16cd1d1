#include <allegro.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "TestFiles.h"
#include "TestSupport.h"
#include "WorldSupport.h"
#include "map/TrelMapSpawner.h"

using Journal = std::vector<std::string>;

namespace {

// A scene whose build runs a std::function, so that each test says what its zones hold.
struct Built {
    std::function<void(TrelSystem&)> build;
};

void buildFrom(TrelSystem& system, void* user) {
    if (auto* built = static_cast<Built*>(user); built->build)
        built->build(system);
}

} // namespace

// A system up headless on a memory frame, and scenes "a", "b" and "c" each with one layer.
class Scenes : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        set_color_depth(16);
        sys = std::make_unique<TrelSystem>();
        frame = create_bitmap(64, 48);
        ASSERT_TRUE(sys->iface.initOnFrame(frame));
        for (Built* built : {&a, &b, &c})
            built->build = [](TrelSystem& s) { s.zone->addLayer(4, 4, 16, 16); };
    }
    void TearDown() override {
        sys.reset();
        destroy_bitmap(frame);
        InTempDir::TearDown();
    }
    TrelScene scene(const char* name, Built& built) { return TrelScene(name, buildFrom, &built); }
    TrelLayer* ground() { return sys->zone->getLayer(0); }
    Journal tick() {
        journal.clear();
        sys->runTicks(1);
        return journal;
    }

    std::unique_ptr<TrelSystem> sys;
    BITMAP* frame = nullptr;
    Built a, b, c;
    Journal journal;
};

// A change asked for by a hook is made at the end of the tick, and the zone left runs nothing
// after that hook: not the other objects, not the later passes.
TEST_F(Scenes, AChangeFromAnyHookStopsTheZoneLeftAtOnceAndIsMadeAtTheTicksEnd) {
    using Ask = std::function<void(TrelSystem&)>;
    const std::pair<const char*, Ask> changes[] = {
        {"switch", [this](TrelSystem& s) { s.switchScene(scene("b", b)); }},
        {"push", [this](TrelSystem& s) { s.pushScene(scene("b", b)); }},
        {"pop", [](TrelSystem& s) { s.popScene(); }}};
    const char* hooks[] = {"pre", "proc", "post"};
    for (const auto& change : changes) {
        for (const char* hook : hooks) {
            SCOPED_TRACE(std::string(change.first) + " from " + hook);
            Recorder::Action ask = [&change](Recorder& r) { change.second(*r.getSystem()); };
            a.build = [&](TrelSystem& s) {
                s.zone->addLayer(4, 4, 16, 16);
                auto* asker = new Recorder(ground(), journal, "asker");
                new Recorder(ground(), journal, "other");
                (hook == hooks[0]   ? asker->onPre
                 : hook == hooks[1] ? asker->onProc
                                    : asker->onPost) = ask;
            };
            sys->switchScene(scene("c", c));
            sys->pushScene(scene("a", a)); // over c, for the pop
            const Journal before = {"asker.pre",  "other.pre",  "asker.proc",
                                    "other.proc", "asker.post", "other.post"};
            std::size_t stop = 0;
            while (before[stop] != std::string("asker.") + hook)
                ++stop;
            Journal expected(before.begin(), before.begin() + static_cast<long>(stop) + 1);
            expected.push_back("asker.deleted"); // the zone left goes at the tick's end ...
            expected.push_back("other.deleted");
            if (change.first == std::string("push")) // ... unless it is covered
                expected.resize(expected.size() - 2);
            EXPECT_EQ(tick(), expected);
            EXPECT_STREQ(sys->scenes.getSceneName(),
                         change.first == std::string("pop") ? "c" : "b");
            EXPECT_EQ(sys->scenes.getCoveredCount(), change.first == std::string("push") ? 2 : 0);
            sys->switchScene(TrelScene()); // from outside the loop: at once, all of them left
            EXPECT_EQ(sys->scenes.getCoveredCount(), 0);
        }
    }
    sys->popScene();
    EXPECT_TRUE(
        containsInOrder(readLog(), {"Requested scene switch:\nc", "Requested scene push:\na",
                                    "Requested scene pop:\na", "Resuming scene:\nc",
                                    "There is no scene to pop back to."}));
}

// The zone a scene change makes current runs from its first tick, with that tick's keys.
TEST_F(Scenes, ANewScenesObjectsTakePartInItsFirstTickAndSeeItsKeys) {
    bool seen = false;
    a.build = [&](TrelSystem& s) {
        s.zone->addLayer(4, 4, 16, 16);
        new Recorder(ground(), journal, "title");
        auto* hud = new Recorder(s.zone->getHud(), journal, "hud");
        hud->onProc = [&seen](Recorder& r) { seen = r.getSystem()->input.wasPressed(KEY_ENTER); };
    };
    TrelHeadlessRun run(sys.get());
    sys->switchScene(scene("a", a));
    run.hold(KEY_ENTER);
    EXPECT_EQ(tick(), (Journal{"title.pre", "title.proc", "title.post", "hud.pre", "hud.proc",
                               "hud.post"}));
    EXPECT_TRUE(seen);
}

// Under a pushed scene a zone is frozen: hooks, animation, moves, tile time and its sounds;
// popped back, it goes on from where it stood.
TEST_F(Scenes, ACoveredSceneStandsStillAndGoesOnWhereItStopped) {
    TrelResource* look = new TrelResource();
    sys->addSpriteResource(look);
    for (int i = 0; i < 3; ++i)
        look->addData(new TrelISprite(create_bitmap(4, 4)));
    TrelAnimation* spin = look->addAnimation(new TrelAnimation("spin"));
    for (int i = 0; i < 3; ++i)
        spin->addFrame(look->getData(i), 2);
    TrelSound* beep = sys->audio.loadSound(TREL_HOPPER_DATA "/coin.wav");
    ASSERT_NE(beep, nullptr);
    Recorder* mover = nullptr;
    int voice = 0;
    a.build = [&](TrelSystem& s) {
        s.zone->addLayer(4, 4, 16, 16);
        mover = new Recorder(ground(), journal, "mover");
        mover->setGravity(fix16(), fix16(1) / 4);
        mover->play(spin);
        voice = s.audio.mixer.playLooped(beep);
    };
    TrelScene pause = scene("pause", b);
    pause.pausesMusic = true;
    sys->switchScene(scene("a", a));
    sys->runTicks(3);
    TrelZone* level = sys->zone;
    const std::uint64_t hash = level->stateHash();
    const std::int64_t ticks = level->getTicks();
    const int shown = mover->getAnimator().getFrameIndex();
    sys->pushScene(pause);
    for (int t = 0; t < 600; ++t) {
        ASSERT_EQ(tick(), Journal{}) << t;
        ASSERT_EQ(sys->audio.mixer.getTickSamples()[0], 0) << t; // the loop is paused
    }
    EXPECT_EQ(level->stateHash(), hash);
    EXPECT_EQ(level->getTicks(), ticks);
    EXPECT_TRUE(sys->audio.mixer.isPlaying(voice));
    sys->popScene();
    EXPECT_EQ(sys->zone, level);
    sys->runTicks(2);
    EXPECT_EQ(mover->getAnimator().getFrameIndex(), (shown + 1) % 3);
    // Left for good, its sounds stop; one kept plays on.
    const int kept = sys->audio.mixer.play(beep);
    sys->audio.mixer.setKept(kept);
    sys->switchScene(pause);
    EXPECT_FALSE(sys->audio.mixer.isPlaying(voice));
    EXPECT_TRUE(sys->audio.mixer.isPlaying(kept));
}

// A fade counts in ticks: the screen goes dark over the out ticks, while the scene left
// stands still, and the new one comes in over the in ticks.
TEST_F(Scenes, AFadeOutAndInCountsTicksAndVeilsTheFrame) {
    sys->switchScene(scene("a", a));
    sys->zone->setBackgroundColor(0xffffff);
    sys->switchScene(scene("b", b), TrelTransition::fade(4, 0x000000));
    std::vector<int> alphas;
    std::string names;
    for (int t = 0; t < 9; ++t) {
        sys->runTicks(1);
        int rgb = -1;
        alphas.push_back(sys->scenes.getFadeAlpha(rgb));
        names += sys->scenes.getSceneName();
    }
    EXPECT_EQ(alphas, (std::vector<int>{63, 127, 191, 255, 191, 127, 63, 0, 0}));
    EXPECT_EQ(names, "aaabbbbbb"); // switched at the end of the fourth tick
    // Half-way into a white scene: the frame is half grey.
    sys->zone->setBackgroundColor(0xffffff);
    sys->switchScene(scene("c", c), TrelTransition::fade(2));
    sys->runTicks(1);
    sys->iface.gfx.drawLoop();
    const int grey = getr(getpixel(frame, 10, 10));
    EXPECT_GT(grey, 100);
    EXPECT_LT(grey, 150);
}

// A HUD is drawn in the view's own pixels whatever the camera does, and survives clearLayers;
// a self-drawn object shows only its onDraw.
TEST_F(Scenes, TheHudIgnoresTheCameraAndSelfDrawnObjectsDrawNoRing) {
    a.build = [](TrelSystem& s) {
        s.zone->addLayer(40, 40, 16, 16);
        s.zone->setCameraRegion(8, 4, 48, 40);
        s.zone->setCameraPos(fix16(100), fix16(100));
    };
    sys->switchScene(scene("a", a));
    BITMAP* red = create_bitmap(2, 2);
    clear_to_color(red, makecol(255, 0, 0));
    TrelISprite sprite(red);
    auto* badge = new Recorder(sys->zone->getHud(), journal, "badge", fix16(11), fix16(11));
    badge->setSprite(&sprite);
    auto* text = new Recorder(sys->zone->getHud(), journal, "text", fix16(30), fix16(20));
    text->setSelfDrawn(true);
    sys->zone->clearLayers();
    sys->runTicks(1);
    clear_bitmap(frame);
    journal.clear();
    sys->iface.gfx.drawLoop();
    EXPECT_EQ(getr(getpixel(frame, 8 + 10, 4 + 10)), 255);
    EXPECT_EQ(getpixel(frame, 8 + 30 + 4, 4 + 20), 0); // where a ring would be
    EXPECT_EQ(journal, (Journal{"badge.draw", "text.draw"}));
    text->destroy();
    badge->destroy();
    sys->runTicks(1);
}

// An object travels to another zone's layer at the end of the tick, as it is.
TEST_F(Scenes, AnObjectTravelsToTheNextScenesLayerKeepingItsState) {
    sys->switchScene(scene("a", a));
    auto* hero = new Recorder(ground(), journal, "hero", fix16(5), fix16(7));
    hero->setSpeed(fix16(1), fix16());
    b.build = [hero](TrelSystem& s) {
        s.zone->addLayer(4, 4, 16, 16);
        hero->travelTo(s.zone->getLayer(0)); // at once: no zone is being walked
    };
    hero->onProc = [this](Recorder& r) { r.getSystem()->pushScene(scene("b", b)); };
    sys->runTicks(1);
    EXPECT_EQ(hero->getLayer(), ground());
    EXPECT_EQ(sys->scenes.getCovered(0)->getLayer(0)->getNumObjects(), 0);
    Vec at;
    hero->getPos(at);
    EXPECT_EQ(at.x, fix16(5)); // its move after the asking hook did not run
    hero->onProc = [](Recorder& r) { r.travelTo(r.getZone()->getHud()); };
    EXPECT_EQ(tick(), (Journal{"hero.pre", "hero.proc", "hero.post"}));
    EXPECT_EQ(hero->getLayer(), sys->zone->getHud());
    hero->getPos(at);
    EXPECT_EQ(at.x, fix16(6));
}

// Every Tiled shape gets its centre; objects go to the layer under their object layer, and a
// type no maker is registered for is named once.
TEST_F(Scenes, MapObjectsOfEveryShapeAreMadeAtTheirCentres) {
    using Object = TrelTiledMap::Object;
    using Shape = TrelTiledMap::Shape;
    auto centre = [](Object o) {
        fix16 x, y, w, h;
        TrelMapSpawner::place(o, x, y, w, h);
        return std::vector<double>{x.toDouble(), y.toDouble(), w.toDouble(), h.toDouble()};
    };
    Object rect;
    rect.x = 10, rect.y = 20, rect.width = 30, rect.height = 40;
    EXPECT_EQ(centre(rect), (std::vector<double>{25, 40, 30, 40}));
    Object tile = rect;
    tile.gid = 5;
    EXPECT_EQ(centre(tile), (std::vector<double>{25, 0, 30, 40}));
    Object point = rect;
    point.shape = Shape::Point;
    EXPECT_EQ(centre(point), (std::vector<double>{10, 20, 0, 0}));
    Object polygon = rect;
    polygon.shape = Shape::Polygon;
    polygon.points = {{-4, 0}, {16, 0}, {16, 10}};
    EXPECT_EQ(centre(polygon), (std::vector<double>{16, 25, 20, 10}));
    Object turned = rect;
    turned.rotation = 90;
    EXPECT_EQ(centre(turned), (std::vector<double>{-10, 35, 30, 40}));

    writeFile("objects.tmx", R"(<?xml version="1.0"?>
<map version="1.8" orientation="orthogonal" width="2" height="2" tilewidth="8" tileheight="8">
 <layer name="back" width="2" height="2"><data encoding="csv">0,0,0,0</data></layer>
 <objectgroup name="things">
  <object type="coin" x="4" y="4"><point/></object>
  <object type="ghost" x="1" y="1" width="2" height="2"/>
  <object type="ghost" x="3" y="3" width="2" height="2"/>
 </objectgroup>
 <layer name="front" width="2" height="2"><data encoding="csv">0,0,0,0</data></layer>
</map>)");
    TrelTiledMap map;
    ASSERT_TRUE(map.load("objects.tmx")) << map.getError();
    ASSERT_TRUE(sys->newZoneFromMap("objects.tmx"));
    TrelMapSpawner spawner;
    std::vector<TrelMapSpawner::Spawn> made;
    spawner.add(
        "coin",
        [](const TrelMapSpawner::Spawn& spawn, void* user) {
            static_cast<std::vector<TrelMapSpawner::Spawn>*>(user)->push_back(spawn);
        },
        &made);
    EXPECT_EQ(spawner.spawn(map, sys->zone), 1);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].layer, sys->zone->getLayer(0));
    EXPECT_EQ(made[0].x, fix16(4));
    const std::string log = readLog();
    const std::string warning = "The map \"objects.tmx\" has objects of the type \"ghost\", which "
                                "the game makes nothing of.";
    ASSERT_NE(log.find(warning), std::string::npos) << log;
    EXPECT_EQ(log.find(warning, log.find(warning) + 1), std::string::npos);
}

// Sound from before a recording is not the recording's: the replay, which starts silent,
// matches it.
TEST_F(Scenes, ASoundPlayingBeforeARecordingCannotMakeItDiverge) {
    TrelSound* beep = sys->audio.loadSound(TREL_HOPPER_DATA "/coin.wav");
    ASSERT_NE(beep, nullptr);
    TrelHeadlessRun run(sys.get());
    sys->audio.mixer.playLooped(beep);
    sys->runTicks(7);
    TrelRecorder recorder(sys.get());
    ASSERT_TRUE(recorder.start("beep.trec", 1));
    sys->switchScene(scene("a", a));
    for (int t = 0; t < 130; ++t) {
        if (t == 70)
            sys->audio.mixer.play(beep);
        ASSERT_TRUE(recorder.step());
    }
    ASSERT_TRUE(recorder.finish());
    TrelPlayer player(sys.get());
    ASSERT_TRUE(player.open("beep.trec"));
    sys->switchScene(scene("a", a));
    for (int t = 0; t < 130; ++t) {
        if (t == 70)
            sys->audio.mixer.play(beep);
        ASSERT_TRUE(player.step()) << t;
    }
    EXPECT_FALSE(player.hasDiverged());
}
