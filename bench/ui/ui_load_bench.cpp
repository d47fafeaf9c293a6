// Loading and showing a panel from the resource file: 25 controls (target under 5 ms) and
// 1,000 controls (target under 150 ms). Each iteration loads, displays, lets the window paint,
// then discards the panel.
#include <benchmark/benchmark.h>

#include <cstdlib>

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

void BM_LoadAndShow25(benchmark::State &state) {
    loadAndShow(state, 25);
}
void BM_LoadAndShow1000(benchmark::State &state) {
    loadAndShow(state, 1000);
}

BENCHMARK(BM_LoadAndShow25)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndShow1000)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    RT_AllowUnboundCallbacks(1);
    if (!InitRuntime(0, argv, 0)) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
