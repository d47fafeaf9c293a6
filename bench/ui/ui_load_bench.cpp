// Loading and showing a panel from the resource file: 25 controls (target under 5 ms) and
// 1,000 controls (target under 150 ms, the median of 5 runs). Each iteration loads, displays,
// lets the window paint, then discards the panel.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/runtime.h"
#include "platform/testing.h"
#include "ui_bench_resources.h"

namespace {

uibench::TempDir &dir() {
    static uibench::TempDir d;
    return d;
}

void loadAndShow(benchmark::State &state, int controls) {
    const std::string file = dir().path + "/bench" + std::to_string(controls) + ".ui.json";
    const int rows = (controls + 4) / 5;
    uibench::writeFile(file, uibench::panelResource(controls, 720, 40 + rows * 50));
    for (auto _ : state) {
        const int panel = LoadPanel(0, file.c_str(), 1);
        if (panel <= 0) {
            state.SkipWithError("LoadPanel failed");
            break;
        }
        DisplayPanel(panel);
        ProcessSystemEvents();
        state.PauseTiming();
        DiscardPanel(panel);
        RT_TestFlushDeletes();
        state.ResumeTiming();
    }
    state.counters["controls"] = controls;
}

constexpr int kRuns1000 = 5;
constexpr double kTarget1000Ms = 150.0;

void BM_LoadAndShow25(benchmark::State &state) {
    loadAndShow(state, 25);
}
void BM_LoadAndShow1000(benchmark::State &state) {
    loadAndShow(state, 1000);
}

BENCHMARK(BM_LoadAndShow25)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndShow1000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10)
    ->Repetitions(kRuns1000)
    ->ReportAggregatesOnly(true);

// The console report, which also keeps the median of the 1,000-control runs for the target line.
class TargetReporter : public benchmark::ConsoleReporter {
  public:
    TargetReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs)
            if (run.run_name.function_name == "BM_LoadAndShow1000" &&
                run.aggregate_name == "median")
                median1000Ms = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    double median1000Ms = 0;
};

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    RT_AllowUnboundCallbacks(1);
    if (!InitRuntime(0, argv, 0)) return 1;
    benchmark::Initialize(&argc, argv);
    TargetReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (reporter.median1000Ms > 0)
        std::printf("1,000 controls loaded and shown: median of %d runs %.1f ms (target < %.0f ms, "
                    "ratio %.2f)\n",
                    kRuns1000, reporter.median1000Ms, kTarget1000Ms,
                    reporter.median1000Ms / kTarget1000Ms);
    return 0;
}
