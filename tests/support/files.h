// Whole-file reads and writes for checks on what the code under test wrote or reads.
#pragma once

#include <string>

namespace ks_test {

// The file's bytes; empty when it cannot be read.
std::string readFile(const std::string &path);
// Replaces the file's contents with `bytes` (binary, no line-end translation).
void writeFile(const std::string &path, const std::string &bytes);

} // namespace ks_test
