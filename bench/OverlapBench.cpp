// The overlapping pairs of 10,000 objects of one layer, spread over a level of 4,000 × 4,000
// pixels with sizes of 8 to 40 pixels: the grid (0) against comparing every pair (1). The
// set-up checks that both find the same pairs.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "trel.h"

using fixedpoint::fix16;

namespace {

// Every pair, compared as the grid compares them (boxes at twice their coordinates).
void everyPair(TrelLayer* layer, std::vector<TrelOverlaps::Pair>& pairs) {
    pairs.clear();
    struct Box {
        long long l, t, r, b;
        TrelObject* object;
    };
    std::vector<Box> boxes;
    for (TrelObject* o : layer->getObjects()) {
        TrelObject::Vec p, s;
        o->getPos(p);
        o->getSize(s);
        boxes.push_back({2LL * p.x.raw - s.x.raw, 2LL * p.y.raw - s.y.raw, 2LL * p.x.raw + s.x.raw,
                         2LL * p.y.raw + s.y.raw, o});
    }
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (std::size_t j = i + 1; j < boxes.size(); ++j)
            if (boxes[i].l < boxes[j].r && boxes[j].l < boxes[i].r && boxes[i].t < boxes[j].b &&
                boxes[j].t < boxes[i].b)
                pairs.push_back({boxes[i].object, boxes[j].object});
}

void BM_overlapPairs(benchmark::State& state) {
    TrelSystem system;
    TrelZone zone(&system);
    zone.addLayer(1, 1, 1, 1);
    TrelLayer* layer = zone.getLayer(0);
    std::mt19937 random(5);
    for (int i = 0; i < 10000; ++i)
        new TrelObject(layer, fix16::fromRaw(static_cast<std::int32_t>(random() % (4000u << 16))),
                       fix16::fromRaw(static_cast<std::int32_t>(random() % (4000u << 16))),
                       fix16(8 + static_cast<int>(random() % 33)),
                       fix16(8 + static_cast<int>(random() % 33)));
    TrelOverlaps finder;
    std::vector<TrelOverlaps::Pair> pairs, check;
    finder.findPairs(layer, pairs);
    everyPair(layer, check);
    bool same = pairs.size() == check.size();
    for (std::size_t i = 0; same && i < pairs.size(); ++i)
        same = pairs[i].first == check[i].first && pairs[i].second == check[i].second;
    if (!same) {
        state.SkipWithError("the grid and every pair found different pairs");
        return;
    }
    for (auto _ : state) {
        if (state.range(0) == 0)
            finder.findPairs(layer, pairs);
        else
            everyPair(layer, pairs);
        benchmark::DoNotOptimize(pairs.data());
    }
    state.counters["pairs"] = static_cast<double>(pairs.size());
}

} // namespace

BENCHMARK(BM_overlapPairs)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
