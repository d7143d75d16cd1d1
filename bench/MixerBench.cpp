// One tick of the mix (735 frames at 44,100 a second): 8 effects playing at once, at the
// sound's own speed and at other pitches (interpolated), without (0) and with (1) the
// platformer's Ogg Vorbis tune streamed beside them. The counter real_time_x is how many
// times faster than real time the mix is made (seconds of sound a second: shown as "/s"); the
// part of a tick it takes is the time per iteration over 16,667 us. Run from the project root (the
// tune is read from examples/hopper/data).
#include <benchmark/benchmark.h>

#include <vector>

#include "trel.h"

namespace {

void BM_mixTick(benchmark::State& state) {
    std::vector<std::int16_t> samples(44100);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>((i * 7919) % 20000 - 10000);
    TrelSound sound(samples.data(), 44100, 1, 44100);
    TrelMixer mixer;
    if (state.range(0) >= 1) {
        TrelCString error;
        TrelMusic* music = TrelMusic::open("examples/hopper/data/music.ogg", error).release();
        if (music == nullptr) {
            state.SkipWithError(error.get());
            return;
        }
        if (state.range(0) == 2)
            music->setLoop(1000, 1); // a one-frame loop: from memory, with no seek a frame
        mixer.playMusic(music);
    }
    const int pitches[8] = {65536, 65536, 65536, 65536, 49152, 70000, 98304, 131072};
    int ticks = 0;
    for (auto _ : state) {
        // Every second the effects start again, so that all 8 play at every tick.
        if (ticks++ % 60 == 0)
            for (int v = 0; v < 8; ++v)
                mixer.play(&sound, 200, v * 32, pitches[v]);
        mixer.mixTick(60);
        benchmark::DoNotOptimize(mixer.getTickSamples()[0]);
    }
    state.counters["real_time_x"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / 60.0, benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_mixTick)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);
