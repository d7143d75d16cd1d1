#include <allegro.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "ImageFiles.h"
#include "TestSupport.h"
#include "WorldSupport.h"

// A system whose graphics device draws into a 640 × 480 memory buffer, pre-filled with grey,
// and a zone with one 32 × 32 layer of 32-pixel tiles.
class Render : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        set_color_depth(32);
        grey = makecol(50, 50, 50);
        green = makecol(0, 160, 0);
        blue = makecol(0, 0, 255);
        red = makecol(255, 0, 0);
        white = makecol(255, 255, 255);
        orange = makecol(255, 100, 0);
        magenta = makecol(255, 0, 255);
        sys = std::make_unique<TrelSystem>();
        gfx = &sys->iface.gfx;
        ASSERT_TRUE(sys->iface.initOnFrame(create_bitmap(640, 480)));
        clear_to_color(gfx->buffer, grey);

        tiles.loadData(writeImage("green.bmp", 32, 32, green, blue).c_str());
        tiles.loadData(writeImage("white.bmp", 32, 32, white, blue).c_str());
        zone = new TrelZone(sys.get());
        zone->addLayer(32, 32, 32, 32);
        layer = zone->getLayer(0);
        layer->setTileset(&tiles);
    }
    void TearDown() override {
        delete zone;
        BITMAP* frame = gfx->buffer;
        sys.reset();
        destroy_bitmap(frame);
        InTempDir::TearDown();
    }

    void fill(TrelLayer* of, short value) {
        int w, h;
        of->getMapSize(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                of->setMapTile(x, y, value);
    }
    void draw(int x = 0, int y = 0, int w = 640, int h = 448) { gfx->drawZone(zone, x, y, w, h); }
    int at(int x, int y) { return getpixel(gfx->buffer, x, y); }

    int grey, green, blue, red, white, orange, magenta;
    std::unique_ptr<TrelSystem> sys;
    TrelIGfx* gfx = nullptr;
    TrelResource tiles;
    TrelZone* zone = nullptr;
    TrelLayer* layer = nullptr;
    std::vector<std::string> journal;
};

TEST_F(Render, TilesLandAtTheirCellsAndTheRegionClipsThem) {
    fill(layer, 1);
    draw();
    EXPECT_EQ(at(96, 64), blue); // column 3, row 2
    EXPECT_EQ(at(97, 64), green);
    EXPECT_EQ(at(608, 416), blue); // column 19, row 13
    EXPECT_EQ(at(639, 447), green);
    EXPECT_EQ(at(0, 448), grey); // rows 14 and 15 fall below the clip
    EXPECT_EQ(at(639, 479), grey);
}

// Fixed fault: with layer 0 destroyed outside a tick, the count left it out while the index
// still reached it, so the destroyed layer was drawn and the last live one was not.
TEST_F(Render, ADestroyedLayerIsNotDrawnAndTheLayersAfterItAre) {
    fill(layer, 1);
    for (int i = 1; i <= 2; ++i) {
        zone->addLayer(32, 32, 32, 32);
        zone->getLayer(i)->setTileset(&tiles);
        zone->getLayer(i)->setMapTile(i - 1, 0, 2);
    }
    layer->destroy();
    EXPECT_EQ(zone->getLayer(zone->getNumLayers() - 1), zone->getLayer(2));
    draw();
    EXPECT_EQ(at(16, 16), white);
    EXPECT_EQ(at(48, 16), white);
    EXPECT_EQ(at(80, 16), grey); // layer 0's green is not drawn
}

TEST_F(Render, FractionalCameraTruncatesToWholePixels) {
    fill(layer, 1);
    zone->setCameraPos(fix16(100.75f), fix16(0));
    draw();
    EXPECT_EQ(at(28, 0), blue); // column 4 at 128 - 100; column 3 starts at -4
    EXPECT_EQ(at(0, 0), green);
    EXPECT_EQ(at(636, 0), blue); // column 23, partly visible at the right edge
}

TEST_F(Render, RegionAwayFromTheOriginShiftsAndClipsTheView) {
    fill(layer, 1);
    draw(8, 16, 320, 200);
    EXPECT_EQ(at(8, 16), blue);
    EXPECT_EQ(at(7, 20), grey);
    EXPECT_EQ(at(20, 15), grey);
    EXPECT_EQ(at(327, 215), green);
    EXPECT_EQ(at(328, 215), grey);
    EXPECT_EQ(at(327, 216), grey);
}

TEST_F(Render, TileSizesThatDoNotDivideTheTargetStillReachItsEdges) {
    zone->addLayer(40, 40, 48, 48);
    TrelLayer* wide = zone->getLayer(1);
    fill(wide, 5); // no such frame: markers, which also cover the cell's edges
    layer->setVisibility(false);
    zone->setMainLayer(1);
    zone->setCameraPos(fix16(40), fix16(40));
    draw(0, 0, 640, 480);
    // Column 14 spans 672 - 40 = 632 ... 679; its outline is at x 632.
    EXPECT_EQ(at(632, 100), red);
    EXPECT_EQ(at(639, 56), red); // the top edge of its row 2 cell
}

TEST_F(Render, ZeroTileSizeDrawsNoTiles) {
    zone->addLayer(4, 4, 0, 0);
    fill(zone->getLayer(1), 1);
    layer->setVisibility(false);
    draw();
    EXPECT_EQ(at(0, 0), grey);
}

TEST_F(Render, CellValuesPickFramesOrDrawTheMissingTileMarker) {
    layer->setMapTile(0, 0, 2); // second frame
    layer->setMapTile(2, 0, 5); // beyond the two frames
    layer->setMapTile(4, 0, -3);
    layer->setMapTile(6, 0, 0);
    draw();
    EXPECT_EQ(at(1, 1), white);
    EXPECT_EQ(at(6 * 32 + 5, 5), grey); // empty cell: untouched

    // The marker: a red outline and the value in white on red at the top-left corner.
    BITMAP* expected = create_bitmap(32, 32);
    for (int value : {5, -3}) {
        int sx = value == 5 ? 64 : 128;
        clear_to_color(expected, grey);
        rect(expected, 0, 0, 31, 31, red);
        textprintf_ex(expected, font, 0, 0, white, red, "%i", value);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                ASSERT_EQ(at(sx + x, y), getpixel(expected, x, y))
                    << value << " at " << x << "," << y;
    }
    destroy_bitmap(expected);

    layer->setTileset(nullptr); // without a tileset every non-zero cell is a marker
    draw();
    EXPECT_EQ(at(31, 31), red);
    EXPECT_EQ(at(16, 16), white); // the old frame's pixels stay inside the outline
}

TEST_F(Render, SpritesAreCentredAndObjectsWithoutOneGetAnEllipse) {
    TrelResource ball;
    ball.loadData(writeImage("ball.bmp", 24, 24, magenta, blue).c_str());
    Recorder* withSprite = new Recorder(layer, journal, "s", fix16(16), fix16(16));
    withSprite->setSprite(ball.getData(0));
    Recorder* big = new Recorder(layer, journal, "big", fix16(100), fix16(100));
    big->setSize(fix16(24), fix16(24));
    Recorder* small = new Recorder(layer, journal, "small", fix16(200), fix16(100));
    small->setSize(fix16(3), fix16(3));
    draw();
    EXPECT_EQ(at(4, 4), blue); // the sprite's top-left corner
    EXPECT_EQ(at(5, 5), grey); // magenta is transparent
    for (auto [x, y] : {std::pair{112, 100}, {88, 100}, {100, 112}, {100, 88}})
        EXPECT_EQ(at(x, y), orange) << x << "," << y;
    EXPECT_EQ(at(113, 100), grey);
    EXPECT_EQ(at(201, 100), orange);
    EXPECT_EQ(at(202, 100), grey);
    EXPECT_EQ(journal, (std::vector<std::string>{"s.draw", "big.draw", "small.draw"}));
    delete zone; // before the resource it borrows from
    zone = nullptr;
}

TEST_F(Render, InvisibleLayersAndHiddenOrDestroyedObjectsDrawNothing) {
    fill(layer, 1);
    new Recorder(layer, journal, "hidden");
    layer->setVisibility(false);
    zone->addLayer(32, 32, 32, 32);
    Recorder* gone = new Recorder(zone->getLayer(1), journal, "gone", fix16(50), fix16(50));
    new Recorder(zone->getLayer(1), journal, "shown", fix16(300), fix16(300));
    // Hidden: neither the ring of an object without a sprite nor its hook, but still ticked.
    Recorder* unseen = new Recorder(zone->getLayer(1), journal, "unseen", fix16(100), fix16(100));
    unseen->setVisibility(false);
    gone->destroy();
    draw();
    EXPECT_EQ(at(0, 0), grey);
    EXPECT_EQ(at(54, 50), grey);
    EXPECT_EQ(at(104, 100), grey);
    EXPECT_EQ(at(304, 300), orange);
    EXPECT_EQ(journal, std::vector<std::string>{"shown.draw"});
    journal.clear();
    zone->getLayer(1)->process();
    zone->getLayer(1)->process();
    EXPECT_NE(std::find(journal.begin(), journal.end(), "unseen.proc"), journal.end());
}

TEST_F(Render, ObjectsDrawOverTheirLayerAndUnderTheNextOne) {
    fill(layer, 1);
    new Recorder(layer, journal, "o", fix16(40), fix16(30)); // ellipse of radius 4
    zone->addLayer(32, 32, 32, 32);
    zone->getLayer(1)->setTileset(&tiles);
    zone->getLayer(1)->setMapTile(1, 0, 2); // covers x 32 ... 63, y 0 ... 31
    draw();
    EXPECT_EQ(at(40, 34), orange); // over layer 0's tiles
    EXPECT_EQ(at(44, 30), white);  // under layer 1's tile
}

TEST_F(Render, HookMayDrawOutsideTheRegionAndTheNextSpriteIsClippedAgain) {
    Recorder* strip = new Recorder(layer, journal, "strip", fix16(10), fix16(10));
    strip->onDrawAction = [this](Recorder&) {
        gfx->disableRegionClipping();
        rectfill(gfx->target, 0, 448, 639, 479, blue);
    };
    new Recorder(layer, journal, "low", fix16(100), fix16(447)); // ellipse crosses y 448
    draw();
    EXPECT_EQ(at(0, 460), blue);
    EXPECT_EQ(at(639, 479), blue);
    EXPECT_EQ(at(104, 447), orange);
    EXPECT_EQ(at(100, 451), blue); // the ellipse below y 447 was clipped
    EXPECT_EQ(gfx->regionClippingDisabled, 1);
    int x1, y1, x2, y2;
    get_clip_rect(gfx->target, &x1, &y1, &x2, &y2);
    EXPECT_EQ(x1, 0);
    EXPECT_EQ(y1, 0);
    EXPECT_EQ(x2, 639);
    EXPECT_EQ(y2, 479);
}

// Fault: a tile of 16384 x 16384 pixels asked the caches for a bitmap whose byte size wrapped
// to 0 in Allegro's int arithmetic, and composing wrote into nothing. Cells that large are
// drawn without the caches, over a background colour (the stack's cache) and without (the
// layer's).
TEST_F(Render, HugeTilesAreDrawnWithoutTheCaches) {
    for (int background : {0x0000ff, -1}) {
        TrelZone huge(sys.get());
        huge.addLayer(1, 1, 16384, 16384);
        huge.getLayer(0)->setTileset(&tiles);
        huge.getLayer(0)->setMapTile(0, 0, 1);
        huge.setBackgroundColor(background);
        huge.setCameraRegion(0, 0, 640, 448);
        clear_to_color(gfx->buffer, grey);
        gfx->drawZone(&huge, 0, 0, 640, 448);
        EXPECT_EQ(at(1, 1), green) << background;
        EXPECT_EQ(at(100, 100), background < 0 ? grey : blue) << background;
    }
}

TEST_F(Render, DisablingTheClipWithoutATargetDoesNothing) {
    TrelIGfx closed; // a device whose window was never opened
    closed.disableRegionClipping();
    EXPECT_EQ(closed.regionClippingDisabled, 0);
}

TEST_F(Render, UncoveredPixelsKeepThePreviousFrame) {
    clear_to_color(gfx->buffer, blue);
    TrelZone empty(sys.get());
    gfx->drawZone(&empty, 0, 0, 640, 448);
    EXPECT_EQ(at(320, 200), blue);
    layer->setMapTile(0, 0, 1);
    draw();
    EXPECT_EQ(at(1, 1), green);
    EXPECT_EQ(at(40, 1), blue); // a zero cell
}

// The view's shake moves the layers by whole pixels and its veil lies over them, within the
// region, with the HUD drawn over both, untouched.
TEST_F(Render, TheViewsShakeMovesTheLayersAndItsVeilLiesUnderTheHud) {
    fill(layer, 1);
    zone->setViewShake(3, -2);
    zone->setViewVeil(0xff0000, 255);
    auto* label = new TrelObject(zone->getHud(), fix16(20), fix16(20), fix16(4), fix16(4));
    label->setSprite(tiles.getData(1)); // white, its corner pixel blue
    draw(0, 0, 320, 240);
    EXPECT_EQ(at(100, 100), red);
    EXPECT_EQ(at(20, 20), white);
    EXPECT_EQ(at(400, 300), grey); // outside the region
    zone->setViewVeil(0, 0);
    draw(0, 0, 320, 240);
    // The corner of column 3, row 2 (world pixel 96, 64) at 96 - 3, 64 + 2.
    EXPECT_EQ(at(93, 66), blue);
    EXPECT_EQ(at(94, 66), green);
    EXPECT_EQ(at(93, 67), green);
}

namespace {

// Allegro's 16-bit translucency, as the look's opacity and tint are documented: the amount in
// 32 steps, (amount + 1) ÷ 8; both pixels spread into the fields 0x07E0F81F of an unsigned
// long (green apart from red and blue), and the result below + (over - below) × steps ÷ 32 in
// that arithmetic, masked and folded back.
int blend16(int over, int below, int amount) {
    unsigned long steps = amount > 0 ? (static_cast<unsigned long>(amount) + 1) / 8 : 0;
    unsigned long x = over, y = below;
    x = ((x & 0xFFFF) | (x << 16)) & 0x7E0F81F;
    y = ((y & 0xFFFF) | (y << 16)) & 0x7E0F81F;
    const unsigned long result = ((x - y) * steps / 32 + y) & 0x7E0F81F;
    return static_cast<int>((result & 0xFFFF) | (result >> 16));
}

} // namespace

// Opacity and tint at 16 bits against the documented formula, pixel by pixel; a turned and
// scaled sprite against Allegro's rotate_scaled_sprite, which turns about the centre too.
TEST_F(Render, TheLookBlendsByTheFormulaAndTurnsAsAllegroDoes) {
    BITMAP* frame = create_bitmap_ex(16, 64, 64);
    BITMAP* image = create_bitmap_ex(16, 16, 16);
    const int under = makecol16(40, 200, 90);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            putpixel(image, x, y, makecol16(x * 16, y * 16, 255 - x * 8));
    putpixel(image, 3, 3, bitmap_mask_color(image)); // a hole, left alone
    TrelISprite sprite(image);                       // owns it from here
    gfx->setTarget(frame);
    auto* thing = new TrelObject(layer, fix16(20), fix16(20), fix16(16), fix16(16));
    thing->setSprite(&sprite);
    const int tint = 0xff2000, amount = 150, alpha = 100;
    thing->setTint(tint, amount);
    thing->setOpacity(alpha);
    clear_to_color(frame, under);
    draw(0, 0, 64, 64);
    const int tintColour = makecol16(0xff, 0x20, 0x00);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int own = getpixel(image, x, y);
            const int expected =
                x == 3 && y == 3 ? under : blend16(blend16(tintColour, own, amount), under, alpha);
            ASSERT_EQ(getpixel(frame, 12 + x, 12 + y), expected) << x << ", " << y;
        }

    // Turned by a sixth of a turn and scaled by 1.5, about the centre.
    thing->setTint(0, 0);
    thing->setOpacity(255);
    thing->setAngle(fix16::fromRaw(fixedpoint::twoPi16 / 6));
    thing->setScale(fix16(3) / fix16(2));
    clear_to_color(frame, under);
    draw(0, 0, 64, 64);
    BITMAP* allegros = create_bitmap_ex(16, 64, 64);
    clear_to_color(allegros, under);
    const fixed sixth =
        static_cast<fixed>((static_cast<long long>(fixedpoint::twoPi16 / 6) * 2670177) >> 16);
    // Its top-left is that of the scaled sprite's box, 24 pixels wide: 20 - 12.
    rotate_scaled_sprite(allegros, image, 8, 8, sixth, ftofix(1.5));
    int differing = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            differing += getpixel(frame, x, y) != getpixel(allegros, x, y);
    EXPECT_EQ(differing, 0);
    int highest = 64; // a turned corner reaches above the unturned scaled box, at y 8
    for (int y = 0; y < 64 && highest == 64; ++y)
        for (int x = 0; x < 64; ++x)
            if (getpixel(frame, x, y) != under)
                highest = y;
    EXPECT_LT(highest, 8);
    gfx->setTarget(gfx->buffer);
    destroy_bitmap(allegros);
    destroy_bitmap(frame);
    thing->destroy();
    zone->process(); // the object goes before its sprite
}

// A blink hides the sprite for its period, then shows it as long, counted by the layer's tick,
// while onDraw goes on; a layer drawn by y or by depth puts the later ones over the earlier.
TEST_F(Render, BlinksByTicksAndDrawsInTheLayersOrder) {
    auto* blinker = new Recorder(layer, journal, "blinker", fix16(100), fix16(100));
    blinker->setSprite(tiles.getData(1));
    zone->process(); // the layer's first tick
    zone->process(); // the object's
    blinker->blink(4, 2);
    std::vector<int> shown;
    for (int t = 0; t < 5; ++t) {
        journal.clear();
        clear_to_color(gfx->buffer, grey);
        draw();
        shown.push_back(at(100, 100) == white);
        EXPECT_EQ(std::count(journal.begin(), journal.end(), "blinker.draw"), 1);
        zone->process();
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 0, 1, 1, 1}));

    auto* front = new TrelObject(layer, fix16(300), fix16(210), fix16(32), fix16(32));
    auto* back = new TrelObject(layer, fix16(300), fix16(200), fix16(32), fix16(32));
    front->setSprite(tiles.getData(1)); // white, listed first, lower on the screen
    back->setSprite(tiles.getData(0));  // green
    draw();
    EXPECT_EQ(at(300, 205), green); // the list's order: the later over the earlier
    layer->setDrawOrder(TrelLayer::kByY);
    draw();
    EXPECT_EQ(at(300, 205), white);
    layer->setDrawOrder(TrelLayer::kByDepth);
    front->setDepth(-1);
    draw();
    EXPECT_EQ(at(300, 205), green);
}

// An emitter draws its particles in its layer's pixels, where the camera puts the layer.
TEST_F(Render, ParticlesAreDrawnWhereTheirLayerIs) {
    auto* emitter = new TrelEmitter(layer, fix16(100), fix16(100), &sys->effects, 4);
    TrelEmitter::Settings settings;
    settings.lifeMin = settings.lifeMax = 100;
    settings.sizeStart = settings.sizeEnd = 3;
    settings.colourStart = settings.colourEnd = 0xff0000;
    emitter->setSettings(settings);
    emitter->burst(1); // still, at (100, 100)
    zone->setCameraPos(fix16(50), fix16(0));
    draw();
    EXPECT_EQ(at(50, 100), red);
    EXPECT_EQ(at(49, 99), red);
    EXPECT_EQ(at(51, 101), red);
    EXPECT_EQ(at(52, 100), grey);
}
