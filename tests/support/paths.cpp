#include "tests/support/paths.h"

namespace ks_test {

std::string sourcePath(const std::string &relative) {
    return std::string(KS_SOURCE_DIR) + "/" + relative;
}

std::string programDir() {
    return KS_PROGRAM_DIR;
}

std::string programPath(const std::string &name) {
    return programDir() + "/" + name;
}

} // namespace ks_test
