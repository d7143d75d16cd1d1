// libFuzzer target for the Aseprite sheets (inputs as SheetFuzzInput.h describes them).
// Loading must end in frames and animations or in a one-line reason, never in a crash, a
// hang or a leak.
#include <allegro.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "SheetFuzzInput.h"
#include "base/TrelLoadLimits.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/trel-sheet-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr || install_allegro(SYSTEM_NONE, &errno, nullptr) != 0)
            std::abort();
        set_color_depth(16);
        // Fewer frames than a game allows, so that each run is quick: frames at the limit are
        // slow only by their size, which the limit bounds.
        TrelLoadLimits limits;
        limits.mapMemory = 16 << 20;
        TrelLoadLimits::set(limits);
        return std::string(pattern) + "/";
    }();
    std::string problem = loadSheetFuzzInput(folder, data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
