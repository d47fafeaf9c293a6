// The records of the object tree: creation, release, navigation and tree identifiers. The string
// and counts records of a control are laid out by its class (uiobjects_internal.h). See
// uiobjects.h.
#include "localization/uiobjects.h"

#include <cstdlib>
#include <cstring>

#include "localization/loc_internal.h"
#include "toolbox/toolbox.h"

using namespace loc;

// ---- Record creation ----------------------------------------------------------------------------

namespace {

template <typename T> T *NewRecord() {
    return static_cast<T *>(Calloc(1, sizeof(T)));
}

// A zero-filled array of n string pointers; null (and success) for n == 0.
bool NewStrArray(int n, char ***out) {
    *out = nullptr;
    if (n <= 0) return true;
    *out = static_cast<char **>(Calloc(static_cast<size_t>(n), sizeof(char *)));
    return *out != nullptr;
}

unsigned char *NewFlags(int n) {
    auto *flags = static_cast<unsigned char *>(Malloc(static_cast<size_t>(n)));
    if (flags) memset(flags, SLOT_UNUSED, static_cast<size_t>(n));
    return flags;
}

void FreeStrArray(char **&array, int n) {
    if (!array) return;
    for (int i = 0; i < n; ++i)
        free(array[i]);
    free(array);
    array = nullptr;
}

void FreeStrs(int type, const Counts &n, CTRLSTRS &strs) {
    const CtrlClassDef *def = FindClass(type);
    if (!def || def->recordSize == 0) return;
    void *record = StrsPtr(type, strs);
    if (!record) return;
    for (int i = 0; i < def->numFixed; ++i)
        free(*FixedString(def->fixed[i], record));
    if (!def->flagsInline) free(*FlagBlock(*def, record));
    for (int b = 0; b < def->numBlocks; ++b)
        FreeStrArray(*BlockArray(def->blocks[b], record), BlockLength(def->blocks[b], n));
    free(record);
    SetStrsPtr(strs, nullptr);
}

// One string record of the class, sized by the counts, with every flag 'u'; 0 or -12 (nothing
// left allocated).
int NewStrs(int type, const Counts &n, CTRLSTRS *strs) {
    *strs = CTRLSTRS{};
    const CtrlClassDef &def = ClassOf(type);
    if (def.recordSize == 0) return 0;
    void *record = Calloc(1, def.recordSize);
    if (!record) return RT_ERR_OUT_OF_MEMORY;
    SetStrsPtr(*strs, record);
    bool ok = true;
    if (def.flagsInline)
        memset(InlineFlags(def, record), SLOT_UNUSED, static_cast<size_t>(def.numFixed));
    else
        ok = (*FlagBlock(def, record) = NewFlags(NumSlots(def, n))) != nullptr;
    for (int b = 0; ok && b < def.numBlocks; ++b)
        ok = NewStrArray(BlockLength(def.blocks[b], n), BlockArray(def.blocks[b], record));
    if (!ok) {
        FreeStrs(type, n, *strs);
        return RT_ERR_OUT_OF_MEMORY;
    }
    return 0;
}

// The local record, and with withDefaults the default one, of a panel title or menu name.
template <typename Strs> int NewTextStrs(Strs *&local, Strs *&dflt, int withDefaults) {
    if (!local) {
        if (!(local = NewRecord<Strs>())) return RT_ERR_OUT_OF_MEMORY;
        local->flag = SLOT_UNUSED;
    }
    if (withDefaults && !dflt) {
        if (!(dflt = NewRecord<Strs>())) return RT_ERR_OUT_OF_MEMORY;
        dflt->flag = SLOT_UNUSED;
    }
    return 0;
}

} // namespace

int AllocTitleStrsForPNL(PNL *pnl, int withDefaults) {
    DoAssert(pnl != nullptr, __FILE__, __LINE__, "pnl");
    return NewTextStrs(pnl->plocalStrs, pnl->pdefaultStrs, withDefaults);
}

int AllocNameStrsForMENUITEM(MENUITEM *item, int withDefaults) {
    DoAssert(item != nullptr, __FILE__, __LINE__, "pmenuItem");
    return NewTextStrs(item->plocalStrs, item->pdefaultStrs, withDefaults);
}

int AllocCountsForCTRL(CTRL *ctrl) {
    DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
    const CtrlClassDef *def = FindClass(ctrl->type);
    if (!def || def->numCounts == 0 || CountsPtr(ctrl)) return 0;
    void *record = Calloc(static_cast<size_t>(def->numCounts), sizeof(int));
    if (!record) return RT_ERR_OUT_OF_MEMORY;
    SetCountsPtr(ctrl, record);
    return 0;
}

int AllocStrsForCTRL(CTRL *ctrl, int withDefaults) {
    DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
    const Counts n = GetCounts(ctrl);
    if (!StrsPtr(ctrl->type, ctrl->localStrs)) {
        int rc = NewStrs(ctrl->type, n, &ctrl->localStrs);
        if (rc) return rc;
    }
    if (withDefaults && !StrsPtr(ctrl->type, ctrl->defaultStrs))
        return NewStrs(ctrl->type, n, &ctrl->defaultStrs);
    return 0;
}

// ---- Release ------------------------------------------------------------------------------------

namespace {

void FreeTreeIds(TREEIDS *&ids) {
    if (!ids) return;
    free(ids->ids);
    free(ids);
    ids = nullptr;
}

void FreeMenuItem(MENUITEM *item);

// Frees every menu item of a list (null: none) with everything under it, then the list.
void FreeMenuItemList(ListHandle &list, const char *nullItemMessage) {
    if (!list) return;
    const int n = ListNumItems(list);
    for (int i = 1; i <= n; ++i) {
        auto **item = static_cast<MENUITEM **>(ListGetPtrToItem(list, i));
        DoAssert(item != nullptr && *item != nullptr, __FILE__, __LINE__, nullItemMessage);
        FreeMenuItem(*item);
    }
    ListDispose(list);
    list = nullptr;
}

// Frees a menu item and everything under it.
void FreeMenuItem(MENUITEM *item) {
    FreeMenuItemList(item->children, "ppchildMenuItem");
    if (item->pdefaultStrs) free(item->pdefaultStrs->name);
    free(item->pdefaultStrs);
    if (item->plocalStrs) free(item->plocalStrs->name);
    free(item->plocalStrs);
    FreeTreeIds(item->treeIds);
    free(item->name);
    free(item);
}

} // namespace

void loc::FreeCtrlRecord(CTRL *ctrl) {
    const Counts n = GetCounts(ctrl);
    FreeStrs(ctrl->type, n, ctrl->defaultStrs);
    FreeStrs(ctrl->type, n, ctrl->localStrs);
    FreeTreeIds(ctrl->treeIds);
    free(CountsPtr(ctrl));
    ctrl->counts = CTRLCOUNTS{};
    free(ctrl->name);
    ctrl->name = nullptr;
}

CapturedTrees::~CapturedTrees() {
    for (PNL *p : panels) {
        FreeDataForPNLAndCTRLs(p, 1, 1);
        delete p;
    }
    for (MENUBAR *b : bars) {
        FreeDataForMENUBARAndMENUITEMs(b, 1, 1);
        delete b;
    }
}

void FreeDataForPNLAndCTRLs(PNL *pnl, int freeDefaults, int freeLocals) {
    if (!pnl) return;
    if (pnl->controls) {
        while (ListNumItems(pnl->controls) > 0) {
            auto *ctrl = static_cast<CTRL *>(ListGetPtrToItem(pnl->controls, LIST_POS_END));
            DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
            FreeCtrlRecord(ctrl);
            ListRemoveItem(pnl->controls, nullptr, LIST_POS_END);
        }
        ListDispose(pnl->controls);
        pnl->controls = nullptr;
    }
    if (freeDefaults && pnl->pdefaultStrs) {
        free(pnl->pdefaultStrs->title);
        free(pnl->pdefaultStrs);
        pnl->pdefaultStrs = nullptr;
    }
    if (freeLocals && pnl->plocalStrs) {
        free(pnl->plocalStrs->title);
        free(pnl->plocalStrs);
        pnl->plocalStrs = nullptr;
    }
    FreeTreeIds(pnl->treeIds);
    free(pnl->name);
    pnl->name = nullptr;
}

void FreeDataForMENUBARAndMENUITEMs(MENUBAR *menuBar, int freeDefaults, int freeLocals) {
    (void)freeDefaults; // menu records are destroyed here, so their strings always go with them
    (void)freeLocals;
    if (!menuBar) return;
    FreeMenuItemList(menuBar->menus, "ppmenuItem");
    FreeTreeIds(menuBar->treeIds);
    free(menuBar->name);
    menuBar->name = nullptr;
}

// ---- Navigation ---------------------------------------------------------------------------------

MENUBAR *GetMENUBARFromMENUITEM(MENUITEM *item) {
    DoAssert(item != nullptr, __FILE__, __LINE__, "pmenuItem");
    void *node = item->pparent;
    for (;;) {
        DoAssert(node != nullptr, __FILE__, __LINE__, "pparent");
        // Both records begin with their kind, so the first int tells them apart.
        if (*static_cast<int *>(node) == UIOBJ_KIND_MENUBAR) return static_cast<MENUBAR *>(node);
        node = static_cast<MENUITEM *>(node)->pparent;
    }
}

int GetMenubarHandleFromMENUITEM(MENUITEM *item) {
    return GetMENUBARFromMENUITEM(item)->menuBar;
}

// ---- Tree identifiers ---------------------------------------------------------------------------

static int NewTreeIds(int numIds, TREEIDS **out) {
    if (*out) return 0;
    auto *ids = NewRecord<TREEIDS>();
    if (!ids) return RT_ERR_OUT_OF_MEMORY;
    ids->numIds = numIds;
    if (numIds > 0 &&
        !(ids->ids = static_cast<int *>(Calloc(static_cast<size_t>(numIds), sizeof(int))))) {
        free(ids);
        return RT_ERR_OUT_OF_MEMORY;
    }
    *out = ids;
    return 0;
}

int AllocTreeSpaceForPNL(PNL *pnl) {
    return NewTreeIds(1, &pnl->treeIds);
}
int AllocTreeSpaceForCTRL(CTRL *ctrl) {
    return NewTreeIds(CtrlNumSlots(ctrl), &ctrl->treeIds);
}
int AllocTreeSpaceForMENUBAR(MENUBAR *menuBar) {
    return NewTreeIds(1, &menuBar->treeIds);
}
int AllocTreeSpaceForMENUITEM(MENUITEM *item) {
    return NewTreeIds(1, &item->treeIds);
}
void FreeTreeSpaceForPNL(PNL *pnl) {
    FreeTreeIds(pnl->treeIds);
}
void FreeTreeSpaceForCTRL(CTRL *ctrl) {
    FreeTreeIds(ctrl->treeIds);
}
void FreeTreeSpaceForMENUBAR(MENUBAR *menuBar) {
    FreeTreeIds(menuBar->treeIds);
}
void FreeTreeSpaceForMENUITEM(MENUITEM *item) {
    FreeTreeIds(item->treeIds);
}
