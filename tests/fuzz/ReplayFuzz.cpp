// libFuzzer target for recordings (inputs as ReplayFuzzInput.h describes them). Opening and
// playing must end in a refusal or a replay, never in a crash, a hang or a leak.
#include <allegro.h>

#include <cstdio>
#include <cstdlib>

#include "ReplayFuzzInput.h"
#include "core/TrelSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TrelSystem* system = [] {
        auto* made = new TrelSystem();
        made->setName("Quenmoor");
        if (!made->iface.initHeadless())
            std::abort();
        return made;
    }();
    std::string problem = playReplayFuzzInput(data, size, system);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
