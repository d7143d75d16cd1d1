// Composing one frame of a full 640 × 448 view of 32 × 32 tiles with 20 sprites, next to one
// blit of the same area.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "trel.h"

using fixedpoint::fix16;

namespace {

// Installs Allegro without a display, once: bitmaps and image files need no more.
void ensureAllegro() {
    static bool installed = install_allegro(SYSTEM_NONE, &errno, nullptr) == 0;
    (void)installed;
}

std::string writeImage(const char* name, int w, int h, int r, int g, int b) {
    std::string path = std::string("/tmp/trel-bench-") + name + ".bmp";
    BITMAP* bmp = create_bitmap(w, h);
    clear_to_color(bmp, makecol(255, 0, 255));
    circlefill(bmp, w / 2, h / 2, w / 2 - 1, makecol(r, g, b));
    save_bitmap(path.c_str(), bmp, nullptr);
    destroy_bitmap(bmp);
    return path;
}

// The demo's setting: 16-bit colour, a 640 × 480 buffer, the view in its top 640 × 448.
struct Scene {
    TrelSystem& system;
    TrelResource tiles, sprites;
    std::unique_ptr<TrelZone> zone;
    BITMAP* screenCopy;

    explicit Scene(TrelSystem& sys) : system(sys) {
        ensureAllegro();
        set_color_depth(16);
        system.iface.initOnFrame(create_bitmap(640, 480));
        screenCopy = create_bitmap(640, 480);
        tiles.loadData(writeImage("tile", 32, 32, 70, 130, 60).c_str());
        sprites.loadData(writeImage("sprite", 24, 24, 200, 40, 40).c_str());
        zone = std::make_unique<TrelZone>(&system);
        zone->addLayer(32, 32, 32, 32);
        TrelLayer* layer = zone->getLayer(0);
        layer->setTileset(&tiles);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                layer->setMapTile(x, y, 1);
        for (int i = 0; i < 20; ++i) {
            auto* object = new TrelObject(layer, fix16(40 + (i % 5) * 120),
                                          fix16(40 + (i / 5) * 100), fix16(24), fix16(24));
            object->setSprite(sprites.getData(0));
        }
        zone->setCameraRegion(0, 0, 640, 448);
        zone->setCameraPos(fix16(100.5f), fix16(37));
    }
    ~Scene() {
        zone.reset();
        BITMAP* frame = system.iface.gfx.buffer;
        system.iface.deinit();
        destroy_bitmap(frame);
        destroy_bitmap(screenCopy);
    }
};

TrelSystem& benchSystem() {
    static TrelSystem sys;
    sys.log.setQuiet(true); // its log lines go to log.txt only, not into the table
    return sys;
}

void BM_drawZone_640x448(benchmark::State& state) {
    Scene scene(benchSystem());
    for (auto _ : state)
        scene.system.iface.gfx.drawZone(scene.zone.get(), 0, 0, 640, 448);
    benchmark::DoNotOptimize(getpixel(scene.system.iface.gfx.buffer, 1, 1));
}

void BM_blit_640x448(benchmark::State& state) {
    Scene scene(benchSystem());
    for (auto _ : state)
        blit(scene.system.iface.gfx.buffer, scene.screenCopy, 0, 0, 0, 0, 640, 448);
    benchmark::DoNotOptimize(getpixel(scene.screenCopy, 1, 1));
}

} // namespace

// A tick and a frame of the same view of opaque tiles, still (0) or a tenth animated (1): two
// animated tiles, of 4 frames of 100 ms and 3 of 150 ms, each in every twentieth cell.
void BM_drawZone_animatedTiles(benchmark::State& state) {
    Scene scene(benchSystem());
    scene.tiles.clearData();
    for (int i = 0; i < 7; ++i) {
        BITMAP* tile = create_bitmap(32, 32);
        clear_to_color(tile, makecol(40 * i, 200 - 30 * i, 60)); // opaque: kept by the renderer
        scene.tiles.addData(new TrelISprite(tile));
    }
    if (state.range(0) == 1) {
        scene.tiles.setTileAnimation({1, {{1, 100}, {2, 100}, {3, 100}, {4, 100}}});
        scene.tiles.setTileAnimation({5, {{5, 150}, {6, 150}, {0, 150}}});
    }
    TrelLayer* layer = scene.zone->getLayer(0);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            layer->setMapTile(x, y, (x + 3 * y) % 20 == 0 ? 2 : (x + 3 * y) % 20 == 10 ? 6 : 1);
    for (auto _ : state) {
        scene.zone->process();
        scene.system.iface.gfx.drawZone(scene.zone.get(), 0, 0, 640, 448);
    }
    benchmark::DoNotOptimize(getpixel(scene.system.iface.gfx.buffer, 1, 1));
}

// The same view without its sprites, a quarter of its tiles masked (the others opaque), the
// camera moving every frame, without (0) and with (1) a background colour for the zone.
void BM_drawZone_quarterMasked(benchmark::State& state) {
    Scene scene(benchSystem());
    BITMAP* opaque = create_bitmap(32, 32);
    clear_to_color(opaque, makecol(90, 120, 60));
    scene.tiles.addData(new TrelISprite(opaque));
    TrelLayer* layer = scene.zone->getLayer(0);
    layer->clearObjects(); // the tiles alone, from the end of the layer's first real tick on
    scene.zone->process(); // the new layer sits this one out
    scene.zone->process();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            layer->setMapTile(x, y, (x + 2 * y) % 4 == 0 ? 1 : 2);
    if (state.range(0) == 1)
        scene.zone->setBackgroundColor(0x203040);
    int step = 0;
    for (auto _ : state) {
        const int t = step++ % 200;
        scene.zone->setCameraPos(fix16(t * 3 % 384), fix16(t * 5 % 576));
        scene.system.iface.gfx.drawZone(scene.zone.get(), 0, 0, 640, 448);
    }
    benchmark::DoNotOptimize(getpixel(scene.system.iface.gfx.buffer, 1, 1));
}

BENCHMARK(BM_drawZone_640x448)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_drawZone_quarterMasked)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_drawZone_animatedTiles)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_blit_640x448)->Unit(benchmark::kMicrosecond);
