// Runs the benchmarks, then prints the ratios that the targets are stated in, from the same
// run, and the accuracy of each fixed-point function against a double-precision reference.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "AccuracyTable.h"

namespace {

// Keeps the time per iteration of every benchmark while the console shows the runs.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    RecordingReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                nanoseconds[run.run_name.function_name +
                            (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
                    run.GetAdjustedRealTime() * multiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nanoseconds;

private:
    static double multiplier(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kSecond:
            return 1e9;
        case benchmark::kMillisecond:
            return 1e6;
        case benchmark::kMicrosecond:
            return 1e3;
        default:
            return 1;
        }
    }
};

void printRatio(const std::map<std::string, double>& ns, const char* ours, const char* theirs,
                double target) {
    auto a = ns.find(ours), b = ns.find(theirs);
    if (a == ns.end() || b == ns.end())
        return;
    double ratio = a->second / b->second;
    if (target > 0)
        std::printf("  %-22s / %-22s %7.2f   (target <= %.1f: %s)\n", ours, theirs, ratio, target,
                    ratio <= target ? "met" : "NOT met");
    else
        std::printf("  %-22s / %-22s %7.2f\n", ours, theirs, ratio);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& ns = reporter.nanoseconds;

    std::printf("\nRatios of time per call (or per frame) in this run:\n");
    printRatio(ns, "BM_fixsin16", "BM_allegro_fixsin", 1.5);
    printRatio(ns, "BM_fixcos16", "BM_allegro_fixcos", 1.5);
    printRatio(ns, "BM_fix16_divide", "BM_allegro_fixdiv", 2.0);
    printRatio(ns, "BM_fixsqrt16", "BM_allegro_fixsqrt", 20.0);
    printRatio(ns, "BM_fixrsqrt16", "BM_allegro_fixsqrt", 8.0);
    printRatio(ns, "BM_fixsin16", "BM_sinf", 0);
    printRatio(ns, "BM_fixsqrt16", "BM_sqrtf", 0);
    printRatio(ns, "BM_drawZone_640x448", "BM_blit_640x448", 0);
    printRatio(ns, "BM_demoFrame/0", "BM_blit_demoView", 2.0);
    printRatio(ns, "BM_demoFrame/1", "BM_blit_demoView", 2.0);
    printRatio(ns, "BM_demoFrame/2", "BM_blit_demoView", 2.0);
    printRatio(ns, "BM_demoFrame/-1", "BM_blit_demoView", 2.0);
    printRatio(ns, "BM_fourLayers256", "BM_blit_demoView", 0);
    printAccuracyTable();
    benchmark::Shutdown();
    return 0;
}
