#include "ui_bench_resources.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace uibench {

std::string panelResource(int controls, int width, int height) {
    static const char *const kinds[] = {"numeric", "string",        "textMessage",
                                        "ring",    "commandButton", "numericDisplay",
                                        "textBox", "binarySwitch"};
    std::string json = R"({"panels":[{"id":1,"name":"BENCH","title":"Bench","width":)" +
                       std::to_string(width) + R"(,"height":)" + std::to_string(height) +
                       R"(,"controls":[)";
    for (int i = 0; i < controls; ++i) {
        const std::string kind = kinds[i % 8];
        const int col = i % 5, row = i / 5;
        json += i ? "," : "";
        json += R"({"id":)" + std::to_string(i + 2) + R"(,"name":"C)" + std::to_string(i) +
                R"(","style":")" + kind + R"(","label":"Label )" + std::to_string(i) +
                R"(","left":)" + std::to_string(10 + col * 140) + R"(,"top":)" +
                std::to_string(24 + row * 50) + R"(,"width":120,"height":24)";
        if (kind == "ring")
            json += R"(,"items":[{"label":"one","value":1},{"label":"two","value":2}])";
        if (kind == "textMessage") json += R"(,"value":"Message text")";
        json += "}";
    }
    return json + "]}]}";
}

bool writeFile(const std::string &path, const std::string &text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

TempDir::TempDir() {
    char pattern[] = "/tmp/ks_ui_bench_XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path = pattern;
}
TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

} // namespace uibench
