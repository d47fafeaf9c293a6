// The one error table: every code has one text, lies in its layer's range, and has no second
// name anywhere in the libraries or the application.
#include "toolbox/core/errors.h"

#include "tests/support/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

std::map<int, std::string> tableByCode() {
    int count = 0;
    const ErrorText *table = ErrorTextTable(&count);
    std::map<int, std::string> byCode;
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(byCode.emplace(table[i].code, table[i].text).second)
            << "code " << table[i].code << " is in the table twice";
    }
    return byCode;
}

bool inALayerRange(int code) {
    return code == RT_ERR_OUT_OF_MEMORY || code == RT_ERR_NULL_POINTER ||
           (code <= -91 && code >= -101) || code == RT_ERR_ATTRIBUTE_TYPE ||
           (code <= -42 && code >= -55) || code == RT_ERR_IMAGE_FILE || code == RT_ERR_PRINT ||
           (code <= -200 && code >= -205) || (code <= -300 && code >= -307) ||
           (code <= -5001 && code >= -5025) || code == RT_ERR_LANGUAGE_FILE ||
           (code <= -7001 && code >= -7006) || (code <= -7101 && code >= -7108);
}

TEST(ErrorTable, EveryCodeHasOneTextOfItsOwnInItsLayersRange) {
    const auto byCode = tableByCode();
    ASSERT_FALSE(byCode.empty());
    std::set<std::string> texts;
    for (const auto &[code, text] : byCode) {
        EXPECT_LT(code, 0);
        EXPECT_TRUE(inALayerRange(code)) << code;
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_TRUE(texts.insert(text).second) << "\"" << text << "\" names two codes";
        EXPECT_EQ(GetToolboxErrorString(code), text) << code;
    }
    // The localization library's internal codes never leave it, so no shared code may use them.
    for (int local = -11; local <= -1; ++local)
        EXPECT_EQ(byCode.count(local), 0u) << local;
    EXPECT_STREQ(GetToolboxErrorString(0), "No error");
    EXPECT_STREQ(GetToolboxErrorString(-4242), "Unknown error");
}

// A constant of an error-like name with the value of a table code, defined outside the table,
// would give that number a second name (and in time a second text).
TEST(ErrorTable, NoCodeHasASecondNameInTheSources) {
    namespace fs = std::filesystem;
    const auto byCode = tableByCode();
    const std::regex definition(
        R"(\b([A-Za-z_][A-Za-z0-9_]*(?:ERR|Err|OutOfMemory|NullPointer|NoMemory)[A-Za-z0-9_]*)\s*=\s*(-[0-9]+)\b)");
    const fs::path root = ks_test::sourcePath("");
    int filesRead = 0;
    for (const char *layer : {"toolbox", "ini", "platform", "localization", "app", "tools"}) {
        for (const auto &entry : fs::recursive_directory_iterator(root / layer)) {
            const fs::path &path = entry.path();
            if (path.extension() != ".h" && path.extension() != ".cpp") continue;
            if (path == root / "toolbox/core/errors.h") continue;
            std::ifstream in(path);
            std::stringstream text;
            text << in.rdbuf();
            ++filesRead;
            const std::string source = text.str();
            for (std::sregex_iterator it(source.begin(), source.end(), definition), end; it != end;
                 ++it) {
                const int value = std::stoi((*it)[2].str());
                EXPECT_EQ(byCode.count(value), 0u)
                    << path << ": " << (*it)[1] << " = " << value
                    << " names a code of toolbox/core/errors.h again";
            }
        }
    }
    EXPECT_GT(filesRead, 50);
}

} // namespace
