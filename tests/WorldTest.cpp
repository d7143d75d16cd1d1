#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "WorldSupport.h"

using Journal = std::vector<std::string>;

// A system (for its log and screen size) and a zone with one layer that has had its first,
// flag-clearing tick, so that the next tick works.
class World : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        sys = std::make_unique<TrelSystem>();
        zone = new TrelZone(sys.get());
        zone->addLayer(32, 32, 32, 32);
        layer = zone->getLayer(0);
        zone->process();
    }
    void TearDown() override {
        delete zone;
        sys.reset();
        InTempDir::TearDown();
    }

    Recorder* add(const std::string& name, TrelLayer* on = nullptr) {
        return new Recorder(on ? on : layer, journal, name);
    }
    // The journal of one tick.
    Journal tick() {
        journal.clear();
        zone->process();
        return journal;
    }
    Journal objectNames(TrelLayer* of) {
        Journal names;
        for (TrelObject* object : of->getObjects())
            names.push_back(static_cast<Recorder*>(object)->name);
        return names;
    }

    std::unique_ptr<TrelSystem> sys;
    TrelZone* zone = nullptr;
    TrelLayer* layer = nullptr;
    Journal journal;
};

TEST_F(World, PassesRunInOrderAndNewObjectsSkipOnlyTheirFirstVisit) {
    Recorder* a = add("a");
    Recorder* b = add("b");
    b->setSpeed(fix16(1), fix16(0));
    EXPECT_EQ(tick(), (Journal{"a.proc", "b.proc", "a.post", "b.post"})); // no pre: first visit
    Vec pos;
    b->getPos(pos);
    EXPECT_EQ(pos.x, fix16(1));
    EXPECT_EQ(tick(), (Journal{"a.pre", "b.pre", "a.proc", "b.proc", "a.post", "b.post"}));
    a->getPos(pos);
    EXPECT_EQ(pos.x, fix16(0));
}

TEST_F(World, ANewLayerOnlyLosesItsMarkInItsFirstTick) {
    zone->addLayer(4, 4, 16, 16);
    TrelLayer* fresh = zone->getLayer(1);
    Recorder* r = add("r", fresh);
    r->setSpeed(fix16(3), fix16(3));
    EXPECT_EQ(tick(), Journal{});
    Vec pos;
    r->getPos(pos);
    EXPECT_EQ(pos.x, fix16(0));
    EXPECT_EQ(tick(), (Journal{"r.proc", "r.post"}));
}

TEST_F(World, MoveFollowsEachOnProcessAtOnce) {
    Recorder* a = add("a");
    Recorder* b = add("b");
    tick();
    a->setSpeed(fix16(2), fix16(-1));
    Vec seen;
    b->onProc = [&](Recorder&) { a->getPos(seen); };
    tick();
    EXPECT_EQ(seen.x, fix16(2));
    EXPECT_EQ(seen.y, fix16(-1));
}

TEST_F(World, ObjectCreatedInOnProcessIsNotMovedButGetsOnPostProcess) {
    Recorder* a = add("a");
    tick();
    Recorder* child = nullptr;
    a->onProc = [&](Recorder&) {
        if (!child) {
            child = add("child");
            child->setSpeed(fix16(5), fix16(5));
        }
    };
    EXPECT_EQ(tick(), (Journal{"a.pre", "a.proc", "a.post", "child.post"}));
    Vec pos;
    child->getPos(pos);
    EXPECT_EQ(pos.x, fix16(0));
    EXPECT_EQ(tick(),
              (Journal{"a.pre", "child.pre", "a.proc", "child.proc", "a.post", "child.post"}));
}

TEST_F(World, SelfDestructionInEachPass) {
    Recorder* pre = add("pre");
    Recorder* proc = add("proc");
    Recorder* post = add("post");
    add("other");
    tick();
    proc->setSpeed(fix16(1), fix16(0));
    pre->onPre = [&](Recorder& self) {
        self.destroy();
        EXPECT_EQ(layer->getNumObjects(), 3); // no longer counted from that moment
    };
    proc->onProc = [](Recorder& self) { self.destroy(); };
    post->onPost = [](Recorder& self) { self.destroy(); };
    EXPECT_EQ(tick(), (Journal{"pre.pre", "proc.pre", "post.pre", "other.pre", "proc.proc",
                               "post.proc", "other.proc", "post.post", "other.post", "pre.deleted",
                               "proc.deleted", "post.deleted"}));
    EXPECT_EQ(objectNames(layer), Journal{"other"});
    EXPECT_EQ(layer->getNumObjects(), 1);
}

TEST_F(World, DestroyedObjectIsStillMovedRightAfterItsOnProcess) {
    Recorder* r = add("r");
    tick();
    r->setSpeed(fix16(4), fix16(0));
    Vec before, after;
    r->onProc = [&](Recorder& self) {
        self.getPos(before);
        self.destroy();
    };
    add("witness")->onPost = [&](Recorder&) { r->getPos(after); };
    tick(); // the new witness misses only its onPreProcess
    EXPECT_EQ(after.x - before.x, fix16(4));
}

TEST_F(World, SeveralDestroyedInOneTickAllGoAndSurvivorsKeepTheirOrder) {
    std::vector<Recorder*> all;
    for (const char* name : {"a", "b", "c", "d", "e", "f"})
        all.push_back(add(name));
    tick();
    all[5]->onPre = [&](Recorder&) {
        all[1]->destroy();
        all[2]->destroy();
        all[4]->destroy();
    };
    Journal j = tick();
    EXPECT_EQ(objectNames(layer), (Journal{"a", "d", "f"}));
    EXPECT_EQ(Journal(j.end() - 3, j.end()), (Journal{"b.deleted", "c.deleted", "e.deleted"}));
}

TEST_F(World, DestroyTwiceCountsOnce) {
    Recorder* r = add("r");
    add("s");
    r->destroy();
    r->destroy();
    EXPECT_EQ(layer->getNumObjects(), 1);
    tick();
    EXPECT_EQ(objectNames(layer), Journal{"s"});
    EXPECT_EQ(layer->getNumObjects(), 1);

    zone->addLayer(1, 1, 1, 1);
    TrelLayer* extra = zone->getLayer(1);
    extra->destroy();
    extra->destroy();
    EXPECT_EQ(zone->getNumLayers(), 2); // counted, as getLayer reaches it, until the purge
    tick();
    EXPECT_EQ(zone->getNumLayers(), 1);
    EXPECT_EQ(zone->getLayer(1), nullptr);
    EXPECT_EQ(zone->getLayer(0), layer);
}

TEST_F(World, ClearedObjectsGoAtTheNextPurgeAndLaterOnesLiveOn) {
    add("a");
    add("b");
    layer->clearObjects();
    EXPECT_EQ(layer->getNumObjects(), 2); // nothing happens before the purge
    Journal j = tick();
    EXPECT_EQ(Journal(j.end() - 2, j.end()), (Journal{"a.deleted", "b.deleted"}));
    EXPECT_EQ(layer->getNumObjects(), 0);
    add("later");
    tick();
    EXPECT_EQ(objectNames(layer), Journal{"later"});
}

TEST_F(World, DestroyedLayerRunsNoHooksAndTakesItsObjectsWithIt) {
    zone->addLayer(2, 2, 8, 8);
    TrelLayer* doomed = zone->getLayer(1);
    add("kept");
    add("gone", doomed);
    tick();
    doomed->destroy();
    EXPECT_EQ(zone->getNumLayers(), 2);
    EXPECT_EQ(zone->getLayer(1), doomed); // still there until the purge
    Journal j = tick();
    EXPECT_EQ(j, (Journal{"kept.pre", "kept.proc", "kept.post", "gone.deleted"}));
    EXPECT_EQ(zone->getLayer(1), nullptr);
}

namespace {

// Reads its layer's map as it is deleted, as an object that saves its surroundings might.
class MapReader : public TrelObject {
public:
    MapReader(TrelLayer* home, short& cell)
        : TrelObject(home, fix16(), fix16(), fix16(1), fix16(1)), seen(cell) {}
    ~MapReader() override { seen = getLayer()->getMapData()[1][1]; }
    short& seen;
};

} // namespace

// The layer used to free its map before deleting its objects.
TEST_F(World, ObjectsAreDeletedWhileTheirLayersMapStillExists) {
    zone->addLayer(2, 2, 8, 8);
    TrelLayer* doomed = zone->getLayer(1);
    doomed->getMapData()[1][1] = 7;
    short seen = 0;
    new MapReader(doomed, seen);
    doomed->destroy();
    tick();
    EXPECT_EQ(seen, 7);
}

TEST_F(World, LayersRunInOrderOfAdditionIncludingOnesAddedDuringTheTick) {
    zone->addLayer(2, 2, 8, 8);
    TrelLayer* second = zone->getLayer(1);
    Recorder* first = add("first");
    add("second", second);
    tick(); // the new layer only loses its mark
    tick(); // its new object only loses its mark in pass 0
    // Adding many layers from a hook grows the array during the zone's walk.
    int added = 0;
    first->onProc = [&](Recorder&) {
        if (added == 0) {
            for (; added < 40; ++added)
                zone->addLayer(1, 1, 8, 8);
            add("late", zone->getLayer(41));
        }
    };
    EXPECT_EQ(tick(), (Journal{"first.pre", "first.proc", "first.post", "second.pre", "second.proc",
                               "second.post"}));
    EXPECT_EQ(zone->getNumLayers(), 42);
    EXPECT_FALSE(zone->getLayer(41)->isNew()); // visited in the tick that added it
    Journal j = tick();
    EXPECT_EQ(Journal(j.end() - 2, j.end()), (Journal{"late.proc", "late.post"}));
}

TEST_F(World, LayersDestroyedTogetherAllGoAndTheRestKeepTheirOrder) {
    for (int i = 1; i < 6; ++i)
        zone->addLayer(static_cast<unsigned>(i), 1, 8, 8);
    tick();
    zone->getLayer(1)->destroy();
    zone->getLayer(2)->destroy();
    zone->getLayer(4)->destroy();
    tick();
    ASSERT_EQ(zone->getNumLayers(), 3);
    int widths[3];
    for (int i = 0; i < 3; ++i) {
        int h;
        zone->getLayer(i)->getMapSize(widths[i], h);
    }
    EXPECT_EQ(widths[0], 32);
    EXPECT_EQ(widths[1], 3);
    EXPECT_EQ(widths[2], 5);
}

TEST_F(World, ClearedLayersGoAtTheNextTickAndLaterOnesLiveOn) {
    zone->addLayer(1, 1, 8, 8);
    add("a");
    zone->clearLayers();
    Journal j = tick();
    EXPECT_EQ(j.back(), "a.deleted");
    EXPECT_EQ(zone->getNumLayers(), 0);
    EXPECT_EQ(zone->getLayer(0), nullptr);
    zone->addLayer(1, 1, 8, 8);
    tick();
    EXPECT_EQ(zone->getNumLayers(), 1);
}

TEST_F(World, DeletingTheZoneDeletesLayersLastFirst) {
    zone->addLayer(1, 1, 8, 8);
    add("on0");
    add("on1", zone->getLayer(1));
    journal.clear();
    delete zone;
    zone = nullptr;
    EXPECT_EQ(journal, (Journal{"on1.deleted", "on0.deleted"}));
}

TEST_F(World, ObjectMovesBySpeedAndGravityOnly) {
    Recorder& r = *add("r");
    r.setGravity(fix16(), fix16(0.5f));
    r.setAccel(fix16(7), fix16(7));
    r.setDecel(fix16(-7), fix16(-7));
    Vec speed, pos;
    const float speeds[] = {0.5f, 1.0f, 1.5f}, ys[] = {0.5f, 1.5f, 3.0f};
    for (int i = 0; i < 3; ++i) {
        r.move();
        r.getSpeed(speed);
        r.getPos(pos);
        EXPECT_EQ(speed.y, fix16(speeds[i]));
        EXPECT_EQ(pos.y, fix16(ys[i]));
        EXPECT_EQ(pos.x, fix16());
    }
    Vec filled(fix16(99), fix16(99));
    r.getAccel(filled);
    EXPECT_EQ(filled.x, fix16(7));
    r.getSize(filled);
    EXPECT_EQ(filled.x, fix16(8));
    EXPECT_EQ(filled.y, fix16(8));
}

TEST_F(World, MapCellsAreOneBlockAddressedByRowsWithBoundsOnTheCheckedAccess) {
    zone->addLayer(40, 25, 16, 8);
    TrelLayer* map = zone->getLayer(1);
    EXPECT_TRUE(map->getVisibility());
    EXPECT_EQ(map->getNumObjects(), 0);
    short** rows = map->getMapData();
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(map->getMapTile(x, y), 0);
            rows[y][x] = static_cast<short>(y * 40 + x);
        }
    EXPECT_EQ(rows[1] - rows[0], 40); // one block, row after row
    EXPECT_EQ(map->getMapTile(39, 24), 24 * 40 + 39);
    EXPECT_EQ(map->getMapTile(40, 0), 0);
    EXPECT_EQ(map->getMapTile(0, 25), 0);
    EXPECT_EQ(map->getMapTile(static_cast<unsigned>(-1), 0), 0);
    map->setMapTile(40, 0, 7);
    map->setMapTile(0, 25, 7);
    map->setMapTile(3, 2, -5);
    EXPECT_EQ(rows[2][3], -5);
    EXPECT_EQ(rows[0][39], 39);
    EXPECT_EQ(rows[1][0], 40);

    int w, h;
    map->getMapActualSize(w, h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 200);
    fix16 fw, fh;
    layer->getMapActualSize(fw, fh);
    EXPECT_EQ(fw, fix16(1024));
    EXPECT_EQ(fh, fix16(1024));
}

TEST_F(World, HugeMapIsAFatalErrorNotAWrappedSize) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(zone->addLayer(0xffffffffu, 0xffffffffu, 1, 1), ::testing::ExitedWithCode(1), "");
    EXPECT_TRUE(containsInOrder(readLog(), {"Could not allocate tilemap for the zone layer!"}));
}

class Camera : public World {
protected:
    Vec camera() {
        Vec c;
        zone->getCameraPos(c);
        return c;
    }
    void expectCamera(float x, float y) {
        Vec c = camera();
        EXPECT_EQ(c.x, fix16(x)) << "x raw " << c.x.raw;
        EXPECT_EQ(c.y, fix16(y)) << "y raw " << c.y.raw;
    }
};

TEST_F(Camera, NewZoneHasADefaultViewAndNothingToClampTo) {
    TrelZone empty(sys.get());
    int x, y, w, h;
    empty.getCameraRegion(x, y, w, h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(empty.getNumLayers(), 0);
    empty.setCameraPos(fix16(-5), fix16(5000));
    Vec c;
    empty.getCameraPos(c);
    EXPECT_EQ(c.x, fix16(-5));
    EXPECT_EQ(c.y, fix16(5000));
}

TEST_F(Camera, StaysInsideTheMainLayer) {
    zone->setCameraRegion(0, 0, 640, 448);
    zone->setCameraPos(fix16(500), fix16(-3));
    expectCamera(384, 0);
    zone->setCameraPos(fix16(384), fix16(576));
    expectCamera(384, 576);
    zone->setCameraPos(fix16(383.5f), fix16(575.75f));
    expectCamera(383.5f, 575.75f);
    zone->setCameraPos(fix16(-0.25f), fix16(577));
    expectCamera(0, 576);
}

TEST_F(Camera, RegionChangesReclampTheStoredPosition) {
    zone->setCameraRegion(0, 0, 640, 448);
    zone->setCameraPos(fix16(384), fix16(576));
    zone->setCameraRegion(8, 16, 1000, 1000); // larger: limits 24 x 24
    expectCamera(24, 24);
    zone->setCameraRegion(0, 0, 100, 100); // smaller: the position stays
    expectCamera(24, 24);
    zone->setCameraPos(fix16(1000), fix16(1000));
    expectCamera(924, 924);
}

TEST_F(Camera, LayerNarrowerThanTheRegionAlignsRightEdges) {
    zone->addLayer(10, 40, 32, 32); // 320 x 1280 pixels
    zone->setMainLayer(1);
    EXPECT_EQ(zone->getMainLayer(), 1);
    zone->setCameraPos(fix16(5), fix16(10));
    expectCamera(-320, 10);
    zone->setCameraPos(fix16(-5), fix16(10));
    expectCamera(0, 10);
}

TEST_F(Camera, InvalidMainLayerIsIgnoredOrLeavesTheCameraAlone) {
    zone->setMainLayer(7); // no such layer: index kept
    EXPECT_EQ(zone->getMainLayer(), 0);
    EXPECT_EQ(zone->getLayer(7), nullptr);
    EXPECT_EQ(zone->getLayer(-1), nullptr);

    zone->addLayer(1, 1, 8, 8);
    zone->setMainLayer(1);
    zone->getLayer(1)->destroy();
    tick(); // the main layer index now names nothing, and the clamp does nothing
    zone->setCameraPos(fix16(5000), fix16(-5));
    expectCamera(5000, -5);
}

// The system's generators join the zone's state with the first number drawn from either, so
// the hashes of games that draw none stay as they were, and a replay that draws differently
// diverges at once.
TEST_F(World, TheRandomGeneratorsJoinTheStateOnceDrawnFrom) {
    const std::uint64_t before = zone->stateHash();
    sys->seedRandom(12);
    EXPECT_EQ(zone->stateHash(), before);
    sys->effects.next();
    const std::uint64_t drawn = zone->stateHash();
    EXPECT_NE(drawn, before);
    sys->random.range(1, 6);
    EXPECT_NE(zone->stateHash(), drawn);
    std::FILE* text = std::tmpfile();
    zone->dumpState(text);
    std::rewind(text);
    std::string dump(4096, '\0');
    dump.resize(std::fread(&dump[0], 1, dump.size(), text));
    std::fclose(text);
    EXPECT_NE(dump.find("random play "), std::string::npos) << dump;
}
