// Generated UI resources for the benchmarks: a panel of n controls of mixed kinds.
#pragma once

#include <string>

namespace uibench {
// JSON of a resource whose panel 1 has `controls` controls laid out in a grid.
std::string panelResource(int controls, int width, int height);
// Writes text to a file; false on failure.
bool writeFile(const std::string &path, const std::string &text);
// A temporary folder under /tmp, removed at destruction.
struct TempDir {
    TempDir();
    ~TempDir();
    std::string path;
};
} // namespace uibench
