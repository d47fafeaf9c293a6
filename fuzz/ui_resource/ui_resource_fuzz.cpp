// Feeds arbitrary bytes to the UI resource loader: panels 1 and 2 and menu bar 1 of the input.
// A load either builds a whole object, which is then discarded, or returns an error; it never
// crashes, hangs or leaves a half-built panel.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/runtime.h"
#include "platform/testing.h"

namespace {
std::string gDir;
std::string gFile;
int gHost = 0;

void removeDir() {
    std::error_code ec;
    std::filesystem::remove_all(gDir, ec);
}
} // namespace

// The font library keeps a cache for the life of the process; it is not a leak of ours.
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

extern "C" int LLVMFuzzerInitialize(int *, char ***argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char pattern[] = "/tmp/ks_ui_fuzz_XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    gDir = pattern;
    gFile = gDir + "/fuzz.ui.json";
    std::atexit(removeDir);
    RT_AllowUnboundCallbacks(1);
    if (!InitRuntime(0, *argv, 0)) return 1;
    gHost = NewPanel(0, "host", 0, 0, 10, 10);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *f = std::fopen(gFile.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    for (int id : {1, 2}) {
        const int panel = LoadPanel(0, gFile.c_str(), id);
        if (panel > 0) {
            int first = 0;
            GetPanelAttribute(panel, ATTR_PANEL_FIRST_CTRL, &first);
            DiscardPanel(panel);
        }
    }
    const int bar = LoadMenuBar(gHost, gFile.c_str(), 1);
    if (bar > 0) DiscardMenuBar(bar);
    RT_TestFlushDeletes();
    return 0;
}
