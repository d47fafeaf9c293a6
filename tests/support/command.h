// Runs a shell command line as an operator would and keeps what it printed.
#pragma once

#include <string>

namespace ks_test {

struct CommandResult {
    int status = -1;    // exit status, -1 when the command did not end normally
    std::string output; // standard output and standard error together
};

// `command` is a shell command line with its arguments already quoted.
CommandResult runCommand(const std::string &command);

} // namespace ks_test
