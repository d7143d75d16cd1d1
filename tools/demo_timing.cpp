// Runs the demo as the game does (its window, its timer, its level) for ten seconds under the
// real main loop and reports, on standard error:
//   the logic ticks per second over those ten seconds, from the first tick to the last;
//   the process's CPU time over them, as a share of one core;
//   the time from the launch (TREL_LAUNCH_NS, the launcher's CLOCK_REALTIME in nanoseconds,
//   or else the entry of main) to the first frame the renderer draws.
// Needs an X display and data/ in the working folder (the project root).
#include <allegro.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "Level.h"

namespace {

double nowSeconds() {
    timespec t;
    clock_gettime(CLOCK_REALTIME, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double cpuSeconds() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// An object off the field's edge: drawn (clipped away) in every frame, so that its hook
// marks the first frame, and processed in every tick, which it counts.
class Probe : public TrelObject {
public:
    Probe(TrelLayer* home, TrelISprite* image, double at)
        : TrelObject(home, fixedpoint::fix16(-100), fixedpoint::fix16(-100), fixedpoint::fix16(1),
                     fixedpoint::fix16(1)),
          launch(at) {
        setSprite(image);
    }
    void onProcess() override {
        double now = nowSeconds();
        if (ticks == 0) {
            firstTick = now;
            cpuAtFirstTick = cpuSeconds();
        }
        ++ticks;
        lastTick = now;
        if (now - firstTick >= 10.0)
            gameSystem.quit = 1;
    }
    void onDraw(BITMAP*) override {
        if (firstFrame == 0)
            firstFrame = nowSeconds();
    }

    double launch;
    double firstFrame = 0, firstTick = 0, lastTick = 0, cpuAtFirstTick = 0;
    long ticks = 0;
};

} // namespace

int main() {
    double launch = nowSeconds();
    if (const char* at = std::getenv("TREL_LAUNCH_NS"))
        launch = std::atof(at) * 1e-9;
    gameSystem.setName("Quenmoor");
    gameSystem.iface.init();
    setUpLevel();
    Probe* probe = new Probe(gameSystem.zone->getLayer(0), gemResource->getData(0), launch);
    gameSystem.mainLoop();

    double seconds = probe->lastTick - probe->firstTick;
    double cpu = cpuSeconds() - probe->cpuAtFirstTick;
    std::fprintf(stderr, "ticks per second: %.3f (%ld ticks in %.3f s)\n",
                 (probe->ticks - 1) / seconds, probe->ticks, seconds);
    std::fprintf(stderr, "CPU: %.1f %% of one core\n", 100.0 * cpu / seconds);
    std::fprintf(stderr, "first frame: %.1f ms after launch\n",
                 (probe->firstFrame - probe->launch) * 1000.0);
    return 0;
}
END_OF_MAIN()
