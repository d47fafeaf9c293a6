// A locale built into a test's own folder, so that a test does not depend on which locales the
// machine has generated. Use it with LOCPATH set to the folder.
#pragma once

#include <string>

namespace ks_test {

// Compiles the UTF-8 locale `name` (e.g. "de_DE") into folder/<name>.UTF-8. False when localedef
// or the locale's source is not available.
bool compileLocale(const std::string &folder, const std::string &name);

} // namespace ks_test
