#include <allegro.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "ImageFiles.h"
#include "TestSupport.h"
#include "WorldSupport.h"

// A system whose interface comes up headless on a memory frame when a test loads it.
class SystemZones : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        set_color_depth(32);
        sys = std::make_unique<TrelSystem>();
        frame = create_bitmap(640, 480);
        screen = create_bitmap(640, 480); // no graphics driver here: SCREEN_W is 0
    }
    void TearDown() override {
        sys.reset(); // the interface leaves Allegro running for the other tests
        destroy_bitmap(frame);
        destroy_bitmap(screen);
        screen = nullptr;
        InTempDir::TearDown();
    }
    void load() { ASSERT_TRUE(sys->iface.initOnFrame(frame)); }

    std::unique_ptr<TrelSystem> sys;
    BITMAP* frame = nullptr; // the interface draws into it once loaded
    std::vector<std::string> journal;
};

TEST_F(SystemZones, NewZoneBeforeInitIsRefused) {
    EXPECT_FALSE(sys->newZone("Early"));
    EXPECT_EQ(sys->zone, nullptr);
    EXPECT_TRUE(containsInOrder(
        readLog(), {"\n\n----------------\n\nRequested new zone:\nEarly",
                    "\nERROR! You must load the interface before loading any zone.\n"}));
}

TEST_F(SystemZones, NewZoneReplacesTheOldOneWithAnEmptyNamedZone) {
    load();
    ASSERT_TRUE(sys->newZone("First 100%"));
    sys->zone->addLayer(2, 2, 8, 8);
    new Recorder(sys->zone->getLayer(0), journal, "old");
    ASSERT_TRUE(sys->newZone("Second"));
    EXPECT_EQ(journal, std::vector<std::string>{"old.deleted"});
    ASSERT_NE(sys->zone, nullptr);
    EXPECT_STREQ(sys->zone->getName(), "Second");
    EXPECT_EQ(sys->zone->getNumLayers(), 0);
    EXPECT_TRUE(containsInOrder(readLog(), {"Requested new zone:\nFirst 100%",
                                            "\n\nCreating new zone...", "\nSuccess!",
                                            "\n\n----------------\n\nRequested new zone:\nSecond",
                                            "\n\nUnloading old zone...", "\nDone.",
                                            "\n\nCreating new zone...", "\nSuccess!"}));
}

// The device for tests and tools: refused without a frame or twice, drawing into the frame
// (or a target set for a while), and gone again with Allegro still running.
TEST_F(SystemZones, AnInterfaceOnTheCallersFrameDrawsThereAndLeavesAllegroRunning) {
    EXPECT_FALSE(sys->iface.initOnFrame(nullptr));
    load();
    EXPECT_FALSE(sys->iface.initOnFrame(frame));
    EXPECT_TRUE(sys->iface.isHeadless());
    EXPECT_EQ(sys->iface.gfx.getTarget(), frame);
    BITMAP* other = create_bitmap(8, 8);
    sys->iface.gfx.setTarget(other);
    EXPECT_EQ(sys->iface.gfx.getTarget(), other);
    sys->iface.gfx.setTarget(nullptr);
    EXPECT_EQ(sys->iface.gfx.getTarget(), frame);
    destroy_bitmap(other);
    sys->iface.deinit();
    EXPECT_FALSE(sys->iface.loaded);
    EXPECT_EQ(sys->iface.gfx.buffer, nullptr);
    EXPECT_NE(system_driver, nullptr);
    EXPECT_TRUE(containsInOrder(readLog(), {"\nERROR! initOnFrame needs a frame to draw into.\n",
                                            "\nERROR! The interface is already initialized.\n"}));
    load(); // and up again on the same frame
    EXPECT_TRUE(sys->iface.loaded);
}

TEST_F(SystemZones, ShutdownClearsTheZoneBeforeTheResources) {
    load();
    sys->newZone("Z");
    sys->newSpriteResource(writeImage("a.bmp", 8, 8).c_str());
    sys.reset();
    EXPECT_TRUE(
        containsInOrder(readLog(), {"\n\nSystem shutdown.\n", "\nClearing zone...",
                                    "\nFreeing sprite resources...", "\nBegin interface deinit"}));
}

TEST_F(SystemZones, SpriteRegistryOwnsWhatLoadedAndNothingElse) {
    std::string file = writeImage("img.bmp", 8, 8);
    TrelResource* first = sys->newSpriteResource(file.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(sys->newSpriteResource("missing.bmp"), nullptr);
    TrelResource* second = sys->newSpriteResource(file.c_str());
    TrelResource* third = sys->newSpriteResource(file.c_str());
    EXPECT_EQ(sys->spriteResources, (std::vector<TrelResource*>{first, second, third}));

    TrelISprite* appended = sys->appendSpriteResource(file.c_str(), second);
    EXPECT_EQ(second->getData(1), appended);
    EXPECT_EQ(second->getSize(), 2);
    EXPECT_EQ(sys->appendSpriteResource("missing.bmp", second), nullptr);
    EXPECT_EQ(second->getSize(), 2);
    EXPECT_EQ(sys->spriteResources.size(), 3u);

    sys->clearSpriteResources();
    EXPECT_TRUE(sys->spriteResources.empty());
    EXPECT_NE(sys->newSpriteResource(file.c_str()), nullptr); // the registry is usable again
}

TEST_F(SystemZones, RegistryLogsWhyAFileWasRefused) {
    std::string file = writeImage("img.bmp", 8, 8);
    TrelResource* resource = sys->newSpriteResource(file.c_str());
    std::FILE* empty = std::fopen("empty.bmp", "wb");
    std::fclose(empty);
    EXPECT_EQ(sys->newSpriteResource("empty.bmp"), nullptr);
    EXPECT_EQ(sys->appendSpriteResource("missing.bmp", resource), nullptr);
    EXPECT_EQ(sys->appendSpriteResource(file.c_str(), nullptr), nullptr);
    EXPECT_TRUE(containsInOrder(
        readLog(), {"\nImage file \"empty.bmp\" is empty.",
                    "\nImage file \"missing.bmp\" cannot be read: No such file or directory."}));
}

// Null names used to reach strlen and printf's %s.
TEST_F(SystemZones, NullNamesAreEmptyNamesAndANullFileLoadsNothing) {
    load();
    sys->setName(nullptr);
    EXPECT_STREQ(sys->getName(), "");
    ASSERT_TRUE(sys->newZone(nullptr));
    EXPECT_STREQ(sys->zone->getName(), "");
    EXPECT_EQ(sys->newSpriteResource(nullptr), nullptr);
    EXPECT_TRUE(sys->spriteResources.empty());
    EXPECT_TRUE(containsInOrder(readLog(), {"Requested new zone:\n\n\nCreating new zone...",
                                            "\nNo image file name was given."}));
}

TEST_F(SystemZones, MainLoopNeedsAZone) {
    EXPECT_FALSE(sys->mainLoop());
    EXPECT_TRUE(containsInOrder(
        readLog(), {"\n\nEntering main loop.",
                    "\nERROR! Attempted to enter main loop with no zone loaded.\nExiting main "
                    "loop abnormally.\n"}));
}

TEST_F(SystemZones, MainLoopWithQuitAlreadySetRunsNoTick) {
    load();
    sys->newZone("Z");
    sys->zone->addLayer(1, 1, 8, 8);
    new Recorder(sys->zone->getLayer(0), journal, "r");
    sys->quit = 1;
    EXPECT_TRUE(sys->mainLoop());
    EXPECT_TRUE(journal.empty());
    std::string log = readLog();
    EXPECT_TRUE(endsWith(log, "\n\nEntering main loop.\nExiting main loop normally.")) << log;
}

// Replacing the zone from inside a hook used to free the zone that was being walked.
TEST_F(SystemZones, ZoneReplacedByAHookLivesUntilTheEndOfTheTick) {
    load();
    sys->newZone("Before");
    sys->zone->addLayer(1, 1, 8, 8);
    TrelLayer* layer = sys->zone->getLayer(0);
    Recorder* a = new Recorder(layer, journal, "a");
    new Recorder(layer, journal, "b");
    int ticks = 0;
    a->onProc = [&](Recorder&) {
        if (++ticks == 2) {
            sys->newZone("After");
            sys->quit = 1;
        }
    };
    EXPECT_TRUE(sys->mainLoop());
    ASSERT_GE(journal.size(), 6u);
    std::vector<std::string> tail(journal.end() - 6, journal.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"a.proc", "b.proc", "a.post", "b.post", "a.deleted",
                                              "b.deleted"}));
    EXPECT_STREQ(sys->zone->getName(), "After");
}

// A hook may clear the zone: it lives to the end of the tick, and later ticks run without one.
// A resource made elsewhere and registered is the registry's to delete.
TEST_F(SystemZones, ZoneClearedByAHookGoesAtTheEndOfTheTickAndRegisteredResourcesAreOwned) {
    load();
    sys->newZone("Level");
    sys->zone->addLayer(1, 1, 8, 8);
    Recorder* a = new Recorder(sys->zone->getLayer(0), journal, "a");
    a->onProc = [&](Recorder&) { sys->clearZone(); };
    auto* sheet = new TrelResource();
    ASSERT_NE(sheet->loadData(writeImage("a.bmp", 8, 8).c_str()), nullptr);
    sys->addSpriteResource(sheet);
    sys->addSpriteResource(nullptr);
    EXPECT_EQ(sys->spriteResources, std::vector<TrelResource*>{sheet});
    EXPECT_EQ(sys->runTicks(3), 3);
    EXPECT_EQ(sys->zone, nullptr);
    // Its first tick sat out as new; the hook's tick ends with the zone.
    EXPECT_EQ(journal, (std::vector<std::string>{"a.proc", "a.post", "a.deleted"}));
}
