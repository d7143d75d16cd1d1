// libFuzzer target for saved games (inputs as SaveFuzzInput.h describes them). Loading must
// end in a refusal or a save within the format's bounds, never in a crash, a hang or a leak.
#include <cstdio>
#include <cstdlib>

#include "SaveFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string problem = loadSaveFuzzInput(data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
