// Starting a program from a benchmark: its environment, and the time it runs.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench/support/bench_stats.h"

extern char **environ;

namespace bench {

// This process's environment with the given "NAME=value" entries put in place of their names.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string> &extra) {
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto &x : extra)
            if (entry.substr(0, entry.find('=') + 1) == x.substr(0, x.find('=') + 1))
                replaced = true;
        if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

// Starts args[0] with args in cwd, its output thrown away; the process id, or -1.
inline pid_t Spawn(const std::vector<std::string> &args, const std::vector<std::string> &env,
                   const std::string &cwd) {
    std::vector<char *> argv, envp;
    std::vector<std::string> a = args, e = env;
    for (auto &s : a)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    for (auto &s : e)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Milliseconds from the start to the end of a program that must exit 0; -1 on failure.
inline double TimedRun(const std::vector<std::string> &args, const std::vector<std::string> &env,
                       const std::string &cwd) {
    const double start = NowMs();
    const pid_t pid = Spawn(args, env, cwd);
    if (pid < 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double elapsed = NowMs() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

} // namespace bench
