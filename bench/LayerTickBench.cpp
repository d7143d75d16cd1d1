// One working tick of a layer whose objects' hooks do little, per object.
#include <benchmark/benchmark.h>

#include <memory>

#include "trel.h"

using fixedpoint::fix16;

namespace {

class Mover : public TrelObject {
public:
    Mover(TrelLayer* home, int i)
        : TrelObject(home, fix16(i & 1023), fix16(i >> 10), fix16(8), fix16(8)) {
        setSpeed(fix16::fromRaw(1), fix16::fromRaw(-1));
    }
    void onPreProcess() override { ++counter; }
    void onProcess() override { ++counter; }
    void onPostProcess() override { ++counter; }
    int counter = 0;
};

TrelSystem& benchSystem() {
    static TrelSystem sys; // one log for the whole run
    return sys;
}

void BM_LayerTick(benchmark::State& state) {
    TrelZone zone(&benchSystem());
    zone.addLayer(32, 32, 32, 32);
    TrelLayer* layer = zone.getLayer(0);
    const int count = static_cast<int>(state.range(0));
    for (int i = 0; i < count; ++i)
        new Mover(layer, i);
    zone.process();   // the layer's first tick only clears its mark
    layer->process(); // and the objects' first visits clear theirs
    for (auto _ : state)
        layer->process();
    state.counters["ns_per_object"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * count,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_LayerTick)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
