// Arbitrary bytes as a language file, read against a fixed panel tree (every control class) and
// a menu bar with nested items. Whatever a read accepts must survive export and a second read
// unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "localization/langfileio.h"
#include "tests/localization/loc_test_util.h"

namespace {

std::string g_dir;

bool WriteFile(const std::string &path, const uint8_t *data, size_t size) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

void RemoveDir() {
    if (!g_dir.empty()) {
        remove((g_dir + "/in.lng").c_str());
        remove((g_dir + "/out.lng").c_str());
        rmdir(g_dir.c_str());
    }
}

// Exports what was read and reads it back into fresh trees: both must be the same.
void CheckRoundTrip(PNL *pnl, MENUBAR *bar, bool panelRead, bool barRead) {
    const std::string out = g_dir + "/out.lng";
    ListHandle panels = ListCreate(sizeof(PNL *));
    ListHandle bars = ListCreate(sizeof(MENUBAR *));
    if (panelRead) ListInsertItem(panels, &pnl, LIST_POS_END);
    if (barRead) ListInsertItem(bars, &bar, LIST_POS_END);
    const int rc = ExportAllObjectsToLangFile(&panels, &bars, out.c_str());
    ListDispose(panels);
    ListDispose(bars);
    if (rc != 0) abort();
    if (panelRead) {
        PNL again{};
        loctest::BuildAllClassesPanel(&again);
        if (LangFileToPNLAndCTRLLocalStrs(out.c_str(), &again) != 0 ||
            !(loctest::Snapshot(&again) == loctest::Snapshot(pnl)))
            abort();
        FreeDataForPNLAndCTRLs(&again, 1, 1);
    }
    if (barRead) {
        MENUBAR again{};
        loctest::BuildMenuBar(&again);
        if (LangFileToMENUBARAndMENUITEMLocalStrs(out.c_str(), &again) != 0 ||
            !(loctest::Snapshot(&again) == loctest::Snapshot(bar)))
            abort();
        FreeDataForMENUBARAndMENUITEMs(&again, 1, 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char templ[] = "/tmp/ks_lang_fuzz_XXXXXX";
    if (!mkdtemp(templ)) abort();
    g_dir = templ;
    atexit(RemoveDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string in = g_dir + "/in.lng";
    if (!WriteFile(in, data, size)) abort();
    PNL pnl{};
    MENUBAR bar{};
    loctest::BuildAllClassesPanel(&pnl);
    loctest::BuildMenuBar(&bar);
    const int panelRc = LangFileToPNLAndCTRLLocalStrs(in.c_str(), &pnl);
    const int barRc = LangFileToMENUBARAndMENUITEMLocalStrs(in.c_str(), &bar);
    if (panelRc > 0 || barRc > 0 || panelRc < -12 || barRc < -12)
        abort(); // only the local codes may come back
    loctest::Snapshot(&pnl);
    if (panelRc == 0 || barRc == 0) CheckRoundTrip(&pnl, &bar, panelRc == 0, barRc == 0);
    FreeDataForPNLAndCTRLs(&pnl, 1, 1);
    FreeDataForMENUBARAndMENUITEMs(&bar, 1, 1);
    return 0;
}
