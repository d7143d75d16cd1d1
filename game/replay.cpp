// quenmoor-replay: records the demo in a window, or plays a recording back, headless or in a
// window, checking every tick's state hash and every second's sound. The game itself reads no
// arguments.
//   quenmoor-replay --record FILE [--seed N]   play in a window and record until Escape
//   quenmoor-replay --play FILE [--screenshot TICK FILE.png] [--dump TICK] [--sound FILE.wav]
//   quenmoor-replay --watch FILE               play back in a window at the game's speed
// Exit status: 0 done, 1 the replay diverged, 2 a usage error or a file that was refused.
#include <allegro.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "Ball.h"
#include "Level.h"

namespace {

struct Options {
    std::string mode; // "--record", "--play" or "--watch"
    std::string file;
    std::uint32_t seed = static_cast<std::uint32_t>(std::time(nullptr));
    long shotTick = -1;
    std::string shotFile;
    long dumpTick = -1;
    std::string soundFile; // where the replay's sound is rendered, if anywhere
};

bool parseNumber(const char* text, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= 0;
}

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        long number = 0;
        if ((arg == "--record" || arg == "--play" || arg == "--watch") && hasValue) {
            options.mode = arg;
            options.file = argv[++i];
        } else if (arg == "--seed" && hasValue && parseNumber(argv[i + 1], number)) {
            options.seed = static_cast<std::uint32_t>(number);
            ++i;
        } else if (arg == "--screenshot" && i + 2 < argc && parseNumber(argv[i + 1], number)) {
            options.shotTick = number;
            options.shotFile = argv[i + 2];
            i += 2;
        } else if (arg == "--sound" && hasValue) {
            options.soundFile = argv[++i];
        } else if (arg == "--dump" && hasValue && parseNumber(argv[i + 1], number)) {
            options.dumpTick = number;
            ++i;
        } else {
            return false;
        }
    }
    return !options.mode.empty();
}

int record(const Options& options) {
    gameSystem.iface.init();
    TrelRecorder recorder(&gameSystem);
    if (!recorder.start(options.file.c_str(), options.seed))
        return 2;
    setUpLevel();
    recorder.run(); // until Escape, which is recorded too
    return recorder.finish() ? 0 : 2;
}

// What --screenshot and --dump ask for after the given number of ticks.
void atTick(const Options& options, long tick) {
    if (tick == options.shotTick && !gameSystem.iface.gfx.saveFrame(options.shotFile.c_str()))
        std::fprintf(stderr, "Could not save the frame to \"%s\".\n", options.shotFile.c_str());
    if (tick == options.dumpTick)
        gameSystem.zone->dumpState(stdout);
}

int play(const Options& options) {
    if (options.mode == "--watch")
        gameSystem.iface.init();
    else
        gameSystem.iface.initHeadless();
    TrelPlayer player(&gameSystem);
    if (!player.open(options.file.c_str()))
        return 2;
    if (!options.soundFile.empty() && !gameSystem.audio.startRendering(options.soundFile.c_str()))
        return 2;
    setUpLevel();
    atTick(options, 0);
    auto started = std::chrono::steady_clock::now();
    while (player.step())
        atTick(options, player.getTick());
    if (!options.soundFile.empty() && !gameSystem.audio.stopRendering())
        return 2;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("\n\nticks %d of %d\nrounds %d\nbest time %d\nlast time %d\nhash %016" PRIx64
                "\nspeed %.0f ticks per second\n",
                player.getTick(), player.getTickCount(), ball->rounds, ball->bestTime,
                ball->lastTime, player.getHash(), seconds > 0 ? player.getTick() / seconds : 0.0);
    if (player.hasDiverged())
        return 1;
    return player.isFinished() ? 0 : 2;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: quenmoor-replay --record FILE [--seed N]\n"
                             "       quenmoor-replay --play FILE [--screenshot TICK FILE.png] "
                             "[--dump TICK] [--sound FILE.wav]\n"
                             "       quenmoor-replay --watch FILE\n");
        return 2;
    }
    gameSystem.setName("Quenmoor");
    return options.mode == "--record" ? record(options) : play(options);
}
END_OF_MAIN()
