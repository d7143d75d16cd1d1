// Runs the demo's level headless for a million ticks (or the count given), with rounds kept
// cycling, and prints the tick rate, the rounds completed and the resident memory at 0, 100k,
// 500k and 1M ticks. Fails when a round check fails or when the memory after the last mark
// is more than 1 MiB above that at 100k ticks. Run it where data/ is (the project root):
//   build/tools/soak [ticks]
#include <allegro.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "SoakRun.h"

int main(int argc, char** argv) {
    long long total = argc > 1 ? std::atoll(argv[1]) : 1000000;
    if (total < 1) {
        std::fprintf(stderr, "usage: soak [ticks]\n");
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, nullptr) != 0)
        return 2;

    int status = 0;
    {
        SoakRun soak;
        soak.start();
        std::vector<long long> marks = {0, 100000, 500000, 1000000};
        if (total != 1000000)
            marks = {0, total / 10, total / 2, total};
        std::printf("\n%10s %12s %8s %12s\n", "ticks", "ticks/s", "rounds", "RSS KiB");
        long at100k = 0;
        auto since = std::chrono::steady_clock::now();
        for (std::size_t m = 0; m < marks.size() && status == 0; ++m) {
            if (!soak.run(marks[m] - soak.ticks)) {
                std::fprintf(stderr, "FAIL: %s\n", soak.fault.c_str());
                status = 1;
                break;
            }
            auto now = std::chrono::steady_clock::now();
            double seconds = std::chrono::duration<double>(now - since).count();
            long long done = m == 0 ? 0 : marks[m] - marks[m - 1];
            since = now;
            long rss = residentKiB();
            if (m == 1)
                at100k = rss;
            std::printf("%10lld %12.0f %8lld %12ld\n", marks[m],
                        seconds > 0 ? static_cast<double>(done) / seconds : 0.0,
                        static_cast<long long>(soak.rounds), rss);
            std::fflush(stdout);
            if (m + 1 == marks.size() && rss - at100k > 1024) {
                std::fprintf(stderr, "FAIL: memory grew by %ld KiB after the first tenth\n",
                             rss - at100k);
                status = 1;
            }
        }
    }
    allegro_exit();
    return status;
}
