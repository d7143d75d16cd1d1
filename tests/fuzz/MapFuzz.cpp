// libFuzzer target for the Tiled map readers and addToZone (inputs as MapFuzzInput.h
// describes them). Each step must end in true or in a one-line error, never in a crash or a
// hang.
#include <allegro.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "MapFuzzInput.h"
#include "base/TrelLoadLimits.h"
#include "core/TrelSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One system for every input, whose log goes to the fuzzer's own folder.
    static TrelSystem* system = nullptr;
    static const std::string folder = [] {
        char pattern[] = "/tmp/trel-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0 ||
            install_allegro(SYSTEM_NONE, &errno, nullptr) != 0)
            std::abort();
        set_color_depth(16);
        // Smaller maps and images than a game allows, so that each run is quick: a file at
        // the limits is slow only by its size, which the limits bound.
        TrelLoadLimits limits;
        limits.mapMemory = 64 << 20;
        limits.imageMemory = 16 << 20;
        TrelLoadLimits::set(limits);
        system = new TrelSystem();
        return std::string(pattern) + "/";
    }();
    std::string problem = loadFuzzInput(folder, data, size, system);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
