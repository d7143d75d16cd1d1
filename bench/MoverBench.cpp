// One move of a 12 x 20 box with collision, walking under gravity over a long level of
// 16-pixel cells (a floor, one-way platforms overhead, a wall at the end), at 2, 8 and 16
// pixels a tick (a tile); without (0) and with (1) a hill of two slopes every 40 cells, which
// is walked up and down pixel by pixel. The box starts again at the left at the wall.
#include <benchmark/benchmark.h>

#include <vector>

#include "trel.h"

using fixedpoint::fix16;

namespace {

void BM_moverMove(benchmark::State& state) {
    TrelSystem system;
    TrelZone zone(&system);
    const int width = 1800; // 28,800 pixels: within the 32,767 that a position can hold
    zone.addLayer(width, 12, 16, 16);
    zone.addLayer(1, 1, 16, 16);
    TrelLayer* ground = zone.getLayer(0);
    TrelTileShapes shapes(16, 16);
    shapes.setSolid(1);
    shapes.setOneWay(2);
    std::vector<int> up, down;
    for (int x = 0; x < 16; ++x) {
        up.push_back(x + 1);
        down.push_back(16 - x);
    }
    shapes.setSlope(3, up);
    shapes.setSlope(4, down);
    short** cells = ground->getMapData();
    for (int x = 0; x < width; ++x) {
        cells[10][x] = 1; // the floor
        cells[11][x] = 1;
        if (state.range(1) == 1 && x % 40 == 10)
            cells[9][x] = 3, cells[9][x + 1] = 1, cells[9][x + 2] = 4; // a hill
        if (x % 40 == 20)
            cells[7][x] = cells[7][x + 1] = 2; // a one-way platform overhead
    }
    cells[8][width - 2] = cells[9][width - 2] = 1; // a wall at the end
    auto* box = new TrelObject(zone.getLayer(1), fix16(40), fix16(150), fix16(12), fix16(20));
    box->setGravity(fix16(), fix16::fromRaw(1 << 15));
    TrelMover mover;
    mover.setGround(ground, &shapes);
    const fix16 speed(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TrelObject::Vec v;
        box->getSpeed(v);
        box->setSpeed(speed, v.y);
        mover.move(box);
        if (mover.getRightWall().touched)
            box->setPos(fix16(40), fix16(150));
    }
    benchmark::DoNotOptimize(mover.getRemainderX());
}

} // namespace

BENCHMARK(BM_moverMove)->ArgsProduct({{2, 8, 16}, {0, 1}});
