// Where the tests find the source tree (test data, product content) and the built program
// folder (executables beside their resources). The only place that reads the build's paths.
#pragma once

#include <string>

namespace ks_test {

// `relative` inside the source tree, e.g. "tests/ini/data/golden_source.ini".
std::string sourcePath(const std::string &relative);
// The built program folder.
std::string programDir();
// `name` inside the built program folder, e.g. "ks_langtool".
std::string programPath(const std::string &name);

} // namespace ks_test
