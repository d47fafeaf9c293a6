#include "tests/support/command.h"

#include <cstdio>
#include <sys/wait.h>

namespace ks_test {

CommandResult runCommand(const std::string &command) {
    CommandResult result;
    FILE *pipe = ::popen(("{ " + command + "; } 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace ks_test
