// The demo's frame as the game composes it (its level, built by the game's own set-up from
// data/ in the working folder: one fully tiled layer, an invisible one, the ball and 20 gems,
// the status strip), at fixed camera positions and with the camera moving every frame; and a
// 4-layer 256 × 256 map whose upper layers are partly transparent.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "HeadlessLevel.h"
#include "Level.h"
#include "trel.h"

using fixedpoint::fix16;

namespace {

void ensureAllegro() {
    static bool installed = install_allegro(SYSTEM_NONE, &errno, nullptr) == 0;
    (void)installed;
}

// The level on the game's own system, drawing into memory bitmaps at 16 bits per pixel.
struct DemoLevel {
    BITMAP* screenCopy;
    std::unique_ptr<HeadlessLevel> level;
    DemoLevel() {
        ensureAllegro();
        screenCopy = create_bitmap(640, 480);
        gameSystem.log.setQuiet(true); // its log lines go to log.txt only, not into the table
        level = std::make_unique<HeadlessLevel>(16);
    }
    ~DemoLevel() {
        level.reset();
        destroy_bitmap(screenCopy);
    }
    void frame() { gameSystem.iface.gfx.drawZone(gameSystem.zone, 0, 0, 640, 448); }
};

// A triangle wave between 0 and limit.
int pingPong(int t, int limit) {
    int phase = t % (2 * limit);
    return phase <= limit ? phase : 2 * limit - phase;
}

// Camera positions: the top-left corner, a fractional one, the far corner (384, 576 after
// the clamp), and -1 for a camera that moves every frame, as the ball's does.
void BM_demoFrame(benchmark::State& state) {
    DemoLevel level;
    const int position = static_cast<int>(state.range(0));
    const fix16 fixed[][2] = {{fix16(0), fix16(0)},
                              {fix16::fromRaw(100 * 65536 + 32768), fix16(37)},
                              {fix16(1000), fix16(1000)}};
    if (position >= 0)
        gameSystem.zone->setCameraPos(fixed[position][0], fixed[position][1]);
    int step = 0;
    for (auto _ : state) {
        if (position < 0) {
            // Back and forth over the whole field, 3 pixels a frame across and 5 down, so
            // that new columns and rows of tiles keep coming into view.
            int t = step++;
            gameSystem.zone->setCameraPos(fix16(pingPong(t * 3, 384)), fix16(pingPong(t * 5, 576)));
        }
        level.frame();
    }
    benchmark::DoNotOptimize(getpixel(gameSystem.iface.gfx.buffer, 1, 1));
}

void BM_blit_demoView(benchmark::State& state) {
    DemoLevel level;
    for (auto _ : state)
        blit(gameSystem.iface.gfx.buffer, level.screenCopy, 0, 0, 0, 0, 640, 448);
    benchmark::DoNotOptimize(getpixel(level.screenCopy, 1, 1));
}

std::string writeTile(const char* name, int r, int g, int b, bool holes) {
    std::string path = std::string("/tmp/trel-bench-") + name + ".bmp";
    BITMAP* bmp = create_bitmap(32, 32);
    clear_to_color(bmp, makecol(r, g, b));
    if (holes)
        circlefill(bmp, 16, 16, 11, makecol(255, 0, 255)); // a transparent middle
    save_bitmap(path.c_str(), bmp, nullptr);
    destroy_bitmap(bmp);
    return path;
}

// Four 256 × 256 layers of 32-pixel tiles: opaque ground, then three layers of ringed tiles
// (transparent middles) on some cells, the camera moving every frame; Arg 1 gives the zone a
// background colour, so that the four layers are composed together.
void BM_fourLayers256(benchmark::State& state) {
    ensureAllegro();
    set_color_depth(16);
    TrelSystem& system = gameSystem;
    BITMAP* buffer = create_bitmap(640, 480);
    system.iface.initOnFrame(buffer);
    TrelResource tiles;
    tiles.loadData(writeTile("ground", 70, 130, 60, false).c_str());
    tiles.loadData(writeTile("ring-a", 140, 90, 40, true).c_str());
    tiles.loadData(writeTile("ring-b", 60, 60, 160, true).c_str());
    {
        TrelZone zone(&system);
        for (int l = 0; l < 4; ++l) {
            zone.addLayer(256, 256, 32, 32);
            TrelLayer* layer = zone.getLayer(l);
            layer->setTileset(&tiles);
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x)
                    layer->getMapData()[y][x] =
                        l == 0 ? 1 : ((x * 7 + y * 3 + l) % (l + 2) == 0 ? 2 + (x + l) % 2 : 0);
        }
        zone.setCameraRegion(0, 0, 640, 448);
        if (state.range(0) == 1)
            zone.setBackgroundColor(0x102030);
        int step = 0;
        for (auto _ : state) {
            int t = step++ % 2048;
            zone.setCameraPos(fix16(t * 3 % 7552), fix16(t * 5 % 7744));
            system.iface.gfx.drawZone(&zone, 0, 0, 640, 448);
        }
    }
    system.iface.deinit();
    destroy_bitmap(buffer);
}

// Headless logic ticks of the demo's level, as a replay runs them: the arrow keys turn every
// 90 ticks, so the ball crosses the field and collects gems. Arg 1 adds the state hash after
// each tick, as recording and playing do.
void BM_demoTick(benchmark::State& state) {
    DemoLevel level; // headless: runTicks runs at once
    const int turns[] = {KEY_RIGHT, KEY_DOWN, KEY_LEFT, KEY_UP};
    const bool hashed = state.range(0) != 0;
    std::uint64_t hash = 0;
    int t = 0;
    for (auto _ : state) {
        gameSystem.input.releaseFed();
        gameSystem.input.feed(turns[t++ / 90 % 4], true);
        gameSystem.runTicks(1);
        if (hashed)
            hash ^= gameSystem.zone->stateHash();
    }
    benchmark::DoNotOptimize(hash);
    gameSystem.input.releaseFed();
}

// The state hash alone, on the demo's level.
void BM_demoStateHash(benchmark::State& state) {
    DemoLevel level;
    std::uint64_t hash = 0;
    for (auto _ : state)
        hash ^= gameSystem.zone->stateHash();
    benchmark::DoNotOptimize(hash);
}

} // namespace

BENCHMARK(BM_demoTick)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_demoStateHash)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_demoFrame)->Arg(0)->Arg(1)->Arg(2)->Arg(-1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_blit_demoView)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_fourLayers256)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
