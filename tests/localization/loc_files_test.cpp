// Language files without a loaded panel: the writer's exact layout, export and read back of
// every class, each error code of the readers, long section names, release, and allocation
// failures at every point. Runs without the UI run-time, so the leak checker watches it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ini/ini.h"
#include "localization/langfileio.h"
#include "localization/loc_testing.h"
#include "localization/localize.h"
#include "loc_test_util.h"
#include "tests/support/lang_export.h"
#include "tests/support/paths.h"
#include "toolbox/core/errors.h"
#include "toolbox/core/list_testing.h"

using namespace loctest;
using ks_test::exportToLangFile;

namespace {

// Owns a panel tree and a menu bar tree for one test.
struct Trees {
    PNL pnl{};
    MENUBAR bar{};
    Trees() = default;
    Trees(const Trees &) = delete;
    Trees &operator=(const Trees &) = delete;
    ~Trees() {
        FreeDataForPNLAndCTRLs(&pnl, 1, 1);
        FreeDataForMENUBARAndMENUITEMs(&bar, 1, 1);
    }
};

CTRL *CtrlAt(PNL *pnl, int position) {
    return static_cast<CTRL *>(ListGetPtrToItem(pnl->controls, position));
}

MENUITEM *ItemAt(ListHandle list, int position) {
    return *static_cast<MENUITEM **>(ListGetPtrToItem(list, position));
}

void SetString(char **dst, unsigned char *flag, const char *text) {
    free(*dst);
    *dst = Dup(text);
    *flag = SLOT_VALID;
}

// Replaces the first occurrence of `from` inside section [section] (its header up to the next
// header); the test fails when it is not there.
std::string ReplaceInSection(std::string text, const std::string &section, const std::string &from,
                             const std::string &to) {
    const size_t start = text.find("[" + section + "]\r\n");
    EXPECT_NE(start, std::string::npos) << section;
    if (start == std::string::npos) return text;
    size_t end = text.find("\r\n[", start + 1);
    if (end == std::string::npos) end = text.size();
    const size_t at = text.find(from, start);
    EXPECT_TRUE(at != std::string::npos && at < end) << section << ": " << from;
    if (at == std::string::npos || at >= end) return text;
    return text.replace(at, from.size(), to);
}

std::string RemoveSection(std::string text, const std::string &section) {
    const size_t start = text.find("[" + section + "]\r\n");
    EXPECT_NE(start, std::string::npos) << section;
    if (start == std::string::npos) return text;
    size_t end = text.find("\r\n[", start + 1);
    end = end == std::string::npos ? text.size() : end + 2;
    return text.erase(start, end - start);
}

std::string DataText(const std::vector<unsigned char> &bytes) {
    char *text = nullptr;
    ConvertDataToText(bytes.data(), bytes.size(), &text);
    std::string s = text ? text : "";
    free(text);
    return s;
}

// A language file for the all-classes panel and the test menu bar, every slot translated.
class LangFileErrors : public ::testing::Test {
  protected:
    void SetUp() override {
        Trees source;
        BuildAllClassesPanel(&source.pnl);
        BuildMenuBar(&source.bar);
        FillTranslations(&source.pnl, true);
        FillTranslations(&source.bar, true);
        path_ = dir_.file("lang.lng");
        ASSERT_EQ(exportToLangFile({&source.pnl}, {&source.bar}, path_), 0);
        good_ = readFile(path_);
    }
    // Reads `text` as a language file into fresh trees; returns the panel reader's result.
    int ReadPanel(const std::string &text) {
        writeFile(path_, text);
        BuildAllClassesPanel(&trees_.pnl);
        return LangFileToPNLAndCTRLLocalStrs(path_.c_str(), &trees_.pnl);
    }
    int ReadMenus(const std::string &text) {
        writeFile(path_, text);
        BuildMenuBar(&trees_.bar);
        return LangFileToMENUBARAndMENUITEMLocalStrs(path_.c_str(), &trees_.bar);
    }
    TempDir dir_;
    std::string path_;
    std::string good_;
    Trees trees_;
};

} // namespace

TEST(LangFileExport, WritesTheLayoutTheReaderReads) {
    TempDir dir;
    Trees t;
    InitPanel(&t.pnl, "P");
    SetString(&t.pnl.plocalStrs->title, &t.pnl.plocalStrs->flag, "Hello\nWorld");
    AddCtrl(&t.pnl, "DECO", CTRL_CLASS_NONE);
    BASICSTRS *ok = CtrlAt(&t.pnl, AddCtrl(&t.pnl, "OK", CTRL_CLASS_BASIC))->localStrs.pbasic;
    SetString(&ok->label, &ok->flags[0], "Say \"OK\"");

    LISTSTRS *list =
        CtrlAt(&t.pnl, AddCtrl(&t.pnl, "LIST", CTRL_CLASS_LIST, 2, 2))->localStrs.plist;
    SetString(&list->itemLabels[0], &list->flags[1], "One");
    SetString(&list->itemLabels[1], &list->flags[2], "Two");
    SetString(&list->itemValues[0], &list->flags[3], "1st");

    TABLESTRS *tab =
        CtrlAt(&t.pnl, AddCtrl(&t.pnl, "TAB", CTRL_CLASS_TABLE, 1, 2))->localStrs.ptable;
    SetString(&tab->label, &tab->flags[0], "Tab");
    SetString(&tab->colLabels[0], &tab->flags[2], "C1");
    SetString(&tab->colLabels[1], &tab->flags[3], "C2");
    SetString(&tab->cells[0], &tab->flags[4], "a");

    GRAPHSTRS *gr =
        CtrlAt(&t.pnl, AddCtrl(&t.pnl, "GR", CTRL_CLASS_GRAPH, 1, 0, 1))->localStrs.pgraph;
    SetString(&gr->xName, &gr->flags[1], "Time");
    SetString(&gr->xItems[0], &gr->flags[4], "t0");
    SetString(&gr->ryItems[0], &gr->flags[5], "r0");

    STRIPSTRS *st = CtrlAt(&t.pnl, AddCtrl(&t.pnl, "ST", CTRL_CLASS_STRIP, 0, 1))->localStrs.pstrip;
    SetString(&st->label, &st->flags[0], "Strip");
    SetString(&st->yItems[0], &st->flags[3], "y0");

    InitMenuBar(&t.bar, "BAR");
    MENUITEM *file = AddMenuItem(&t.bar.menus, &t.bar, "FILE", 2);
    SetString(&file->plocalStrs->name, &file->plocalStrs->flag, "&File");
    AddMenuItem(&file->children, file, "SAVE", 3);
    MENUITEM *sub = AddMenuItem(&file->children, file, "SUB", 4);
    SetString(&sub->plocalStrs->name, &sub->plocalStrs->flag, "Sub");
    MENUITEM *deep = AddMenuItem(&sub->children, sub, "DEEP", 5);
    SetString(&deep->plocalStrs->name, &deep->plocalStrs->flag, "Deep");

    const std::string path = dir.file("out.lng");
    ASSERT_EQ(exportToLangFile({&t.pnl}, {&t.bar}, path), 0);
    EXPECT_EQ(readFile(path),
              readFile(ks_test::sourcePath("tests/localization/data/export_golden.lng")));

    // A failed write reports -10 and leaves no file behind.
    EXPECT_EQ(exportToLangFile({&t.pnl}, {&t.bar}, dir.file("missing/dir/out.lng")), LOC_ERR_READ);
}

TEST(LangFileRoundTrip, EveryClassAndMenuLevelSurvivesExportAndRead) {
    TempDir dir;
    Trees source;
    BuildAllClassesPanel(&source.pnl);
    BuildMenuBar(&source.bar);
    FillTranslations(&source.pnl);
    FillTranslations(&source.bar);
    // A translation far longer than a written line, and one that is empty.
    BASICSTRS *button = CtrlAt(&source.pnl, 2)->localStrs.pbasic;
    SetString(&button->label, &button->flags[0], std::string(10000, 'L').c_str());
    MSGSTRS *msg = CtrlAt(&source.pnl, 4)->localStrs.pmsg;
    SetString(&msg->text, &msg->flags[0], "");
    const std::string path = dir.file("all.lng");
    ASSERT_EQ(exportToLangFile({&source.pnl}, {&source.bar}, path), 0);

    Trees read;
    BuildAllClassesPanel(&read.pnl);
    BuildMenuBar(&read.bar);
    ASSERT_EQ(LangFileToPNLAndCTRLLocalStrs(path.c_str(), &read.pnl), 0);
    ASSERT_EQ(LangFileToMENUBARAndMENUITEMLocalStrs(path.c_str(), &read.bar), 0);
    EXPECT_STREQ(LangFileLastFailedSection(), "");

    const auto expectedPanel = Snapshot(&source.pnl), gotPanel = Snapshot(&read.pnl);
    ASSERT_EQ(expectedPanel.size(), gotPanel.size());
    int translated = 0;
    for (size_t i = 0; i < expectedPanel.size(); ++i) {
        EXPECT_EQ(expectedPanel[i], gotPanel[i])
            << expectedPanel[i].section << " " << expectedPanel[i].key;
        translated += gotPanel[i].flag == SLOT_VALID;
    }
    // Both kinds of slot were present: the comparison covered 'v' and 'u' slots.
    EXPECT_GT(translated, 0);
    EXPECT_LT(translated, static_cast<int>(gotPanel.size()));
    EXPECT_EQ(Snapshot(&source.bar), Snapshot(&read.bar));

    // Slots 'u' in the file leave what the tree had: a second read of the same file into the
    // filled tree changes nothing.
    ASSERT_EQ(LangFileToPNLAndCTRLLocalStrs(path.c_str(), &read.pnl), 0);
    EXPECT_EQ(Snapshot(&read.pnl), gotPanel);
}

TEST(LangFileRoundTrip, LongPanelAndControlNamesMakeWholeSectionNames) {
    TempDir dir;
    const std::string panelName(30, 'P'), ctrlName(40, 'C'), otherName(40, 'D');
    Trees source;
    InitPanel(&source.pnl, panelName.c_str());
    // Two controls whose names differ only after the 35th character of the section name.
    AddCtrl(&source.pnl, (ctrlName + "1").c_str(), CTRL_CLASS_BASIC);
    AddCtrl(&source.pnl, (ctrlName + "2").c_str(), CTRL_CLASS_BASIC);
    AddCtrl(&source.pnl, otherName.c_str(), CTRL_CLASS_BASIC);
    FillTranslations(&source.pnl, true);
    const std::string path = dir.file("long.lng");
    ASSERT_EQ(exportToLangFile({&source.pnl}, {}, path), 0);
    const std::string text = readFile(path);
    EXPECT_NE(text.find("[" + panelName + "_" + ctrlName + "2]"), std::string::npos);

    Trees read;
    InitPanel(&read.pnl, panelName.c_str());
    AddCtrl(&read.pnl, (ctrlName + "1").c_str(), CTRL_CLASS_BASIC);
    AddCtrl(&read.pnl, (ctrlName + "2").c_str(), CTRL_CLASS_BASIC);
    AddCtrl(&read.pnl, otherName.c_str(), CTRL_CLASS_BASIC);
    ASSERT_EQ(LangFileToPNLAndCTRLLocalStrs(path.c_str(), &read.pnl), 0);
    EXPECT_EQ(Snapshot(&read.pnl), Snapshot(&source.pnl));
    EXPECT_STRNE(CtrlAt(&read.pnl, 1)->localStrs.pbasic->label,
                 CtrlAt(&read.pnl, 2)->localStrs.pbasic->label);

    // Without the second control's section the reader names exactly that section.
    Trees missing;
    InitPanel(&missing.pnl, panelName.c_str());
    AddCtrl(&missing.pnl, (ctrlName + "1").c_str(), CTRL_CLASS_BASIC);
    AddCtrl(&missing.pnl, (ctrlName + "3").c_str(), CTRL_CLASS_BASIC);
    EXPECT_EQ(LangFileToPNLAndCTRLLocalStrs(path.c_str(), &missing.pnl), LOC_ERR_MISSING);
    EXPECT_EQ(std::string(LangFileLastFailedSection()), panelName + "_" + ctrlName + "3");
}

TEST_F(LangFileErrors, TheUntouchedFileReadsCleanly) {
    EXPECT_EQ(ReadPanel(good_), 0);
    EXPECT_EQ(ReadMenus(good_), 0);
}

TEST_F(LangFileErrors, HeaderAndFileProblems) {
    BuildAllClassesPanel(&trees_.pnl);
    EXPECT_EQ(LangFileToPNLAndCTRLLocalStrs(dir_.file("nothere.lng").c_str(), &trees_.pnl),
              LOC_ERR_OPEN);
    FreeDataForPNLAndCTRLs(&trees_.pnl, 1, 1);
    BuildAllClassesPanel(&trees_.pnl);
    EXPECT_EQ(LangFileToPNLAndCTRLLocalStrs(dir_.path().c_str(), &trees_.pnl), LOC_ERR_READ);
    FreeDataForPNLAndCTRLs(&trees_.pnl, 1, 1);

    struct Case {
        const char *what;
        std::string text;
    } cases[] = {
        {"Version 101",
         ReplaceInSection(good_, "UI Language Resource File", "Version = 100", "Version = 101")},
        {"wrong magic",
         ReplaceInSection(good_, "UI Language Resource File", "Magic = -1395807027", "Magic = 1")},
        {"Magic missing",
         ReplaceInSection(good_, "UI Language Resource File", "Magic = -1395807027", "Other = 1")},
        {"Version not a number",
         ReplaceInSection(good_, "UI Language Resource File", "Version = 100", "Version = 1x0")},
        {"no header", ReplaceInSection(good_, "UI Language Resource File",
                                       "[UI Language Resource File]", "[Something Else]")},
        {"plain INI file", "[Section]\r\nKey = 1\r\n"},
        {"empty file", ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ReadPanel(c.text), LOC_ERR_NOT_LANGUAGE_FILE) << c.what;
        FreeDataForPNLAndCTRLs(&trees_.pnl, 1, 1);
        EXPECT_EQ(ReadMenus(c.text), LOC_ERR_NOT_LANGUAGE_FILE) << c.what;
        FreeDataForMENUBARAndMENUITEMs(&trees_.bar, 1, 1);
    }
    EXPECT_EQ(TranslateLocalizationError(LOC_ERR_NOT_LANGUAGE_FILE), -6000);
}

TEST_F(LangFileErrors, ControlSectionsThatDoNotFitThePanel) {
    struct Case {
        const char *what;
        std::string text;
        int code;
        const char *section;
    } cases[] = {
        {"class differs", ReplaceInSection(good_, "MAIN_ENTRY", "Type = 3", "Type = 2"),
         LOC_ERR_CLASS_MISMATCH, "MAIN_ENTRY"},
        {"Type not a number", ReplaceInSection(good_, "MAIN_ENTRY", "Type = 3", "Type = three"),
         LOC_ERR_INI, "MAIN_ENTRY"},
        {"Type missing", ReplaceInSection(good_, "MAIN_DECO", "Type = 1", "Kind = 1"),
         LOC_ERR_MISSING, "MAIN_DECO"},
        {"fewer list labels",
         ReplaceInSection(good_, "MAIN_RING", "NumItemLabels = 4", "NumItemLabels = 3"),
         LOC_ERR_COUNT_MISMATCH, "MAIN_RING"},
        {"values for a numeric list",
         ReplaceInSection(good_, "MAIN_RING", "NumItemValues = 0", "NumItemValues = 4"),
         LOC_ERR_COUNT_MISMATCH, "MAIN_RING"},
        {"graph right axis count",
         ReplaceInSection(good_, "MAIN_GRAPH", "RYitems = 1", "RYitems = 2"),
         LOC_ERR_COUNT_MISMATCH, "MAIN_GRAPH"},
        {"strip X count", ReplaceInSection(good_, "MAIN_STRIP", "Xitems = 2", "Xitems = 0"),
         LOC_ERR_COUNT_MISMATCH, "MAIN_STRIP"},
        {"table columns", ReplaceInSection(good_, "MAIN_TABLE", "Cols = 3", "Cols = 2"),
         LOC_ERR_COUNT_MISMATCH, "MAIN_TABLE"},
        {"table rows", ReplaceInSection(good_, "MAIN_TABLE", "Rows = 2", "Rows = 3"),
         LOC_ERR_COUNT_MISMATCH, "MAIN_TABLE"},
        {"missing control section", RemoveSection(good_, "MAIN_STRIP"), LOC_ERR_MISSING,
         "MAIN_STRIP"},
        {"class-2 Flags of 2 bytes",
         ReplaceInSection(good_, "MAIN_BUTTON", "Flags = \"@f\"", "Flags = \"Dff\""),
         LOC_ERR_MISSING, "MAIN_BUTTON"},
        {"table Flags of 11 bytes",
         ReplaceInSection(good_, "MAIN_TABLE",
                          "Flags = \"" + DataText(std::vector<unsigned char>(12, 'v')) + "\"",
                          "Flags = \"" + DataText(std::vector<unsigned char>(11, 'v')) + "\""),
         LOC_ERR_MISSING, "MAIN_TABLE"},
        {"panel Flags of 2 bytes",
         ReplaceInSection(good_, "MAIN", "Flags = \"@f\"", "Flags = \"Dff\""), LOC_ERR_INI, "MAIN"},
        {"panel title missing", ReplaceInSection(good_, "MAIN", "Title =", "Titel ="),
         LOC_ERR_MISSING, "MAIN"},
        {"a valid slot without its key",
         ReplaceInSection(good_, "MAIN_TABLE", "Cell(2,1) =", "Cell(9,9) ="), LOC_ERR_MISSING,
         "MAIN_TABLE"},
        {"list value key missing",
         ReplaceInSection(good_, "MAIN_LIST", "ItemVal_2 =", "ItemVal_9 ="), LOC_ERR_MISSING,
         "MAIN_LIST"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ReadPanel(c.text), c.code) << c.what;
        EXPECT_STREQ(LangFileLastFailedSection(), c.section) << c.what;
        FreeDataForPNLAndCTRLs(&trees_.pnl, 1, 1);
    }
}

TEST_F(LangFileErrors, SlotsMarkedUnusedNeedNoKey) {
    std::string text = ReplaceInSection(good_, "MAIN_BUTTON", "Flags = \"@f\"", "Flags = \"@e\"");
    text = ReplaceInSection(text, "MAIN_BUTTON", "Label =", "Other =");
    ASSERT_EQ(ReadPanel(text), 0);
    const BASICSTRS *button = CtrlAt(&trees_.pnl, 2)->localStrs.pbasic;
    EXPECT_EQ(button->flags[0], SLOT_UNUSED);
    EXPECT_EQ(button->label, nullptr);
}

TEST_F(LangFileErrors, TableCellsAreKeyedColumnFirst) {
    // 2 rows x 3 columns: 12 flag bytes; the writer puts each column label before its cells.
    const size_t table = good_.find("[MAIN_TABLE]");
    ASSERT_NE(table, std::string::npos);
    EXPECT_NE(
        good_.find("Flags = \"" + DataText(std::vector<unsigned char>(12, 'v')) + "\"", table),
        std::string::npos);
    const char *order[] = {"Label =",   "RowLabel_1", "RowLabel_2", "ColLabel_1",
                           "Cell(1,1)", "Cell(1,2)",  "ColLabel_2", "Cell(2,1)",
                           "Cell(2,2)", "ColLabel_3", "Cell(3,1)",  "Cell(3,2)"};
    size_t at = table;
    for (const char *key : order) {
        const size_t next = good_.find(key, at);
        ASSERT_NE(next, std::string::npos) << key;
        at = next;
    }
    ASSERT_EQ(ReadPanel(good_), 0);
    // Column-major storage: column 2, row 1 is cell index 2.
    const TABLESTRS *cells = CtrlAt(&trees_.pnl, 10)->localStrs.ptable;
    EXPECT_NE(std::string(cells->cells[2]).find("MAIN_TABLE/Cell(2,1) "), std::string::npos);
    EXPECT_NE(std::string(cells->cells[1]).find("MAIN_TABLE/Cell(1,2) "), std::string::npos);
}

TEST_F(LangFileErrors, MenuSections) {
    EXPECT_EQ(ReadMenus(RemoveSection(good_, "BAR_FILE_MORE_DEEP")), LOC_ERR_MISSING);
    EXPECT_STREQ(LangFileLastFailedSection(), "BAR_FILE_MORE_DEEP");
    FreeDataForMENUBARAndMENUITEMs(&trees_.bar, 1, 1);
    EXPECT_EQ(ReadMenus(ReplaceInSection(good_, "BAR_HELP", "Flags = \"@f\"", "Flags = \"Dff\"")),
              LOC_ERR_INI);
    FreeDataForMENUBARAndMENUITEMs(&trees_.bar, 1, 1);
    EXPECT_EQ(ReadMenus(ReplaceInSection(good_, "BAR_FILE_SAVE", "Name =", "Nam =")),
              LOC_ERR_MISSING);
    FreeDataForMENUBARAndMENUITEMs(&trees_.bar, 1, 1);
    // The panel sections are not needed for the menu bar, nor the menu sections for the panel.
    std::string menusOnly = RemoveSection(good_, "MAIN");
    EXPECT_EQ(ReadMenus(menusOnly), 0);
    std::string panelOnly = RemoveSection(RemoveSection(good_, "BAR_HELP"), "BAR_FILE");
    EXPECT_EQ(ReadPanel(panelOnly), 0);
}

TEST(UiObjectTree, ReleaseTwiceIsHarmlessAndClearsTheRoots) {
    PNL pnl{};
    BuildAllClassesPanel(&pnl);
    for (int i = 1; i <= ListNumItems(pnl.controls); ++i)
        ASSERT_EQ(AllocTreeSpaceForCTRL(CtrlAt(&pnl, i)), 0);
    ASSERT_EQ(AllocTreeSpaceForPNL(&pnl), 0);
    FillTranslations(&pnl);
    FreeDataForPNLAndCTRLs(&pnl, 1, 1);
    EXPECT_EQ(pnl.controls, nullptr);
    EXPECT_EQ(pnl.plocalStrs, nullptr);
    EXPECT_EQ(pnl.name, nullptr);
    EXPECT_EQ(pnl.treeIds, nullptr);
    FreeDataForPNLAndCTRLs(&pnl, 1, 1);

    MENUBAR bar{};
    BuildMenuBar(&bar);
    ASSERT_EQ(AllocTreeSpaceForMENUBAR(&bar), 0);
    ASSERT_EQ(AllocTreeSpaceForMENUITEM(ItemAt(bar.menus, 1)), 0);
    FreeDataForMENUBARAndMENUITEMs(&bar, 1, 1);
    EXPECT_EQ(bar.menus, nullptr);
    EXPECT_EQ(bar.name, nullptr);
    EXPECT_EQ(bar.treeIds, nullptr);
    FreeDataForMENUBARAndMENUITEMs(&bar, 1, 1);
}

TEST(UiObjectTree, SlotsDescriptionsAndNavigation) {
    Trees t;
    BuildAllClassesPanel(&t.pnl);
    // One identifier per slot: graph 4 + 3 + 2 + 1, table 1 + 2 + 3 + 6, numeric list 1 + 4.
    const int expectedSlots[] = {0, 1, 2, 1, 3, 10, 7, 7, 5, 12};
    for (int i = 1; i <= ListNumItems(t.pnl.controls); ++i) {
        CTRL *ctrl = CtrlAt(&t.pnl, i);
        EXPECT_EQ(CtrlNumSlots(ctrl), expectedSlots[i - 1]) << ctrl->name;
        ASSERT_EQ(AllocTreeSpaceForCTRL(ctrl), 0);
        EXPECT_EQ(ctrl->treeIds->numIds, expectedSlots[i - 1]);
        FreeTreeSpaceForCTRL(ctrl);
        FreeTreeSpaceForCTRL(ctrl);
        EXPECT_EQ(ctrl->treeIds, nullptr);
    }
    // No arrays for empty axes: the graph's right axis has one item, a graph built with none
    // has no right-axis array at all.
    PNL empty{};
    InitPanel(&empty, "E");
    AddCtrl(&empty, "G", CTRL_CLASS_GRAPH, 2, 0, 0);
    EXPECT_EQ(CtrlAt(&empty, 1)->localStrs.pgraph->ryItems, nullptr);
    EXPECT_EQ(CtrlAt(&empty, 1)->localStrs.pgraph->lyItems, nullptr);
    EXPECT_NE(CtrlAt(&empty, 1)->localStrs.pgraph->xItems, nullptr);
    FreeDataForPNLAndCTRLs(&empty, 1, 1);

    std::set<std::string> descriptions;
    std::vector<std::string> graph;
    for (const SlotSnap &s : Snapshot(&t.pnl)) {
        descriptions.insert(s.description);
        if (s.section == "MAIN_GRAPH") graph.push_back(s.key + "=" + s.description);
    }
    const std::vector<std::string> expectedGraph = {"Label=Control label",
                                                    "Xname=X axis name",
                                                    "LYname=Left Y axis name",
                                                    "RYname=Right Y axis name",
                                                    "Xitem_0=X axis item 0 label",
                                                    "Xitem_1=X axis item 1 label",
                                                    "Xitem_2=X axis item 2 label",
                                                    "LYitem_0=Left Y axis item 0 label",
                                                    "LYitem_1=Left Y axis item 1 label",
                                                    "RYitem_0=Right Y axis item 0 label"};
    EXPECT_EQ(graph, expectedGraph);
    for (const char *d :
         {"Panel title", "Default value", "On text", "Off text", "Y axis item 1 label",
          "List item 2 label", "List item 2 value", "Row 2 label", "Column 3 label", "Cell (3, 2)"})
        EXPECT_EQ(descriptions.count(d), 1u) << d;

    MENUBAR bar{};
    BuildMenuBar(&bar);
    MENUITEM *file = ItemAt(bar.menus, 1);
    MENUITEM *deep = ItemAt(ItemAt(file->children, 2)->children, 1);
    EXPECT_EQ(GetMENUBARFromMENUITEM(deep), &bar);
    EXPECT_EQ(GetMenubarHandleFromMENUITEM(file), bar.menuBar);
    std::vector<std::string> sections;
    for (const SlotSnap &s : Snapshot(&bar))
        sections.push_back(s.section);
    const std::vector<std::string> expectedSections = {"BAR_FILE", "BAR_FILE_SAVE", "BAR_FILE_MORE",
                                                       "BAR_FILE_MORE_DEEP", "BAR_HELP"};
    EXPECT_EQ(sections, expectedSections);
    FreeDataForMENUBARAndMENUITEMs(&bar, 1, 1);
}

TEST(LocalizationErrors, LocalCodesBecomeRunTimeCodes) {
    const std::pair<int, int> table[] = {{-1, -12},   {-2, -65},  {-3, -6000}, {-4, -6000},
                                         {-5, -24},   {-6, -24},  {-7, -45},   {-8, -46},
                                         {-9, -6000}, {-10, -93}, {-11, -94},  {-12, -12},
                                         {0, 0},      {3, 3},     {-94, -94},  {-201, -201}};
    for (const auto &[local, runtime] : table)
        EXPECT_EQ(TranslateLocalizationError(local), runtime) << local;
}

// Every allocation of the readers, the writer and the enumeration made to fail in turn: each
// run either succeeds with the full result or fails with an out-of-memory code, never crashes
// and never leaks (the leak checker runs with this suite).
TEST(AllocationFailures, ReadersWriterAndEnumerationFailCleanly) {
    TempDir dir;
    Trees source;
    BuildAllClassesPanel(&source.pnl);
    BuildMenuBar(&source.bar);
    FillTranslations(&source.pnl);
    FillTranslations(&source.bar);
    const std::string path = dir.file("a.lng");
    ASSERT_EQ(exportToLangFile({&source.pnl}, {&source.bar}, path), 0);
    const auto expectedPanel = Snapshot(&source.pnl);
    const auto expectedBar = Snapshot(&source.bar);

    int failures = 0;
    for (int skip = 0;; ++skip) {
        Trees t;
        BuildAllClassesPanel(&t.pnl);
        BuildMenuBar(&t.bar);
        LocTestFailAllocations(skip, 1);
        const int panelRc = LangFileToPNLAndCTRLLocalStrs(path.c_str(), &t.pnl);
        const int barRc = LangFileToMENUBARAndMENUITEMLocalStrs(path.c_str(), &t.bar);
        const bool injected = LocTestInjectedFailures() > 0;
        LocTestFailAllocations(0, 0);
        for (int rc : {panelRc, barRc})
            EXPECT_TRUE(rc == 0 || rc == LOC_ERR_NO_MEMORY || rc == RT_ERR_OUT_OF_MEMORY) << rc;
        if (panelRc == 0) {
            EXPECT_EQ(Snapshot(&t.pnl), expectedPanel);
        }
        if (barRc == 0) {
            EXPECT_EQ(Snapshot(&t.bar), expectedBar);
        }
        if (!injected) {
            EXPECT_EQ(panelRc, 0);
            EXPECT_EQ(barRc, 0);
            break;
        }
        EXPECT_TRUE(panelRc != 0 || barRc != 0) << "an injected failure went unreported";
        ++failures;
    }
    EXPECT_GT(failures, 20);

    // The writer: a failure before the file is written leaves no file.
    for (int skip = 0;; ++skip) {
        const std::string out = dir.file("w" + std::to_string(skip) + ".lng");
        LocTestFailAllocations(skip, 1);
        const int rc = exportToLangFile({&source.pnl}, {&source.bar}, out);
        const bool injected = LocTestInjectedFailures() > 0;
        LocTestFailAllocations(0, 0);
        if (!injected) {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(readFile(out), readFile(path));
            break;
        }
        EXPECT_EQ(rc, LOC_ERR_NO_MEMORY);
        EXPECT_FALSE(std::ifstream(out).good()) << out;
    }

    // The INI object itself running out of memory while reading.
    for (int skip = 0; skip < 400; ++skip) {
        Trees t;
        BuildAllClassesPanel(&t.pnl);
        ListTestFailAllocations(skip, 1);
        const int rc = LangFileToPNLAndCTRLLocalStrs(path.c_str(), &t.pnl);
        ListTestFailAllocations(0, 0);
        EXPECT_LE(rc, 0);
        if (rc == 0) {
            EXPECT_EQ(Snapshot(&t.pnl), expectedPanel);
        }
    }

    // Enumeration stops with -12 when a section name cannot be built.
    LocTestFailAllocations(0, 1);
    std::vector<SlotSnap> partial;
    EXPECT_EQ(EnumPNLAndCTRLLocals(&source.pnl, SnapCallback, &partial), -12);
    LocTestFailAllocations(0, 0);
}

// Big panels are read through sorted lookups; a section or item that appears twice must still
// be taken from its first appearance, as with the plain linear lookups.
TEST(LangFileRoundTrip, BigPanelsReadTheSameAndTheFirstOfRepeatedNamesWins) {
    TempDir dir;
    Trees source;
    InitPanel(&source.pnl, "BIG");
    for (int i = 0; i < 100; ++i)
        AddCtrl(&source.pnl, ("C" + std::to_string(i)).c_str(),
                i % 3 == 0 ? CTRL_CLASS_LIST : CTRL_CLASS_STATE, 2, 2);
    FillTranslations(&source.pnl, true);
    const std::string path = dir.file("big.lng");
    ASSERT_EQ(exportToLangFile({&source.pnl}, {}, path), 0);
    const std::string good = readFile(path);
    {
        Trees read;
        InitPanel(&read.pnl, "BIG");
        for (int i = 0; i < 100; ++i)
            AddCtrl(&read.pnl, ("C" + std::to_string(i)).c_str(),
                    i % 3 == 0 ? CTRL_CLASS_LIST : CTRL_CLASS_STATE, 2, 2);
        ASSERT_EQ(LangFileToPNLAndCTRLLocalStrs(path.c_str(), &read.pnl), 0);
        EXPECT_EQ(Snapshot(&read.pnl), Snapshot(&source.pnl));
    }
    const std::string firstLabel = CtrlAt(&source.pnl, 6)->localStrs.pstate->label;
    const std::string repeats[] = {
        // the whole section again, later in the file, with another label
        good + "[big_c5]\r\nType = 5\r\nFlags = \"Efff\"\r\nLabel = \"second\"\r\nOn = "
               "\"x\"\r\nOff = \"y\"\r\n",
        // the label item again inside its own section
        ReplaceInSection(good, "BIG_C5", "Off = ", "Label = \"second\"\r\nOff = "),
    };
    for (const std::string &text : repeats) {
        writeFile(path, text);
        Trees read;
        InitPanel(&read.pnl, "BIG");
        for (int i = 0; i < 100; ++i)
            AddCtrl(&read.pnl, ("C" + std::to_string(i)).c_str(),
                    i % 3 == 0 ? CTRL_CLASS_LIST : CTRL_CLASS_STATE, 2, 2);
        ASSERT_EQ(LangFileToPNLAndCTRLLocalStrs(path.c_str(), &read.pnl), 0);
        const char *label = CtrlAt(&read.pnl, 6)->localStrs.pstate->label;
        ASSERT_NE(label, nullptr);
        EXPECT_STREQ(label, firstLabel.c_str());
    }
}
