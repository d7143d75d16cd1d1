// libFuzzer target for the sound files (inputs as SoundFuzzInput.h describes them). Loading
// must end in a sound or in a one-line reason, never in a crash, a hang or a leak.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "SoundFuzzInput.h"
#include "base/TrelLoadLimits.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/trel-sound-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        // Shorter sounds than a game allows, so that each run is quick.
        TrelLoadLimits limits;
        limits.soundMemory = 16 << 20;
        TrelLoadLimits::set(limits);
        return std::string(pattern) + "/";
    }();
    std::string problem = loadSoundFuzzInput(folder, data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
