// Start-up to the first paint of the main panel with the 1,000,000-result history in the program
// folder against the same start-up without a history, runs alternating. Target: ratio of the
// medians within 1.05 (the history opens after the first paint, so it must not delay it).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "bench/support/bench_process.h"
#include "bench/support/bench_stats.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 21;
constexpr double kTargetRatio = 1.05;

// A program folder for the probe: the resource, the language files, the logos, the settings.
std::string MakeFolder(const std::string &root, const std::string &name) {
    const std::string folder = root + "/" + name;
    fs::create_directories(folder);
    for (const auto &entry : fs::directory_iterator(KS_PROGRAM_DIR)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".json" || ext == ".lng" || ext == ".BMP")
            fs::copy_file(entry.path(), folder + "/" + entry.path().filename().string());
    }
    fs::copy_file(KS_STARTUP_PROBE, folder + "/app_startup_probe");
    return folder;
}

} // namespace

int main() {
    const std::string database = KS_BENCH_DATA "/history-1M.sqlite";
    if (!fs::exists(database)) {
        std::fprintf(stderr, "history_startup_bench: run history_bench first (it makes %s)\n",
                     database.c_str());
        return 1;
    }
    char pattern[] = "/tmp/ks_history_startup_XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string root = pattern;
    const std::string with = MakeFolder(root, "with");
    const std::string without = MakeFolder(root, "without");
    fs::create_symlink(database, with + "/history.sqlite");
    fs::create_directories(root + "/runtime");
    fs::permissions(root + "/runtime", fs::perms::owner_all);
    const std::vector<std::string> env =
        bench::EnvironmentWith({"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + root + "/runtime",
                                "XDG_CONFIG_HOME=" + root + "/config", "HOME=" + root});
    // The probe ends at the first paint.
    auto probe = [&env](const std::string &folder) {
        return bench::TimedRun({folder + "/app_startup_probe"}, env, folder);
    };
    for (const std::string &folder : {with, without}) {
        // A first run writes ks.ini (language from the legacy file); it is not counted.
        fs::create_directories(root + "/config/ks_read");
        std::ofstream(root + "/config/ks_read/ks.ini", std::ios::binary).write("\x01\0\0\0", 4);
        probe(folder);
    }
    std::vector<double> a, b;
    for (int round = 0; round < kRounds; ++round) {
        const double x = probe(with);
        const double y = probe(without);
        if (x > 0) a.push_back(x);
        if (y > 0) b.push_back(y);
    }
    const double withMs = bench::Median(a), withoutMs = bench::Median(b);
    const double ratio = withoutMs > 0 ? withMs / withoutMs : 0;
    std::printf("start-up to first paint with the 1,000,000-result history %.1f ms, without %.1f "
                "ms (median of %zu/%zu): ratio %.3f, target <= %.2f   %s\n",
                withMs, withoutMs, a.size(), b.size(), ratio, kTargetRatio,
                ratio > 0 && ratio <= kTargetRatio ? "ok" : "MISSED");
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return a.empty() || b.empty() ? 1 : 0;
}
