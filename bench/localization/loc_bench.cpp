// LocalizePanel on the offscreen run-time: the product's main panel with its menu bar (target
// under 5 ms) and a generated 1,000-control panel of every string class (target under 20 ms).
// Each iteration reads the language file, captures the panel, applies every string and frees.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "localization/langfileio.h"
#include "localization/localize.h"
#include "platform/runtime.h"

namespace {

std::string gDir;
constexpr int kMainPanelId = 9; // the product's main panel in ks_read.ui.json

int Translate(const LOCALSTR *s, void *) {
    if (!s->defaultString) return 0;
    const std::string text = std::string("xx ") + s->defaultString;
    free(*s->localString);
    *s->localString = static_cast<char *>(malloc(text.size() + 1));
    memcpy(*s->localString, text.c_str(), text.size() + 1);
    *s->localFlag = SLOT_VALID;
    return 0;
}

// Writes a language file for panel `h` (and its menu bar) with every default string translated.
bool ExportTranslated(int h, const std::string &path) {
    PNL pnl{};
    MENUBAR bar{};
    if (UIPanelToPNLAndCTRLs(h, &pnl, 1, 0) != 0) return false;
    EnumPNLAndCTRLLocals(&pnl, Translate, nullptr);
    PNL *pp = &pnl;
    MENUBAR *pb = &bar;
    ListHandle panels = ListCreate(sizeof(PNL *)), bars = ListCreate(sizeof(MENUBAR *));
    ListInsertItem(panels, &pp, LIST_POS_END);
    const int menuBar = GetPanelMenuBar(h);
    if (menuBar > 0 && UIMenubarToMENUBARAndMENUITEMs(menuBar, &bar, 1, 0) == 0) {
        EnumMENUBARAndMENUITEMLocals(&bar, Translate, nullptr);
        ListInsertItem(bars, &pb, LIST_POS_END);
    }
    const int rc = ExportAllObjectsToLangFile(&panels, &bars, path.c_str());
    ListDispose(panels);
    ListDispose(bars);
    FreeDataForPNLAndCTRLs(&pnl, 1, 1);
    FreeDataForMENUBARAndMENUITEMs(&bar, 1, 1);
    return rc == 0;
}

// A panel of n controls cycling through the string classes, with items, axes and cells.
std::string BigResource(int n) {
    std::string controls;
    for (int i = 0; i < n; ++i) {
        const std::string id = std::to_string(i + 2), name = "\"C" + std::to_string(i) + "\"";
        const std::string pos = ", \"top\": " + std::to_string(10 + (i / 20) * 30) +
                                ", \"left\": " + std::to_string(10 + (i % 20) * 60);
        std::string c;
        switch (i % 8) {
        case 0:
            c = "\"style\": \"commandButton\", \"label\": \"Button " + id + "\"";
            break;
        case 1:
            c = "\"style\": \"string\", \"label\": \"Entry " + id + "\", \"value\": \"v\"";
            break;
        case 2:
            c = "\"style\": \"textMessage\", \"value\": \"Message " + id + "\"";
            break;
        case 3:
            c = "\"style\": \"binarySwitch\", \"label\": \"Switch\", \"onText\": \"Yes\", "
                "\"offText\": \"No\"";
            break;
        case 4:
            c = "\"style\": \"ring\", \"label\": \"Ring\", \"dataType\": \"int\", \"items\": "
                "[{\"label\": \"a\", \"value\": 1}, "
                "{\"label\": \"b\", \"value\": 2}, {\"label\": \"c\", \"value\": 3}]";
            break;
        case 5:
            c = "\"style\": \"listBox\", \"label\": \"List\", \"dataType\": \"string\", \"items\": "
                "[{\"label\": \"a\", "
                "\"value\": \"x\"}, {\"label\": \"b\", \"value\": \"y\"}]";
            break;
        case 6:
            c = "\"style\": \"numeric\", \"label\": \"Number " + id + "\"";
            break;
        default:
            c = "\"style\": \"decoration\"";
            break;
        }
        controls += std::string(i ? ",\n" : "") + "{ \"id\": " + id + ", \"name\": " + name + ", " +
                    c + pos + " }";
    }
    return "{ \"panels\": [ { \"id\": 1, \"name\": \"BIG\", \"title\": \"Big panel\", \"width\": "
           "1300, "
           "\"height\": 1600, \"controls\": [\n" +
           controls + "\n] } ], \"menuBars\": [] }";
}

void RunLocalize(benchmark::State &state, int panel, const std::string &lang) {
    state.SetLabel(lang.substr(lang.find_last_of('/') + 1));
    for (auto _ : state) {
        const int rc = LocalizePanel(panel, lang.c_str());
        if (rc != 0) {
            state.SkipWithError("LocalizePanel failed");
            break;
        }
    }
}

void BM_LocalizeMainPanelWithMenuBar(benchmark::State &state) {
    static int panel = 0;
    static std::string lang;
    if (!panel) {
        const std::string res = std::string(KS_SOURCE_DIR) + "/resources/ks_read.ui.json";
        panel = LoadPanel(0, res.c_str(), kMainPanelId);
        if (panel <= 0) {
            state.SkipWithError("the main panel did not load");
            return;
        }
        // The product's English file when there is one, else a translated template of the panel.
        lang = std::string(KS_SOURCE_DIR) + "/resources/English.lng";
        if (access(lang.c_str(), R_OK) != 0 || LocalizePanel(panel, lang.c_str()) != 0) {
            lang = gDir + "/main.lng";
            if (!ExportTranslated(panel, lang)) {
                state.SkipWithError("no language file");
                return;
            }
        }
    }
    RunLocalize(state, panel, lang);
}

void BM_Localize1000ControlPanel(benchmark::State &state) {
    static int panel = 0;
    static std::string lang;
    if (!panel) {
        const std::string res = gDir + "/big.ui.json";
        std::ofstream(res) << BigResource(1000);
        panel = LoadPanel(0, res.c_str(), 1);
        lang = gDir + "/big.lng";
        if (panel <= 0 || !ExportTranslated(panel, lang)) {
            state.SkipWithError("the 1000-control panel did not load");
            return;
        }
    }
    RunLocalize(state, panel, lang);
}

BENCHMARK(BM_LocalizeMainPanelWithMenuBar)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Localize1000ControlPanel)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    char templ[] = "/tmp/ks_loc_bench_XXXXXX";
    if (!mkdtemp(templ)) return 1;
    gDir = templ;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    RT_AllowUnboundCallbacks(1);
    if (!InitRuntime(0, argv, 0)) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::system(("rm -rf '" + gDir + "'").c_str());
    return 0;
}
