// The engine's generator, numbers a second (target: at least 200 million), and one tick of
// 1,000 tweens of 16.16 values along an elastic curve, each with its owner (target: at most
// 50 us a tick).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "trel.h"

namespace {

void BM_randomNext(benchmark::State& state) {
    TrelRandom random(1);
    std::uint32_t sum = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i)
            sum += random.next();
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 1000);
}

void BM_tweens1000(benchmark::State& state) {
    auto system = std::make_unique<TrelSystem>();
    system->log.setQuiet(true);
    auto* zone = new TrelZone(system.get());
    zone->addLayer(1, 1, 16, 16);
    TrelLayer* layer = zone->getLayer(0);
    auto* tweens = new TrelTweens(layer);
    std::vector<fixedpoint::fix16> values(1000);
    auto* owner = new TrelObject(layer, fixedpoint::fix16(), fixedpoint::fix16(),
                                 fixedpoint::fix16(), fixedpoint::fix16());
    for (fixedpoint::fix16& value : values) {
        const int id = tweens->tween(&value, fixedpoint::fix16(0), fixedpoint::fix16(100), 600,
                                     TrelEase::kElasticInOut, owner);
        tweens->setRepeat(id, -1, true);
    }
    zone->process();
    for (auto _ : state)
        tweens->onProcess();
    benchmark::DoNotOptimize(values[0]);
    delete zone;
}

} // namespace

BENCHMARK(BM_randomNext);
BENCHMARK(BM_tweens1000)->Unit(benchmark::kMicrosecond);
