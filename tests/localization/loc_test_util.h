// Helpers of the localization tests: trees built without a loaded panel, and a flat snapshot of
// every localized slot of a tree for comparisons.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "localization/uiobjects.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace loctest {

using ks_test::readFile;
using ks_test::TempDir;
using ks_test::writeFile;

inline char *Dup(const char *s) {
    size_t n = strlen(s);
    char *p = static_cast<char *>(malloc(n + 1));
    memcpy(p, s, n + 1);
    return p;
}

// Appends a control of the given class and counts (a, b, c as in the counts records) to pnl,
// with empty records; returns its position.
inline int AddCtrl(PNL *pnl, const char *name, int type, int a = 0, int b = 0, int c = 0,
                   bool withDefaults = false) {
    if (!pnl->controls) pnl->controls = ListCreate(sizeof(CTRL));
    CTRL ctrl{};
    ctrl.kind = UIOBJ_KIND_CTRL;
    ctrl.panel = pnl;
    ctrl.control = ListNumItems(pnl->controls) + 2;
    ctrl.name = Dup(name);
    ctrl.type = type;
    AllocCountsForCTRL(&ctrl);
    switch (type) {
    case CTRL_CLASS_GRAPH:
        *ctrl.counts.pgraph = {a, b, c};
        break;
    case CTRL_CLASS_STRIP:
        *ctrl.counts.pstrip = {a, b};
        break;
    case CTRL_CLASS_LIST:
        *ctrl.counts.plist = {a, b};
        break;
    case CTRL_CLASS_TABLE:
        *ctrl.counts.ptable = {a, b};
        break;
    default:
        break;
    }
    AllocStrsForCTRL(&ctrl, withDefaults);
    ListInsertItem(pnl->controls, &ctrl, LIST_POS_END);
    return ListNumItems(pnl->controls);
}

inline void InitPanel(PNL *pnl, const char *name) {
    *pnl = PNL{};
    pnl->kind = UIOBJ_KIND_PNL;
    pnl->panel = 1;
    pnl->name = Dup(name);
    AllocTitleStrsForPNL(pnl, 0);
}

inline MENUITEM *AddMenuItem(ListHandle *list, void *parent, const char *name, int id) {
    if (!*list) *list = ListCreate(sizeof(MENUITEM *));
    auto *item = static_cast<MENUITEM *>(calloc(1, sizeof(MENUITEM)));
    item->kind = UIOBJ_KIND_MENUITEM;
    item->pparent = parent;
    item->id = id;
    item->name = Dup(name);
    AllocNameStrsForMENUITEM(item, 0);
    ListInsertItem(*list, &item, LIST_POS_END);
    return item;
}

inline void InitMenuBar(MENUBAR *bar, const char *name) {
    *bar = MENUBAR{};
    bar->kind = UIOBJ_KIND_MENUBAR;
    bar->menuBar = 1;
    bar->name = Dup(name);
    bar->menus = ListCreate(sizeof(MENUITEM *));
}

// The all-classes panel of the file tests: every class, a graph with three item axes, a list with
// string values, a numeric list, a 2 x 3 table.
inline void BuildAllClassesPanel(PNL *pnl, const char *name = "MAIN") {
    InitPanel(pnl, name);
    AddCtrl(pnl, "DECO", CTRL_CLASS_NONE);
    AddCtrl(pnl, "BUTTON", CTRL_CLASS_BASIC);
    AddCtrl(pnl, "ENTRY", CTRL_CLASS_STRING);
    AddCtrl(pnl, "MSG", CTRL_CLASS_MSG);
    AddCtrl(pnl, "SWITCH", CTRL_CLASS_STATE);
    AddCtrl(pnl, "GRAPH", CTRL_CLASS_GRAPH, 3, 2, 1);
    AddCtrl(pnl, "STRIP", CTRL_CLASS_STRIP, 2, 2);
    AddCtrl(pnl, "LIST", CTRL_CLASS_LIST, 3, 3);
    AddCtrl(pnl, "RING", CTRL_CLASS_LIST, 4, 0);
    AddCtrl(pnl, "TABLE", CTRL_CLASS_TABLE, 2, 3);
}

inline void BuildMenuBar(MENUBAR *bar, const char *name = "BAR") {
    InitMenuBar(bar, name);
    MENUITEM *file = AddMenuItem(&bar->menus, bar, "FILE", 2);
    AddMenuItem(&file->children, file, "SAVE", 3);
    MENUITEM *more = AddMenuItem(&file->children, file, "MORE", 4);
    AddMenuItem(&more->children, more, "DEEP", 5);
    AddMenuItem(&bar->menus, bar, "HELP", 6);
}

// One localized slot as seen through the enumeration.
struct SlotSnap {
    std::string section, key, description;
    int flag;
    bool hasString;
    std::string text;
    bool operator==(const SlotSnap &o) const {
        return section == o.section && key == o.key && description == o.description &&
               flag == o.flag && hasString == o.hasString && text == o.text;
    }
};

inline int SnapCallback(const LOCALSTR *s, void *data) {
    auto *out = static_cast<std::vector<SlotSnap> *>(data);
    out->push_back({s->section, s->key, s->description, *s->localFlag, *s->localString != nullptr,
                    *s->localString ? *s->localString : ""});
    return 0;
}

inline std::vector<SlotSnap> Snapshot(PNL *pnl) {
    std::vector<SlotSnap> out;
    EnumPNLAndCTRLLocals(pnl, SnapCallback, &out);
    return out;
}

inline std::vector<SlotSnap> Snapshot(MENUBAR *bar) {
    std::vector<SlotSnap> out;
    EnumMENUBARAndMENUITEMLocals(bar, SnapCallback, &out);
    return out;
}

// Gives every slot a translation that names it, except every third slot, which stays 'u'. The
// texts carry the characters the file format must escape and survive.
struct FillState {
    int counter = 0;
    bool leaveSomeUnused = true;
};

inline int FillCallback(const LOCALSTR *s, void *data) {
    auto *state = static_cast<FillState *>(data);
    int *counter = &state->counter;
    if ((*counter)++ % 3 == 2 && state->leaveSomeUnused) return 0;
    std::string text =
        std::string(s->section) + "/" + s->key + " \"q\" \\ tab\there\nline2 \xc3\xa9";
    if (*counter % 5 == 0) text += std::string(120, 'x'); // longer than one written line
    free(*s->localString);
    *s->localString = Dup(text.c_str());
    *s->localFlag = SLOT_VALID;
    return 0;
}

// Every third slot stays 'u' unless all is set.
inline void FillTranslations(PNL *pnl, bool all = false) {
    FillState state;
    state.leaveSomeUnused = !all;
    EnumPNLAndCTRLLocals(pnl, FillCallback, &state);
}

inline void FillTranslations(MENUBAR *bar, bool all = false) {
    FillState state;
    state.leaveSomeUnused = !all;
    EnumMENUBARAndMENUITEMLocals(bar, FillCallback, &state);
}

} // namespace loctest
