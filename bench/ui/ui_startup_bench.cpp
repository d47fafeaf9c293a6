// Start-up and idle cost of the run-time, each measured against a peer in the same run.
//
// 1. Start-up: a program that initialises the run-time, loads and displays a 25-control panel and
//    quits after its first paint, against a minimal Qt program that shows an empty window of the
//    same size and quits after its first paint. Runs alternate; the medians and their ratio are
//    printed (target: ratio <= 1.25).
// 2. Idle events: a main callback that returns at once, with SetIdleEventRate(0), for 3 seconds;
//    the CPU time used per wall-clock second is printed (target: under 2 %).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

#include <QTimer>

#include "platform/runtime.h"
#include "ui_bench_resources.h"
#include "bench/support/bench_stats.h"

extern char **environ;

namespace {

constexpr int kRounds = 15;
constexpr int kWidth = 720;
constexpr int kHeight = 290;

struct Run {
    double wallMs = -1;
    double cpuMs = -1; // user + system time of the program
};

// Runs a program to its end; wallMs is -1 when it failed.
Run run(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return {};
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    Run r;
    r.wallMs = std::chrono::duration<double, std::milli>(end - start).count();
    r.cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
              (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    return r;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long gIdleCalls = 0;
int ReturnAtOnce(int, int, int event, void *, int, int) {
    if (event == EVENT_IDLE) ++gIdleCalls;
    return 0;
}

} // namespace

int main(int, char **argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    uibench::TempDir dir;
    const std::string resource = dir.path + "/startup.ui.json";
    if (!uibench::writeFile(resource, uibench::panelResource(25, kWidth, kHeight))) return 1;
    const std::string helpers = KS_UI_HELPERS;
    std::vector<double> runtimeWall, minimalWall, runtimeCpu, minimalCpu;
    for (int i = 0; i < kRounds; ++i) {
        const Run m =
            run({helpers + "/ui_startup_minimal", std::to_string(kWidth), std::to_string(kHeight)});
        const Run r = run({helpers + "/ui_startup_runtime", resource, "1"});
        if (m.wallMs < 0 || r.wallMs < 0) {
            std::fprintf(stderr, "ui_startup_bench: a start-up program failed\n");
            return 1;
        }
        minimalWall.push_back(m.wallMs);
        runtimeWall.push_back(r.wallMs);
        minimalCpu.push_back(m.cpuMs);
        runtimeCpu.push_back(r.cpuMs);
    }
    const double rw = bench::Median(runtimeWall), mw = bench::Median(minimalWall);
    const double rc = bench::Median(runtimeCpu), mc = bench::Median(minimalCpu);
    std::printf(
        "start-up to first paint, median of %d alternating runs (target: ratio <= 1.25):\n"
        "  wall time: run-time + 25-control panel %.1f ms, minimal Qt window %.1f ms, ratio %.2f\n"
        "  CPU time:  run-time + 25-control panel %.1f ms, minimal Qt window %.1f ms, ratio %.2f\n",
        kRounds, rw, mw, rw / mw, rc, mc, rc / mc);

    RT_AllowUnboundCallbacks(1);
    if (!InitRuntime(0, argv, 0)) return 1;
    InstallMainCallback(ReturnAtOnce, nullptr, 1);
    SetIdleEventRate(0);
    QTimer::singleShot(3000, [] { QuitUserInterface(0); });
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    RunUserInterface();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - cpu0;
    std::printf("idle events with a callback that returns at once: %.0f per second, CPU %.2f %% of "
                "one core "
                "(target < 2 %%)\n",
                gIdleCalls / wall, 100.0 * cpu / wall);
    return 0;
}
