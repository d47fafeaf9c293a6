// Start-up to the first paint of the main panel with the 1,000,000-result history in the program
// folder against the same start-up without a history, runs alternating. Target: ratio of the
// medians within 1.05 (the history opens after the first paint, so it must not delay it).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include "bench/support/bench_stats.h"

extern char **environ;
namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 21;
constexpr double kTargetRatio = 1.05;

// Milliseconds from the start to the end of the probe in folder (it ends at the first paint);
// -1 when it failed.
double TimedProbe(const std::string &folder, std::vector<std::string> env) {
    std::string probe = folder + "/app_startup_probe";
    char *argv[] = {probe.data(), nullptr};
    std::vector<char *> envp;
    for (auto &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const double start = bench::NowMs();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double elapsed = bench::NowMs() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

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
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        env.emplace_back(*e);
    env.insert(env.end(), {"QT_QPA_PLATFORM=offscreen", "XDG_RUNTIME_DIR=" + root + "/runtime",
                           "XDG_CONFIG_HOME=" + root + "/config", "HOME=" + root});
    for (const std::string &folder : {with, without}) {
        // A first run writes ks.ini (language from the legacy file); it is not counted.
        fs::create_directories(root + "/config/ks_read");
        std::ofstream(root + "/config/ks_read/ks.ini", std::ios::binary).write("\x01\0\0\0", 4);
        TimedProbe(folder, env);
    }
    std::vector<double> a, b;
    for (int round = 0; round < kRounds; ++round) {
        const double x = TimedProbe(with, env);
        const double y = TimedProbe(without, env);
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
