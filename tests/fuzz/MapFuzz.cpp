// libFuzzer target for the Tiled map readers (inputs as MapFuzzInput.h describes them).
// Loading must end in true or in a one-line error, never in a crash or a hang.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "MapFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/trel-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            std::abort();
        return std::string(pattern) + "/";
    }();
    std::string problem = loadFuzzInput(folder, data, size);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
