// Localization on the offscreen run-time: capture of every control class and of menus, export,
// read back and apply with every string compared, values and cell types kept, the error codes of
// the entry points, no half-localized panel after a failure, and in-place localization of a
// displayed panel.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "localization/langfileio.h"
#include "localization/localize.h"
#include "localization/loc_testing.h"
#include "loc_test_util.h"
#include "platform/runtime.h"
#include "platform/testing.h"
#include "tests/support/lang_export.h"
#include "tests/support/paths.h"

using namespace loctest;

namespace {

const std::string kResource = ks_test::sourcePath("tests/localization/data/loc_test.ui.json");
enum {
    kMainPanel = 1,
    kPlainPanel = 2,
    kLongPanel = 3,
    kEmptyPanel = 4,
    kMainBar = 1,
    kOtherBar = 2
};
enum {
    kOk = 3,
    kName = 4,
    kNotes = 5,
    kMsg = 6,
    kPower = 7,
    kGraph = 9,
    kStrip = 10,
    kColours = 11,
    kLevel = 12,
    kResults = 13,
    kGreeting = 14,
    kBlank = 15,
};

int gOkCalls = 0;
int OkCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) ++gOkCalls;
    return 0;
}
const RT_Callback kCallbacks[] = {{"OkCB", RT_CTRL_CALLBACK, reinterpret_cast<void *>(&OkCB)}};

TempDir *gDir = nullptr;
std::string gTranslated; // every panel and menu bar, each default prefixed with "T:"

std::string Path(const std::string &name) {
    return gDir->file(name);
}

int TranslateCallback(const LOCALSTR *s, void *) {
    if (!s->defaultString) return 0;
    free(*s->localString);
    *s->localString = Dup(("T:" + std::string(s->defaultString)).c_str());
    *s->localFlag = SLOT_VALID;
    return 0;
}

// Captured trees of loaded panels and menu bars, released at the end of the scope.
struct Captured : CapturedTrees {
    PNL *Panel(int handle, int defaults = 1) {
        auto *p = new PNL{};
        EXPECT_EQ(UIPanelToPNLAndCTRLs(handle, p, defaults, 0), 0);
        panels.push_back(p);
        return p;
    }
    MENUBAR *Bar(int handle, int defaults = 1) {
        auto *b = new MENUBAR{};
        EXPECT_EQ(UIMenubarToMENUBARAndMENUITEMs(handle, b, defaults, 0), 0);
        bars.push_back(b);
        return b;
    }
    int Export(const std::string &path) { return ks_test::exportToLangFile(panels, bars, path); }
};

// Every (section, key) with its captured default text (defaults only, "" for a 'u' slot).
std::map<std::string, std::string> Defaults(PNL *pnl) {
    std::map<std::string, std::string> out;
    EnumPNLAndCTRLLocals(
        pnl,
        [](const LOCALSTR *s, void *data) {
            (*static_cast<std::map<std::string, std::string> *>(
                data))[std::string(s->section) + "/" + s->key] =
                s->defaultString ? s->defaultString : "";
            return 0;
        },
        &out);
    return out;
}

std::map<std::string, std::string> Defaults(MENUBAR *bar) {
    std::map<std::string, std::string> out;
    EnumMENUBARAndMENUITEMLocals(
        bar,
        [](const LOCALSTR *s, void *data) {
            (*static_cast<std::map<std::string, std::string> *>(
                data))[std::string(s->section) + "/" + s->key] =
                s->defaultString ? s->defaultString : "";
            return 0;
        },
        &out);
    return out;
}

CTRL *CtrlById(PNL *pnl, int id) {
    for (int i = 1; i <= ListNumItems(pnl->controls); ++i) {
        auto *c = static_cast<CTRL *>(ListGetPtrToItem(pnl->controls, i));
        if (c->control == id) return c;
    }
    return nullptr;
}

MENUITEM *Child(ListHandle list, int position) {
    return *static_cast<MENUITEM **>(ListGetPtrToItem(list, position));
}

std::string CtrlText(int panel, int control, int attribute) {
    char buf[512] = "";
    GetCtrlAttribute(panel, control, attribute, buf);
    return buf;
}

std::string MenuText(int bar, int id, int attribute) {
    char buf[256] = "";
    GetMenuBarAttribute(bar, id, attribute, buf);
    return buf;
}

int CellType(int panel, int col, int row) {
    int type = 0;
    GetTableCellAttribute(panel, kResults, MakePoint(col, row), ATTR_CELL_TYPE, &type);
    return type;
}

// Panels of a resource id that exist now, apart from the handles listed.
int CountPanels(int resourceId, std::vector<int> except = {}) {
    const int probe = LoadPanel(0, kResource.c_str(), kEmptyPanel);
    int count = 0;
    for (int h = 1; h < probe + 50; ++h) {
        bool skip = false;
        for (int e : except)
            skip = skip || e == h;
        const RT_TestPanelState s = RT_TestGetPanelState(h);
        if (!skip && s.exists && s.resourceId == resourceId) ++count;
    }
    DiscardPanel(probe);
    return count;
}

std::string Edit(std::string text, const std::string &from, const std::string &to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

class LocEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        gDir = new TempDir;
        ASSERT_FALSE(gDir->path().empty());
        char cwd[4096] = "";
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldCwd_ = cwd;
        ASSERT_EQ(chdir(gDir->path().c_str()),
                  0); // anything written beside lands in the temp folder
        setenv("QT_QPA_PLATFORM", "offscreen", 0); // also when run by hand, outside CTest
        ASSERT_EQ(RT_RegisterCallbacks(kCallbacks, 1), 0);
        static char arg0[] = "loc_panel_test";
        static char *argv[] = {arg0, nullptr};
        ASSERT_EQ(InitRuntime(0, argv, 0), 1);

        // The translated file: every panel and menu bar of the test resource.
        Captured all;
        std::vector<int> handles;
        for (int id : {kMainPanel, kPlainPanel, kLongPanel, kEmptyPanel}) {
            handles.push_back(LoadPanel(0, kResource.c_str(), id));
            ASSERT_GT(handles.back(), 0) << id;
            EnumPNLAndCTRLLocals(all.Panel(handles.back()), TranslateCallback, nullptr);
        }
        for (int id : {kMainBar, kOtherBar}) {
            const int bar = LoadMenuBar(handles[1], kResource.c_str(), id);
            ASSERT_GT(bar, 0) << id;
            EnumMENUBARAndMENUITEMLocals(all.Bar(bar), TranslateCallback, nullptr);
            DiscardMenuBar(bar);
        }
        gTranslated = Path("translated.lng");
        ASSERT_EQ(all.Export(gTranslated), 0);
        for (int h : handles)
            DiscardPanel(h);
    }
    void TearDown() override {
        if (!oldCwd_.empty()) (void)chdir(oldCwd_.c_str());
        delete gDir;
        gDir = nullptr;
    }

  private:
    std::string oldCwd_;
};

[[maybe_unused]] const auto *const gEnv = ::testing::AddGlobalTestEnvironment(new LocEnvironment);

} // namespace

TEST(Capture, EveryClassWithItsCountsAndDefaults) {
    const int h = LoadPanel(0, kResource.c_str(), kMainPanel);
    ASSERT_GT(h, 0);
    Captured cap;
    PNL *pnl = cap.Panel(h);
    EXPECT_STREQ(pnl->name, "LOCTEST");
    EXPECT_STREQ(pnl->pdefaultStrs->title, "Localization test");
    ASSERT_EQ(ListNumItems(pnl->controls), 16);
    const std::pair<int, int> classes[] = {
        {2, CTRL_CLASS_NONE},        {kOk, CTRL_CLASS_BASIC},    {kName, CTRL_CLASS_STRING},
        {kNotes, CTRL_CLASS_STRING}, {kMsg, CTRL_CLASS_MSG},     {kPower, CTRL_CLASS_STATE},
        {8, CTRL_CLASS_STATE},       {kGraph, CTRL_CLASS_GRAPH}, {kStrip, CTRL_CLASS_STRIP},
        {kColours, CTRL_CLASS_LIST}, {kLevel, CTRL_CLASS_LIST},  {kResults, CTRL_CLASS_TABLE},
        {16, CTRL_CLASS_BASIC},      {17, CTRL_CLASS_BASIC}};
    for (const auto &[id, cls] : classes) {
        ASSERT_NE(CtrlById(pnl, id), nullptr) << id;
        EXPECT_EQ(CtrlById(pnl, id)->type, cls) << id;
    }
    const GRAPHCOUNTS *g = CtrlById(pnl, kGraph)->counts.pgraph;
    EXPECT_EQ(g->numXItems * 100 + g->numLYItems * 10 + g->numRYItems, 321);
    EXPECT_EQ(CtrlById(pnl, kStrip)->counts.pstrip->numXItems, 2);
    EXPECT_EQ(CtrlById(pnl, kStrip)->counts.pstrip->numYItems, 1);
    EXPECT_EQ(CtrlById(pnl, kColours)->counts.plist->numValues, 3);
    EXPECT_EQ(CtrlById(pnl, kLevel)->counts.plist->numLabels, 3);
    EXPECT_EQ(CtrlById(pnl, kLevel)->counts.plist->numValues, 0); // numeric values: no V
    EXPECT_EQ(CtrlById(pnl, kLevel)->defaultStrs.plist->itemValues, nullptr);
    EXPECT_EQ(CtrlById(pnl, kResults)->counts.ptable->numRows, 2);
    EXPECT_EQ(CtrlById(pnl, kResults)->counts.ptable->numCols, 3);

    const GRAPHSTRS *gs = CtrlById(pnl, kGraph)->defaultStrs.pgraph;
    EXPECT_STREQ(gs->lyName, "Volts");
    EXPECT_STREQ(gs->ryName, "Amps");
    EXPECT_STREQ(gs->xItems[2], "end");
    EXPECT_STREQ(gs->ryItems[0], "zero");
    const LISTSTRS *ls = CtrlById(pnl, kColours)->defaultStrs.plist;
    EXPECT_STREQ(ls->itemLabels[1], "Green");
    EXPECT_STREQ(ls->itemValues[2], "b");
    const TABLESTRS *ts = CtrlById(pnl, kResults)->defaultStrs.ptable;
    EXPECT_STREQ(ts->colLabels[2], "Col 3");
    EXPECT_STREQ(ts->cells[(2 - 1) * 2 + (2 - 1)], "b2"); // column 2, row 2
    EXPECT_EQ(ts->flags[1 + 2 + 3 + 2], SLOT_VALID);      // column 2, row 1 holds 3.5
    EXPECT_STREQ(CtrlById(pnl, kMsg)->defaultStrs.pmsg->text, "Welcome to the test");
    EXPECT_STREQ(CtrlById(pnl, kPower)->defaultStrs.pstate->offText, "Off");
    EXPECT_STREQ(CtrlById(pnl, kGreeting)->defaultStrs.pbasic->label, "Grüße");
    // An empty label is not read: null string, flag 'u'.
    EXPECT_EQ(CtrlById(pnl, kBlank)->defaultStrs.pbasic->label, nullptr);
    EXPECT_EQ(CtrlById(pnl, kBlank)->defaultStrs.pbasic->flags[0], SLOT_UNUSED);
    // Reading the cells as text left their own types, and the left Y axis is active again.
    EXPECT_EQ(CellType(h, 2, 1), 2);
    EXPECT_EQ(CellType(h, 3, 2), 2);
    int active = 0;
    GetCtrlAttribute(h, kGraph, ATTR_ACTIVE_YAXIS, &active);
    EXPECT_EQ(active, 1);

    const int empty = LoadPanel(0, kResource.c_str(), kEmptyPanel);
    PNL *none = cap.Panel(empty);
    EXPECT_EQ(none->controls, nullptr);
    EXPECT_EQ(none->pdefaultStrs->flag, SLOT_UNUSED);
    DiscardPanel(empty);
    DiscardPanel(h);
}

TEST(Capture, MenusSkipSeparatorsAndFollowSubmenus) {
    const int h = LoadPanel(0, kResource.c_str(), kMainPanel);
    const int bar = GetPanelMenuBar(h);
    ASSERT_GT(bar, 0);
    Captured cap;
    MENUBAR *mb = cap.Bar(bar);
    EXPECT_STREQ(mb->name, "BAR");
    ASSERT_EQ(ListNumItems(mb->menus), 2);
    MENUITEM *file = Child(mb->menus, 1);
    EXPECT_STREQ(file->pdefaultStrs->name, "&File");
    ASSERT_EQ(ListNumItems(file->children), 3);
    EXPECT_STREQ(Child(file->children, 1)->name, "SAVE");
    MENUITEM *logos = Child(file->children, 2);
    EXPECT_STREQ(logos->name, "LOGOS");
    EXPECT_STREQ(Child(file->children, 3)->name, "QUIT");
    ASSERT_EQ(ListNumItems(logos->children), 2);
    EXPECT_STREQ(Child(logos->children, 2)->pdefaultStrs->name, "Load logo 2");
    EXPECT_EQ(GetMENUBARFromMENUITEM(Child(logos->children, 1)), mb);
    const auto names = Defaults(mb);
    EXPECT_EQ(names.at("BAR_FILE_LOGOS_LOAD1/Name"), "Load logo 1");
    EXPECT_EQ(names.at("BAR_HELP_ABOUT/Name"), "About");
    EXPECT_EQ(names.size(), 8u);
    DiscardPanel(h);
}

TEST(Capture, CallbacksAreClearedOnlyOnRequest) {
    const int h = LoadPanel(0, kResource.c_str(), kMainPanel);
    ASSERT_GT(h, 0);
    gOkCalls = 0;
    ASSERT_EQ(RT_TestCommit(h, kOk), 0);
    ProcessSystemEvents();
    EXPECT_EQ(gOkCalls, 1);
    PNL keep{};
    ASSERT_EQ(UIPanelToPNLAndCTRLs(h, &keep, 0, 0), 0);
    FreeDataForPNLAndCTRLs(&keep, 0, 1);
    RT_TestCommit(h, kOk);
    ProcessSystemEvents();
    EXPECT_EQ(gOkCalls, 2);
    PNL cleared{};
    ASSERT_EQ(UIPanelToPNLAndCTRLs(h, &cleared, 0, 1), 0);
    FreeDataForPNLAndCTRLs(&cleared, 0, 1);
    RT_TestCommit(h, kOk);
    ProcessSystemEvents();
    EXPECT_EQ(gOkCalls, 2);
    DiscardPanel(h);
}

TEST(Localize, ExportReadBackApplyAndCompareEveryString) {
    const int plain = LoadPanel(0, kResource.c_str(), kMainPanel);
    ASSERT_GT(plain, 0);
    Captured original;
    const auto before = Defaults(original.Panel(plain));
    const auto barBefore = Defaults(original.Bar(GetPanelMenuBar(plain)));

    // Read back: the file's strings land in a tree captured without defaults.
    PNL read{};
    ASSERT_EQ(UIPanelToPNLAndCTRLs(plain, &read, 0, 0), 0);
    ASSERT_EQ(LangFileToPNLAndCTRLLocalStrs(gTranslated.c_str(), &read), 0);
    for (const SlotSnap &s : Snapshot(&read)) {
        const std::string dflt = before.at(s.section + "/" + s.key);
        EXPECT_EQ(s.flag, dflt.empty() ? SLOT_UNUSED : SLOT_VALID) << s.section << " " << s.key;
        if (!dflt.empty()) {
            EXPECT_EQ(s.text, "T:" + dflt);
        }
    }
    FreeDataForPNLAndCTRLs(&read, 0, 1);

    int h = -1;
    ASSERT_EQ(LoadLocalizedPanel(0, kResource.c_str(), kMainPanel, gTranslated.c_str(), &h), 0);
    ASSERT_GT(h, 0);
    Captured after;
    const auto now = Defaults(after.Panel(h));
    const auto barNow = Defaults(after.Bar(GetPanelMenuBar(h)));
    ASSERT_EQ(now.size(), before.size());
    int compared = 0;
    for (const auto &[key, text] : before) {
        // Numeric cells get their number back from the translated text (below).
        if (key == "LOCTEST_RESULTS/Cell(2,1)" || key == "LOCTEST_RESULTS/Cell(3,2)") continue;
        const std::string expected = text.empty() ? "" : "T:" + text;
        EXPECT_EQ(now.at(key), expected) << key;
        compared += !text.empty();
    }
    EXPECT_GT(compared, 40);
    for (const auto &[key, text] : barBefore)
        EXPECT_EQ(barNow.at(key), "T:" + text) << key;
    EXPECT_EQ(barNow.size(), barBefore.size());

    // Values stay: axis items, numeric list values and the selected item.
    const double axisValues[3][3] = {{0, 5, 10}, {0, 12, 0}, {0.5, 0, 0}};
    const int axisCounts[3] = {3, 2, 1};
    for (int axis = 0; axis < 3; ++axis)
        for (int i = 0; i < axisCounts[axis]; ++i) {
            double v = -1;
            ASSERT_GE(GetAxisItem(h, kGraph, axis, i, nullptr, 0, &v), 0);
            EXPECT_DOUBLE_EQ(v, axisValues[axis][i]) << axis << " " << i;
        }
    double stripValue = -1;
    GetAxisItem(h, kStrip, 1, 0, nullptr, 0, &stripValue);
    EXPECT_DOUBLE_EQ(stripValue, 3);
    const int levels[] = {1, 5, 10};
    for (int i = 0; i < 3; ++i) {
        int v = -1;
        GetValueFromIndex(h, kLevel, i, &v);
        EXPECT_EQ(v, levels[i]);
    }
    int index = -1;
    GetCtrlIndex(h, kLevel, &index);
    EXPECT_EQ(index, 1);
    // String values of a list are strings like any other: translated.
    char value[64] = "";
    GetValueFromIndex(h, kColours, 0, value, sizeof value);
    EXPECT_STREQ(value, "T:r");
    // Cells keep their types; the left Y axis is the active one.
    EXPECT_EQ(CellType(h, 2, 1), 2);
    EXPECT_EQ(CellType(h, 3, 2), 2);
    EXPECT_EQ(CellType(h, 1, 1), 1);
    int active = 0;
    GetCtrlAttribute(h, kGraph, ATTR_ACTIVE_YAXIS, &active);
    EXPECT_EQ(active, 1);
    DiscardPanel(h);

    // A numeric cell is written as text and then holds the number that text names.
    const std::string path = Path("cells.lng");
    writeFile(path, Edit(readFile(gTranslated), "Cell(2,1) = \"T:3.5\"", "Cell(2,1) = \"4.25\""));
    ASSERT_EQ(LocalizePanel(plain, path.c_str()), 0);
    double number = 0;
    EXPECT_GE(GetTableCellVal(plain, kResults, MakePoint(2, 1), &number), 0);
    EXPECT_DOUBLE_EQ(number, 4.25);
    EXPECT_EQ(CellType(plain, 2, 1), 2);
    char cell[64] = "";
    GetTableCellVal(plain, kResults, MakePoint(1, 2), cell, sizeof cell);
    EXPECT_STREQ(cell, "T:a2");
    DiscardPanel(plain);
}

TEST(Localize, DisplayedPanelChangesItsTextsInPlace) {
    const int h = LoadPanel(0, kResource.c_str(), kMainPanel);
    ASSERT_GT(h, 0);
    ASSERT_GE(DisplayPanel(h), 0);
    ASSERT_EQ(RT_TestTypeText(h, kNotes, " typed words"), 0);
    ASSERT_GE(SetCtrlIndex(h, kLevel, 2), 0);
    ASSERT_EQ(LocalizePanel(h, gTranslated.c_str()), 0);
    ProcessSystemEvents();
    const RT_TestPanelState state = RT_TestGetPanelState(h);
    EXPECT_TRUE(state.displayed);
    EXPECT_EQ(state.title, "T:Localization test");
    EXPECT_EQ(RT_TestWidgetText(h, kOk), "T:OK");
    EXPECT_EQ(CtrlText(h, kName, ATTR_LABEL_TEXT), "T:Name");
    EXPECT_EQ(CtrlText(h, kMsg, ATTR_DFLT_VALUE), "T:Welcome to the test");
    EXPECT_EQ(MenuText(GetPanelMenuBar(h), 2, ATTR_MENU_NAME), "T:&File");
    EXPECT_EQ(MenuText(GetPanelMenuBar(h), 5, ATTR_ITEM_NAME), "T:Load logo 1");
    // A translated default value replaces what was typed into the text box.
    char notes[256] = "";
    GetCtrlVal(h, kNotes, notes);
    EXPECT_EQ(std::string(notes).find("typed words"), std::string::npos) << notes;
    // Without a translated default value the typing stays, under a translated label.
    const std::string path = Path("notes.lng");
    writeFile(path, Edit(readFile(gTranslated), "[LOCTEST_NOTES]\r\nType = 3\r\nFlags = \"Dff\"",
                         "[LOCTEST_NOTES]\r\nType = 3\r\nFlags = \"Dfe\""));
    ASSERT_EQ(RT_TestTypeText(h, kNotes, " kept"), 0);
    ASSERT_EQ(LocalizePanel(h, path.c_str()), 0);
    GetCtrlVal(h, kNotes, notes);
    EXPECT_NE(std::string(notes).find(" kept"), std::string::npos) << notes;
    EXPECT_EQ(CtrlText(h, kNotes, ATTR_LABEL_TEXT), "T:Notes");
    // The operator's choice in the ring stays.
    int index = -1;
    GetCtrlIndex(h, kLevel, &index);
    EXPECT_EQ(index, 2);
    DiscardPanel(h);
}

TEST(Localize, FilesThatDoNotFitChangeNothing) {
    const std::string good = readFile(gTranslated);
    const int h = LoadPanel(0, kResource.c_str(), kMainPanel);
    ASSERT_GT(h, 0);
    struct Case {
        const char *what;
        std::string text;
        int code;
    } cases[] = {
        {"missing control section", Edit(good, "[LOCTEST_STRIP]", "[LOCTEST_STRIP_OLD]"), -6000},
        {"class differs", Edit(good, "[LOCTEST_NAME]\r\nType = 3", "[LOCTEST_NAME]\r\nType = 2"),
         -45},
        {"list count differs", Edit(good, "NumItemLabels = 3", "NumItemLabels = 4"), -46},
        {"numeric list with values", Edit(good, "NumItemValues = 0", "NumItemValues = 3"), -46},
        {"version 99", Edit(good, "Version = 100", "Version = 99"), -6000},
    };
    for (const Case &c : cases) {
        const std::string path = Path("bad.lng");
        writeFile(path, c.text);
        EXPECT_EQ(LocalizePanel(h, path.c_str()), c.code) << c.what;
        char title[128] = "";
        GetPanelAttribute(h, ATTR_TITLE, title);
        EXPECT_STREQ(title, "Localization test") << c.what;
        EXPECT_EQ(CtrlText(h, kOk, ATTR_LABEL_TEXT), "OK") << c.what;
    }
    EXPECT_EQ(LocalizePanel(h, Path("missing.lng").c_str()), -94);
    EXPECT_EQ(LocalizePanel(h, gDir->path().c_str()), -93);
    EXPECT_EQ(LocalizePanel(h, nullptr), -65);
    // A panel without a menu bar is done after the panel step.
    const int plain = LoadPanel(0, kResource.c_str(), kPlainPanel);
    EXPECT_EQ(GetPanelMenuBar(plain), 0);
    EXPECT_EQ(LocalizePanel(plain, gTranslated.c_str()), 0);
    EXPECT_EQ(CtrlText(plain, 2, ATTR_LABEL_TEXT), "T:Close");
    DiscardPanel(plain);
    DiscardPanel(h);
}

TEST(Localize, LoadLocalizedPanelArgumentsAndLoadErrors) {
    const int held = LoadPanel(0, kResource.c_str(), kPlainPanel);
    int handle = held;
    EXPECT_EQ(LoadLocalizedPanel(0, kResource.c_str(), kMainPanel, nullptr, &handle), -65);
    EXPECT_EQ(handle, 0);
    EXPECT_TRUE(RT_TestGetPanelState(held).exists); // nothing was discarded
    handle = held;
    EXPECT_EQ(LoadLocalizedPanel(0, nullptr, kMainPanel, gTranslated.c_str(), &handle), -65);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(LoadLocalizedPanel(0, kResource.c_str(), kMainPanel, gTranslated.c_str(), nullptr),
              -65);
    handle = 5;
    EXPECT_EQ(LoadLocalizedPanel(0, Path("nothere.ui.json").c_str(), kMainPanel,
                                 gTranslated.c_str(), &handle),
              RT_ERR_RESOURCE_FILE);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(LoadLocalizedPanel(0, kResource.c_str(), 99, gTranslated.c_str(), &handle),
              RT_ERR_RESOURCE_ID);
    EXPECT_EQ(handle, 0);
    // A file of another version: the loaded panel is discarded again.
    const std::string v99 = Path("v99panel.lng");
    writeFile(v99, Edit(readFile(gTranslated), "Version = 100", "Version = 99"));
    handle = 5;
    EXPECT_EQ(LoadLocalizedPanel(0, kResource.c_str(), kMainPanel, v99.c_str(), &handle), -6000);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(CountPanels(kMainPanel), 0);
    // Section names longer than 35 characters are used whole.
    ASSERT_EQ(LoadLocalizedPanel(0, kResource.c_str(), kLongPanel, gTranslated.c_str(), &handle),
              0);
    EXPECT_EQ(CtrlText(handle, 2, ATTR_LABEL_TEXT), "T:First");
    EXPECT_EQ(CtrlText(handle, 3, ATTR_LABEL_TEXT), "T:Second");
    DiscardPanel(handle);
    DiscardPanel(held);
}

TEST(Localize, AFailureLeavesNoHalfLocalizedPanel) {
    ASSERT_EQ(CountPanels(kMainPanel), 0);
    // The panel strings apply, then the menu bar's file sections are missing.
    std::string text = readFile(gTranslated);
    text = Edit(text, "[BAR_HELP_ABOUT]", "[BAR_HELP_ABOUT_GONE]");
    const std::string path = Path("nomenu.lng");
    writeFile(path, text);
    int handle = -1;
    EXPECT_EQ(LoadLocalizedPanel(0, kResource.c_str(), kMainPanel, path.c_str(), &handle), -6000);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(CountPanels(kMainPanel), 0);
    EXPECT_STREQ(LangFileLastFailedSection(), "BAR_HELP_ABOUT");

    // The run-time refusing any one call of the capture or the apply step.
    int failures = 0;
    for (int skip = 0;; ++skip) {
        LocTestFailRuntimeCalls(skip, 1);
        const int rc =
            LoadLocalizedPanel(0, kResource.c_str(), kMainPanel, gTranslated.c_str(), &handle);
        const bool injected = LocTestInjectedFailures() > 0;
        LocTestFailRuntimeCalls(0, 0);
        if (rc < 0) {
            ++failures;
            EXPECT_EQ(rc, RT_ERR_INVALID_VALUE) << skip;
            EXPECT_EQ(handle, 0) << skip;
        } else {
            EXPECT_GT(handle, 0);
            DiscardPanel(handle);
        }
        if (skip % 25 == 0 || !injected) {
            EXPECT_EQ(CountPanels(kMainPanel), 0) << skip;
        }
        if (!injected) {
            EXPECT_EQ(rc, 0);
            break;
        }
    }
    EXPECT_GT(failures, 50);
}

TEST(Localize, CaptureFailuresReleaseEverythingAndRestoreThePanel) {
    const int h = LoadPanel(0, kResource.c_str(), kMainPanel);
    ASSERT_GT(h, 0);
    int unrestored = 0;
    for (int skip = 0;; ++skip) {
        PNL pnl{};
        LocTestFailRuntimeCalls(skip, 1);
        const int rc = UIPanelToPNLAndCTRLs(h, &pnl, 1, 0);
        const bool injected = LocTestInjectedFailures() > 0;
        LocTestFailRuntimeCalls(0, 0);
        if (!injected) {
            EXPECT_EQ(rc, 0);
            FreeDataForPNLAndCTRLs(&pnl, 1, 1);
            break;
        }
        EXPECT_EQ(rc, RT_ERR_INVALID_VALUE) << skip;
        EXPECT_EQ(pnl.controls, nullptr);
        EXPECT_EQ(pnl.name, nullptr);
        EXPECT_EQ(pnl.plocalStrs, nullptr);
        EXPECT_EQ(pnl.pdefaultStrs, nullptr);
        // The panel is as it was, unless the refused call was one of the three restoring calls
        // (two numeric cells, the active axis); put it right for the next round then.
        int active = 0;
        GetCtrlAttribute(h, kGraph, ATTR_ACTIVE_YAXIS, &active);
        if (CellType(h, 2, 1) != 2 || CellType(h, 3, 2) != 2 || active != 1) {
            ++unrestored;
            SetTableCellAttribute(h, kResults, MakePoint(2, 1), ATTR_CELL_TYPE, 2);
            SetTableCellAttribute(h, kResults, MakePoint(3, 2), ATTR_CELL_TYPE, 2);
            SetCtrlAttribute(h, kGraph, ATTR_ACTIVE_YAXIS, 1);
        }
    }
    EXPECT_LE(unrestored, 3);
    for (int skip = 0;; ++skip) {
        PNL pnl{};
        LocTestFailAllocations(skip, 1);
        const int rc = UIPanelToPNLAndCTRLs(h, &pnl, 1, 0);
        const bool injected = LocTestInjectedFailures() > 0;
        LocTestFailAllocations(0, 0);
        if (!injected) {
            EXPECT_EQ(rc, 0);
            FreeDataForPNLAndCTRLs(&pnl, 1, 1);
            break;
        }
        EXPECT_EQ(rc, -12) << skip;
        EXPECT_EQ(pnl.controls, nullptr);
    }
    const int bar = GetPanelMenuBar(h);
    for (int skip = 0;; ++skip) {
        MENUBAR mb{};
        LocTestFailRuntimeCalls(skip, 1);
        const int rc = UIMenubarToMENUBARAndMENUITEMs(bar, &mb, 1, 1);
        const bool injected = LocTestInjectedFailures() > 0;
        LocTestFailRuntimeCalls(0, 0);
        if (!injected) {
            EXPECT_EQ(rc, 0);
            FreeDataForMENUBARAndMENUITEMs(&mb, 1, 1);
            break;
        }
        EXPECT_EQ(rc, RT_ERR_INVALID_VALUE);
        EXPECT_EQ(mb.menus, nullptr);
        EXPECT_EQ(mb.name, nullptr);
    }
    DiscardPanel(h);
}

TEST(Localize, MenuRenameFailureDoesNotStopTheOtherMenus) {
    const int h = LoadPanel(0, kResource.c_str(), kMainPanel);
    const int bar = GetPanelMenuBar(h);
    MENUBAR mb{};
    ASSERT_EQ(UIMenubarToMENUBARAndMENUITEMs(bar, &mb, 0, 0), 0);
    ASSERT_EQ(LangFileToMENUBARAndMENUITEMLocalStrs(gTranslated.c_str(), &mb), 0);
    LocTestFailRuntimeCalls(0, 1); // the rename of the first menu
    EXPECT_EQ(MENUBARAndMENUITEMLocalStrsToUIMenuAndMenuItems(&mb), 0);
    LocTestFailRuntimeCalls(0, 0);
    EXPECT_EQ(MenuText(bar, 2, ATTR_MENU_NAME), "&File"); // refused
    EXPECT_EQ(MenuText(bar, 3, ATTR_ITEM_NAME), "&Save"); // so its items were not visited
    EXPECT_EQ(MenuText(bar, 8, ATTR_MENU_NAME), "T:&Help");
    EXPECT_EQ(MenuText(bar, 9, ATTR_ITEM_NAME), "T:About");
    FreeDataForMENUBARAndMENUITEMs(&mb, 1, 1);
    DiscardPanel(h);
}

TEST(Localize, MenuBarEntryPoints) {
    const int panel = LoadPanel(0, kResource.c_str(), kPlainPanel);
    int handle = 7;
    EXPECT_EQ(
        LoadLocalizedMenuBar(panel, kResource.c_str(), kOtherBar, gTranslated.c_str(), nullptr),
        -65);
    EXPECT_EQ(LoadLocalizedMenuBar(panel, kResource.c_str(), kOtherBar, nullptr, &handle), -65);
    EXPECT_EQ(handle, 0);
    ASSERT_EQ(
        LoadLocalizedMenuBar(panel, kResource.c_str(), kOtherBar, gTranslated.c_str(), &handle), 0);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(MenuText(handle, 2, ATTR_MENU_NAME), "T:View");
    EXPECT_EQ(MenuText(handle, 3, ATTR_ITEM_NAME), "T:Zoom");
    DiscardMenuBar(handle);
    const std::string path = Path("v99.lng");
    writeFile(path, Edit(readFile(gTranslated), "Version = 100", "Version = 99"));
    handle = 7;
    EXPECT_EQ(LoadLocalizedMenuBar(panel, kResource.c_str(), kOtherBar, path.c_str(), &handle),
              -6000);
    EXPECT_EQ(handle, 0);
    EXPECT_EQ(LocalizeMenuBar(1, nullptr), -65);
    EXPECT_EQ(LocalizeMenuBar(987654, gTranslated.c_str()), RT_ERR_INVALID_MENU_BAR);
    DiscardPanel(panel);
}

TEST(Localize, SelectorAndDefaultsAddressSingleStrings) {
    const int h = LoadPanel(0, kResource.c_str(), kMainPanel);
    Captured cap;
    PNL *pnl = cap.Panel(h);
    EnumPNLAndCTRLLocals(pnl, TranslateCallback, nullptr);
    CTRL *graph = CtrlById(pnl, kGraph);
    ASSERT_EQ(AllocTreeSpaceForCTRL(graph), 0);
    graph->treeIds->ids[1] = 77; // the X axis name
    EXPECT_EQ(CTRLLocalStrsToUIControl(graph, 77, 0), 0);
    EXPECT_EQ(CtrlText(h, kGraph, ATTR_XNAME), "T:Time");
    EXPECT_EQ(CtrlText(h, kGraph, ATTR_LABEL_TEXT), "Voltage");
    // All strings, then back to the captured defaults with every local slot unused.
    EXPECT_EQ(PNLAndCTRLLocalsToPanelAndControls(pnl), 0);
    EXPECT_EQ(CtrlText(h, kGraph, ATTR_LABEL_TEXT), "T:Voltage");
    EnumPNLAndCTRLLocals(
        pnl,
        [](const LOCALSTR *s, void *) {
            *s->localFlag = SLOT_UNUSED;
            return 0;
        },
        nullptr);
    for (int i = 1; i <= ListNumItems(pnl->controls); ++i)
        EXPECT_EQ(CTRLLocalStrsToUIControl(static_cast<CTRL *>(ListGetPtrToItem(pnl->controls, i)),
                                           -1, 1),
                  0);
    EXPECT_EQ(PNLLocalStrsToUIPanel(pnl, -1, 1), 0);
    Captured again;
    EXPECT_EQ(Defaults(again.Panel(h)), Defaults(pnl));
    DiscardPanel(h);
}
