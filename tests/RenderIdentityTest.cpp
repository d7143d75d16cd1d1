#include <allegro.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ReferenceRenderer.h"
#include "TestSupport.h"
#include "WorldSupport.h"

namespace {

// A w × h tile in a colour of its own; with holes, a grid of magenta (transparent) pixels.
std::string writeTile(const std::string& name, int w, int h, int seed, bool holes) {
    BITMAP* bmp = create_bitmap_ex(24, w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            bool hole = holes && ((x + seed) % 3 == 0 || (y * 5 + x) % 7 == seed % 7);
            putpixel(bmp, x, y,
                     hole ? makecol24(255, 0, 255)
                          : makecol24((seed * 70 + x * 9) & 255, (seed * 30 + y * 11) & 255,
                                      (seed * 110 + x * y) & 255));
        }
    }
    EXPECT_EQ(save_bitmap(name.c_str(), bmp, nullptr), 0);
    destroy_bitmap(bmp);
    return name;
}

} // namespace

// The renderer keeps each layer's tiles between frames; these runs hold every frame it draws
// against the plain renderer's, each drawing into its own never-cleared buffer, with the
// camera on the move, at the demo's 16 bits per pixel.
class RenderIdentity : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        set_color_depth(16);
        sys = std::make_unique<TrelSystem>();
        gfx = &sys->iface.gfx;
        ASSERT_TRUE(sys->iface.initOnFrame(create_bitmap(640, 480)));
        reference = create_bitmap(640, 480);
        fillWithNoise(gfx->buffer, 7);
        fillWithNoise(reference, 7);
        zone = new TrelZone(sys.get());
    }
    void TearDown() override {
        delete zone;
        BITMAP* frame = gfx->buffer;
        sys.reset();
        destroy_bitmap(frame);
        destroy_bitmap(reference);
        set_color_depth(32);
        InTempDir::TearDown();
    }

    // Tiles of the sizes, appended to the resource or to a new one.
    TrelResource* tiles(const std::vector<std::pair<int, int>>& sizes, bool holes,
                        TrelResource* resource = nullptr) {
        if (resource == nullptr) {
            resource = new TrelResource();
            owned.emplace_back(resource);
        }
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            std::string name = "t" + std::to_string(tileFiles++) + ".bmp";
            resource->loadData(
                writeTile(name, sizes[i].first, sizes[i].second, static_cast<int>(i) + 1, holes)
                    .c_str());
        }
        return resource;
    }
    TrelLayer* addLayer(int cols, int rows, int tw, int th, TrelResource* set, int maxValue,
                        unsigned seed, int emptyEvery = 0) {
        zone->addLayer(cols, rows, tw, th);
        TrelLayer* layer = zone->getLayer(zone->getNumLayers() - 1);
        layer->setTileset(set);
        std::mt19937 random(seed);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < cols; ++x)
                layer->getMapData()[y][x] =
                    (emptyEvery && (x + y) % emptyEvery == 0)
                        ? 0
                        : static_cast<short>(1 + random() % static_cast<unsigned>(maxValue));
        return layer;
    }
    // Frames along a path through the map, the camera set anew before each one (the zone
    // clamps it); between frames, the change (if any) is applied to both worlds alike.
    void runFrames(int frames, int x, int y, int w, int h,
                   const std::function<void(int)>& between = nullptr) {
        for (int i = 0; i < frames; ++i) {
            zone->setCameraPos(fix16::fromRaw((i * 37 % 500) * 65536 + i * 9000),
                               fix16::fromRaw((i * 23 % 400) * 65536 + i * 5000));
            if (i % 9 == 4)
                zone->setCameraPos(fix16(-20), fix16(100000)); // clamped to the edges
            gfx->drawZone(zone, x, y, w, h);
            referenceDrawZone(*gfx, reference, zone, x, y, w, h);
            std::string where;
            ASSERT_EQ(differingPixels(gfx->buffer, reference, &where), 0)
                << "frame " << i << ", first difference at " << where;
            if (between)
                between(i);
        }
    }

    std::unique_ptr<TrelSystem> sys;
    TrelIGfx* gfx = nullptr;
    BITMAP* reference = nullptr;
    TrelZone* zone = nullptr;
    std::vector<std::unique_ptr<TrelResource>> owned;
    int tileFiles = 0; // tile images written so far
    std::vector<std::string> journal;
};

// Fault: every layer drawn kept a cache of its own tiles of about twice the view, so 2000
// layers held 0.8 GB. The renderer keeps at most 32; the others are drawn cell by cell, with
// the same pixels.
TEST_F(RenderIdentity, ManyLayersKeepABoundedNumberOfTileCaches) {
    TrelResource* ground = tiles({{32, 32}, {32, 32}}, true);
    for (int l = 0; l < 200; ++l)
        addLayer(32, 32, 32, 32, ground, 2, static_cast<unsigned>(l), 3);
    zone->setCameraRegion(0, 0, 640, 448);
    auto held = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; }; // mapped ones too
    const std::size_t before = held();
    runFrames(3, 0, 0, 640, 448);
    const std::size_t after = held();
    // 32 caches of 1408 x 544 pixels at 16 bits take 49 MB; 200 took 306 MB.
    EXPECT_LT(after, before + (80u << 20)) << before << " then " << after;
}

TEST_F(RenderIdentity, OpaqueLayerWithAnInvisibleOneAndSprites) {
    TrelResource* ground = tiles({{32, 32}, {32, 32}, {32, 32}, {32, 32}}, false);
    TrelLayer* field = addLayer(32, 32, 32, 32, ground, 4, 1);
    addLayer(32, 32, 32, 32, ground, 4, 2)->setVisibility(false);
    TrelResource* sprites = tiles({{24, 24}, {16, 16}}, true);
    for (int i = 0; i < 21; ++i) {
        auto* object = new Recorder(field, journal, "o", fix16(30 + i * 47), fix16(20 + i * 41));
        object->setSprite(sprites->getData(static_cast<unsigned>(i % 2)));
    }
    zone->setCameraRegion(0, 0, 640, 448);
    runFrames(40, 0, 0, 640, 448);
}

TEST_F(RenderIdentity, TransparentTilesShowThePreviousFrameThroughTheirHoles) {
    addLayer(40, 30, 32, 32, tiles({{32, 32}, {32, 32}, {32, 32}}, true), 3, 3, 5);
    runFrames(40, 0, 0, 640, 448);
}

TEST_F(RenderIdentity, TileImagesLargerAndSmallerThanTheGrid) {
    addLayer(40, 30, 32, 32, tiles({{48, 40}, {20, 20}, {32, 32}, {32, 8}}, true), 4, 4, 3);
    runFrames(30, 0, 0, 640, 448);
    zone->clearLayers();
    zone->process();
    addLayer(40, 30, 32, 32, tiles({{20, 20}, {31, 32}, {32, 32}}, false), 3, 5, 4);
    runFrames(30, 0, 0, 640, 448);
}

TEST_F(RenderIdentity, MissingFramesAndLayersWithoutATileset) {
    TrelLayer* layer = addLayer(40, 30, 32, 32, tiles({{32, 32}, {32, 32}}, false), 4, 6, 6);
    layer->getMapData()[3][3] = -3;
    layer->getMapData()[4][5] = 32767;
    addLayer(40, 30, 32, 32, nullptr, 3, 7, 2); // every non-empty cell a marker
    // Markers wider than their cells: the numbers overhang to the right.
    addLayer(40, 30, 8, 8, tiles({{8, 8}}, true), 120, 8, 3);
    runFrames(30, 0, 0, 640, 448);
}

TEST_F(RenderIdentity, SeveralVisibleLayersAndOddTileSizesInARegionAwayFromTheOrigin) {
    addLayer(90, 40, 7, 13, tiles({{7, 13}, {7, 13}, {5, 9}}, false), 3, 9);
    addLayer(30, 50, 29, 11, tiles({{29, 11}, {29, 11}}, true), 2, 10, 4);
    addLayer(300, 200, 3, 2, tiles({{3, 2}, {2, 2}}, true), 2, 11, 7);
    zone->setCameraRegion(8, 16, 500, 300);
    runFrames(30, 8, 16, 500, 300);
}

TEST_F(RenderIdentity, CellsWrittenThroughTheMapBetweenFramesAreSeen) {
    TrelLayer* layer =
        addLayer(40, 30, 32, 32, tiles({{32, 32}, {32, 32}, {32, 32}}, false), 3, 12);
    addLayer(40, 30, 32, 32, tiles({{32, 32}, {16, 16}}, true), 2, 13, 3);
    std::mt19937 random(14);
    runFrames(40, 0, 0, 640, 448, [&](int) {
        for (int k = 0; k < 25; ++k)
            layer->getMapData()[random() % 30][random() % 40] = static_cast<short>(random() % 5);
    });
}

TEST_F(RenderIdentity, ReloadedImagesAndAnotherTargetAreNotMistakenForTheOldOnes) {
    TrelResource* set = tiles({{32, 32}, {32, 32}}, false);
    addLayer(40, 30, 32, 32, set, 2, 15);
    runFrames(5, 0, 0, 640, 448, [&](int i) {
        // New images, perhaps at the old ones' addresses.
        set->clearData();
        set->loadData(
            writeTile("new" + std::to_string(i) + "a.bmp", 32, 32, 20 + i, i % 2).c_str());
        set->loadData(writeTile("new" + std::to_string(i) + "b.bmp", 32, 32, 40 + i, true).c_str());
    });
    // A smaller target of its own: drawing switches to it and back.
    BITMAP* small = create_bitmap(320, 200);
    BITMAP* smallReference = create_bitmap(320, 200);
    fillWithNoise(small, 3);
    fillWithNoise(smallReference, 3);
    for (int i = 0; i < 6; ++i) {
        zone->setCameraPos(fix16(i * 50), fix16(i * 30));
        gfx->setTarget(small);
        gfx->drawZone(zone, 0, 0, 320, 200);
        gfx->setTarget(nullptr);
        referenceDrawZone(*gfx, smallReference, zone, 0, 0, 320, 200);
        ASSERT_EQ(differingPixels(small, smallReference), 0) << "small target, frame " << i;
        gfx->drawZone(zone, 0, 0, 640, 448);
        referenceDrawZone(*gfx, reference, zone, 0, 0, 640, 448);
        ASSERT_EQ(differingPixels(gfx->buffer, reference), 0) << "buffer, frame " << i;
    }
    destroy_bitmap(small);
    destroy_bitmap(smallReference);
}

// A tile image drawn into after it was shown: the kept tiles hold the old picture until the
// game asks the renderer to read the images again.
TEST_F(RenderIdentity, ImagesDrawnIntoShowOnceTheKeptTilesAreReleased) {
    TrelResource* set = tiles({{32, 32}, {32, 32}}, false);
    addLayer(40, 30, 32, 32, set, 2, 16);
    runFrames(2, 0, 0, 640, 448);
    clear_to_color(set->getData(0)->bitmap, makecol(10, 200, 30));
    gfx->drawZone(zone, 0, 0, 640, 448);
    referenceDrawZone(*gfx, reference, zone, 0, 0, 640, 448);
    EXPECT_GT(differingPixels(gfx->buffer, reference), 0) << "the kept tiles were read again";
    gfx->releaseTileCaches();
    runFrames(3, 0, 0, 640, 448);
}

// Animated tiles, opaque and with holes, among still ones, as the zone's ticks go by at
// uneven steps; and objects that play animations, mirrored each way.
TEST_F(RenderIdentity, AnimatedTilesAndMirroredAnimatedSpritesAsTheZoneTicks) {
    TrelResource* set = tiles({{32, 32}, {32, 32}, {32, 32}, {32, 32}}, false);
    tiles({{32, 32}, {32, 32}}, true, set);
    set->setTileAnimation({0, {{0, 50}, {1, 34}, {2, 16}}});
    set->setTileAnimation({3, {{3, 100}, {4, 17}, {5, 0}}});
    TrelLayer* layer = addLayer(40, 30, 32, 32, set, 6, 17);
    TrelResource* sprites = tiles({{24, 16}, {16, 24}}, true);
    TrelAnimation* walk = sprites->addAnimation(new TrelAnimation("walk"));
    walk->addFrame(sprites->getData(0), 2);
    walk->addFrame(sprites->getData(1), 3);
    for (int i = 0; i < 12; ++i) {
        auto* object = new Recorder(layer, journal, "o", fix16(30 + i * 97), fix16(20 + i * 71));
        object->play(walk);
        object->setFlipped(i % 2 == 1, i % 4 >= 2);
    }
    runFrames(60, 0, 0, 640, 448, [&](int i) {
        for (int k = 0; k <= i % 3; ++k)
            zone->process();
    });
}

// Over a background colour the first layers are composed once, masked and empty cells
// included: the same pixels as drawing every cell, with animated tiles, a layer at half
// opacity, an object that splits the stack until it goes, cells written between frames, and
// parallax, offset and image layers after them, placed by the parallax formula.
TEST_F(RenderIdentity, OverABackgroundStacksOfMaskedAnimatedAndParallaxLayers) {
    zone->setBackgroundColor(0x336699);
    zone->setParallaxOrigin(fix16(300), fix16(-40));
    TrelResource* set = tiles({{32, 32}, {32, 32}, {32, 32}, {24, 16}}, true);
    set->setTileAnimation({0, {{0, 50}, {1, 34}, {2, 16}}});
    TrelLayer* ground = addLayer(48, 40, 32, 32, set, 4, 3, 5);
    TrelLayer* middle = addLayer(48, 40, 32, 32, set, 4, 4, 2);
    addLayer(48, 40, 32, 32, set, 3, 5, 3)->setOpacity(128);
    auto* splitter = new Recorder(middle, journal, "o", fix16(200), fix16(150));
    splitter->setSprite(set->getData(3));
    TrelLayer* far = addLayer(48, 40, 32, 32, set, 4, 6, 2);
    far->setParallax(fix16(0.5f), fix16(0.25f));
    addLayer(48, 40, 32, 32, set, 4, 7, 3)->setDrawOffset(fix16(13), fix16(-7));
    TrelLayer* image = addLayer(1, 1, 32, 32, nullptr, 1, 8, 1);
    image->setImage(set->getData(3), true, false);
    image->setDrawOffset(fix16(5), fix16(9));
    image->setParallax(fix16(1.5f), fix16(1));
    image->setOpacity(100);
    zone->setCameraRegion(0, 0, 640, 448);
    runFrames(60, 0, 0, 640, 448, [&](int i) {
        zone->process();
        ground->getMapData()[i % 40][(i * 7) % 48] = static_cast<short>(i % 5);
        if (i == 30)
            splitter->destroy();
    });
    (void)far;
}
