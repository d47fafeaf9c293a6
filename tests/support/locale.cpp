#include "tests/support/locale.h"

#include "tests/support/command.h"

#include <filesystem>

namespace ks_test {

bool compileLocale(const std::string &folder, const std::string &name) {
    const std::string target = folder + "/" + name + ".UTF-8";
    const CommandResult result =
        runCommand("localedef -c -i '" + name + "' -f UTF-8 '" + target + "'");
    std::error_code ignored;
    return result.status == 0 && std::filesystem::exists(target, ignored);
}

} // namespace ks_test
