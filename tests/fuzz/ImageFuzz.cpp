// libFuzzer target for the image decoders (inputs as ImageFuzzInput.h describes them).
// Loading must end in a sprite or in a one-line reason, never in a crash, a hang or a leak.
#include <allegro.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "ImageFuzzInput.h"
#include "base/TrelLoadLimits.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/trel-image-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr || install_allegro(SYSTEM_NONE, &errno, nullptr) != 0)
            std::abort();
        set_color_depth(16);
        // Smaller images than a game allows, so that each run is quick: an image at the limit
        // is slow only by its size, which the limit bounds.
        TrelLoadLimits limits;
        limits.imageMemory = 16 << 20;
        TrelLoadLimits::set(limits);
        return std::string(pattern) + "/";
    }();
    std::string problem = loadImageFuzzInput(folder, data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
