// The UI object tree: records, capture from the run-time, release, navigation, tree identifiers
// and enumeration. See uiobjects.h.
#include "localization/uiobjects.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "localization/loc_internal.h"
#include "platform/runtime.h"
#include "toolbox/core/toolbox.h"

// A run-time whose next-control or next-item chain loops would otherwise keep the capture going
// forever; no real panel or menu comes near these numbers.
static constexpr int kMaxControlsPerPanel = 100000;
static constexpr int kMaxMenuEntries = 100000;
static constexpr int kMaxSubmenuDepth = 32;

// ---- Test seam and shared helpers --------------------------------------------------------------

namespace {
int g_allocSkip = 0;
int g_allocFail = 0;
int g_rtSkip = 0;
int g_rtFail = 0;
int g_injected = 0;

bool InjectAllocFailure() {
    if (g_allocFail <= 0) return false;
    if (g_allocSkip > 0) {
        --g_allocSkip;
        return false;
    }
    --g_allocFail;
    ++g_injected;
    return true;
}

struct FreeDeleter {
    void operator()(void *p) const { free(p); }
};
using HeapText = std::unique_ptr<char, FreeDeleter>;
} // namespace

void LocTestFailAllocations(int skip, int count) {
    g_allocSkip = skip;
    g_allocFail = count;
    g_injected = 0;
}

void LocTestFailRuntimeCalls(int skip, int count) {
    g_rtSkip = skip;
    g_rtFail = count;
    g_injected = 0;
}

int LocTestInjectedFailures(void) {
    return g_injected;
}

namespace loc {

void *Malloc(size_t size) {
    if (InjectAllocFailure()) return nullptr;
    return malloc(size ? size : 1);
}

void *Calloc(size_t count, size_t size) {
    if (InjectAllocFailure()) return nullptr;
    return calloc(count ? count : 1, size ? size : 1);
}

char *StrDup(const char *text) {
    if (!text) text = "";
    size_t n = strlen(text);
    char *copy = static_cast<char *>(Malloc(n + 1));
    if (copy) memcpy(copy, text, n + 1);
    return copy;
}

bool InjectRuntimeFailure() {
    if (g_rtFail <= 0) return false;
    if (g_rtSkip > 0) {
        --g_rtSkip;
        return false;
    }
    --g_rtFail;
    ++g_injected;
    return true;
}

char *JoinSection(const char *parent, const char *name) {
    if (!parent) parent = "";
    if (!name) name = "";
    size_t a = strlen(parent), b = strlen(name);
    char *s = static_cast<char *>(Malloc(a + b + 2));
    if (!s) return nullptr;
    memcpy(s, parent, a);
    s[a] = '_';
    memcpy(s + a + 1, name, b + 1);
    return s;
}

void *StrsPtr(int type, const CTRLSTRS &strs) {
    switch (type) {
    case CTRL_CLASS_NONE:
        return nullptr;
    case CTRL_CLASS_BASIC:
        return strs.pbasic;
    case CTRL_CLASS_STRING:
        return strs.pstring;
    case CTRL_CLASS_MSG:
        return strs.pmsg;
    case CTRL_CLASS_STATE:
        return strs.pstate;
    case CTRL_CLASS_GRAPH:
        return strs.pgraph;
    case CTRL_CLASS_STRIP:
        return strs.pstrip;
    case CTRL_CLASS_LIST:
        return strs.plist;
    case CTRL_CLASS_TABLE:
        return strs.ptable;
    }
    DoAssert(0, __FILE__, __LINE__, "unknown control class");
    return nullptr;
}

Counts GetCounts(const CTRL *ctrl) {
    Counts n;
    switch (ctrl->type) {
    case CTRL_CLASS_GRAPH:
        if (ctrl->counts.pgraph)
            n = {ctrl->counts.pgraph->numXItems, ctrl->counts.pgraph->numLYItems,
                 ctrl->counts.pgraph->numRYItems};
        break;
    case CTRL_CLASS_STRIP:
        if (ctrl->counts.pstrip)
            n = {ctrl->counts.pstrip->numXItems, ctrl->counts.pstrip->numYItems, 0};
        break;
    case CTRL_CLASS_LIST:
        if (ctrl->counts.plist)
            n = {ctrl->counts.plist->numLabels, ctrl->counts.plist->numValues, 0};
        break;
    case CTRL_CLASS_TABLE:
        if (ctrl->counts.ptable)
            n = {ctrl->counts.ptable->numRows, ctrl->counts.ptable->numCols, 0};
        break;
    default:
        break;
    }
    return n;
}

bool GetSlot(const CTRL *ctrl, const CTRLSTRS &strs, int k, SlotRef *ref) {
    *ref = SlotRef{};
    if (k < 0 || k >= CtrlNumSlots(ctrl) || !StrsPtr(ctrl->type, strs)) return false;
    const Counts n = GetCounts(ctrl);
    switch (ctrl->type) {
    case CTRL_CLASS_BASIC:
        *ref = {&strs.pbasic->flags[0], &strs.pbasic->label};
        return true;
    case CTRL_CLASS_STRING: {
        STRINGSTRS *s = strs.pstring;
        *ref = {&s->flags[k], k == 0 ? &s->label : &s->dfltValue};
        return true;
    }
    case CTRL_CLASS_MSG:
        *ref = {&strs.pmsg->flags[0], &strs.pmsg->text};
        return true;
    case CTRL_CLASS_STATE: {
        STATESTRS *s = strs.pstate;
        char **fixed[] = {&s->label, &s->onText, &s->offText};
        *ref = {&s->flags[k], fixed[k]};
        return true;
    }
    case CTRL_CLASS_GRAPH: {
        GRAPHSTRS *s = strs.pgraph;
        char **fixed[] = {&s->label, &s->xName, &s->lyName, &s->ryName};
        ref->flag = &s->flags[k];
        if (k < 4)
            ref->str = fixed[k];
        else if (k < 4 + n.a)
            ref->str = &s->xItems[k - 4];
        else if (k < 4 + n.a + n.b)
            ref->str = &s->lyItems[k - 4 - n.a];
        else
            ref->str = &s->ryItems[k - 4 - n.a - n.b];
        return true;
    }
    case CTRL_CLASS_STRIP: {
        STRIPSTRS *s = strs.pstrip;
        char **fixed[] = {&s->label, &s->xName, &s->yName};
        ref->flag = &s->flags[k];
        if (k < 3)
            ref->str = fixed[k];
        else if (k < 3 + n.a)
            ref->str = &s->xItems[k - 3];
        else
            ref->str = &s->yItems[k - 3 - n.a];
        return true;
    }
    case CTRL_CLASS_LIST: {
        LISTSTRS *s = strs.plist;
        ref->flag = &s->flags[k];
        if (k == 0)
            ref->str = &s->label;
        else if (k <= n.a)
            ref->str = &s->itemLabels[k - 1];
        else
            ref->str = &s->itemValues[k - 1 - n.a];
        return true;
    }
    case CTRL_CLASS_TABLE: {
        TABLESTRS *s = strs.ptable;
        const int rows = n.a, cols = n.b;
        ref->flag = &s->flags[k];
        if (k == 0)
            ref->str = &s->label;
        else if (k <= rows)
            ref->str = &s->rowLabels[k - 1];
        else if (k <= rows + cols)
            ref->str = &s->colLabels[k - 1 - rows];
        else
            ref->str = &s->cells[k - 1 - rows - cols];
        return true;
    }
    }
    return false;
}

// Cell slot index within the cell block -> (column, row), both 1-based.
static void CellOfIndex(int index, int rows, int *col, int *row) {
    *col = index / rows + 1;
    *row = index % rows + 1;
}

void SlotKey(const CTRL *ctrl, int k, char (&key)[kKeySize]) {
    const Counts n = GetCounts(ctrl);
    key[0] = '\0';
    switch (ctrl->type) {
    case CTRL_CLASS_BASIC:
        snprintf(key, sizeof key, "Label");
        break;
    case CTRL_CLASS_STRING:
        snprintf(key, sizeof key, "%s", k == 0 ? "Label" : "Default");
        break;
    case CTRL_CLASS_MSG:
        snprintf(key, sizeof key, "Default");
        break;
    case CTRL_CLASS_STATE: {
        const char *keys[] = {"Label", "On", "Off"};
        snprintf(key, sizeof key, "%s", keys[k]);
        break;
    }
    case CTRL_CLASS_GRAPH: {
        const char *keys[] = {"Label", "Xname", "LYname", "RYname"};
        if (k < 4)
            snprintf(key, sizeof key, "%s", keys[k]);
        else if (k < 4 + n.a)
            snprintf(key, sizeof key, "Xitem_%d", k - 4);
        else if (k < 4 + n.a + n.b)
            snprintf(key, sizeof key, "LYitem_%d", k - 4 - n.a);
        else
            snprintf(key, sizeof key, "RYitem_%d", k - 4 - n.a - n.b);
        break;
    }
    case CTRL_CLASS_STRIP: {
        const char *keys[] = {"Label", "Xname", "LYname"};
        if (k < 3)
            snprintf(key, sizeof key, "%s", keys[k]);
        else if (k < 3 + n.a)
            snprintf(key, sizeof key, "Xitem_%d", k - 3);
        else
            snprintf(key, sizeof key, "LYitem_%d", k - 3 - n.a);
        break;
    }
    case CTRL_CLASS_LIST:
        if (k == 0)
            snprintf(key, sizeof key, "Label");
        else if (k <= n.a)
            snprintf(key, sizeof key, "ItemLabel_%d", k - 1);
        else
            snprintf(key, sizeof key, "ItemVal_%d", k - 1 - n.a);
        break;
    case CTRL_CLASS_TABLE:
        if (k == 0) {
            snprintf(key, sizeof key, "Label");
        } else if (k <= n.a) {
            snprintf(key, sizeof key, "RowLabel_%d", k);
        } else if (k <= n.a + n.b) {
            snprintf(key, sizeof key, "ColLabel_%d", k - n.a);
        } else {
            int col = 0, row = 0;
            CellOfIndex(k - 1 - n.a - n.b, n.a, &col, &row);
            snprintf(key, sizeof key, "Cell(%d,%d)", col, row);
        }
        break;
    default:
        break;
    }
}

void SlotDescription(const CTRL *ctrl, int k, char (&desc)[kDescSize]) {
    const Counts n = GetCounts(ctrl);
    desc[0] = '\0';
    switch (ctrl->type) {
    case CTRL_CLASS_BASIC:
        snprintf(desc, sizeof desc, "Control label");
        break;
    case CTRL_CLASS_STRING:
        snprintf(desc, sizeof desc, "%s", k == 0 ? "Control label" : "Default value");
        break;
    case CTRL_CLASS_MSG:
        snprintf(desc, sizeof desc, "Default value");
        break;
    case CTRL_CLASS_STATE: {
        const char *texts[] = {"Control label", "On text", "Off text"};
        snprintf(desc, sizeof desc, "%s", texts[k]);
        break;
    }
    case CTRL_CLASS_GRAPH: {
        const char *texts[] = {"Control label", "X axis name", "Left Y axis name",
                               "Right Y axis name"};
        if (k < 4)
            snprintf(desc, sizeof desc, "%s", texts[k]);
        else if (k < 4 + n.a)
            snprintf(desc, sizeof desc, "X axis item %d label", k - 4);
        else if (k < 4 + n.a + n.b)
            snprintf(desc, sizeof desc, "Left Y axis item %d label", k - 4 - n.a);
        else
            snprintf(desc, sizeof desc, "Right Y axis item %d label", k - 4 - n.a - n.b);
        break;
    }
    case CTRL_CLASS_STRIP: {
        const char *texts[] = {"Control label", "X axis name", "Left Y axis name"};
        if (k < 3)
            snprintf(desc, sizeof desc, "%s", texts[k]);
        else if (k < 3 + n.a)
            snprintf(desc, sizeof desc, "X axis item %d label", k - 3);
        else
            snprintf(desc, sizeof desc, "Y axis item %d label", k - 3 - n.a);
        break;
    }
    case CTRL_CLASS_LIST:
        if (k == 0)
            snprintf(desc, sizeof desc, "Control label");
        else if (k <= n.a)
            snprintf(desc, sizeof desc, "List item %d label", k - 1);
        else
            snprintf(desc, sizeof desc, "List item %d value", k - 1 - n.a);
        break;
    case CTRL_CLASS_TABLE:
        if (k == 0) {
            snprintf(desc, sizeof desc, "Control label");
        } else if (k <= n.a) {
            snprintf(desc, sizeof desc, "Row %d label", k);
        } else if (k <= n.a + n.b) {
            snprintf(desc, sizeof desc, "Column %d label", k - n.a);
        } else {
            int col = 0, row = 0;
            CellOfIndex(k - 1 - n.a - n.b, n.a, &col, &row);
            snprintf(desc, sizeof desc, "Cell (%d, %d)", col, row);
        }
        break;
    default:
        break;
    }
}

int SlotAtOrder(const CTRL *ctrl, int pos, bool readOrder) {
    const Counts n = GetCounts(ctrl);
    if (pos <= 0) return pos;
    if (ctrl->type == CTRL_CLASS_LIST && readOrder && n.b > 0) {
        const int q = pos - 1, i = q / 2;
        return (q % 2 == 0) ? 1 + i : 1 + n.a + i;
    }
    if (ctrl->type == CTRL_CLASS_TABLE) {
        const int rows = n.a, cols = n.b;
        if (pos <= rows) return pos;
        const int q = pos - rows - 1, c = q / (rows + 1) + 1, j = q % (rows + 1);
        return j == 0 ? rows + c : rows + cols + (c - 1) * rows + j;
    }
    return pos;
}

} // namespace loc

using namespace loc;

// ---- Classes -----------------------------------------------------------------------------------

int CtrlClassFromStyle(int style) {
    if ((style >= 100 && style <= 114) || style == 130 || (style >= 200 && style <= 204) ||
        (style >= 220 && style <= 230) || style == 235 || (style >= 260 && style <= 263) ||
        style == 480 || style == 490 || style == 500)
        return CTRL_CLASS_BASIC;
    if (style == 150 || style == 170) return CTRL_CLASS_STRING;
    if (style == 160) return CTRL_CLASS_MSG;
    if ((style >= 231 && style <= 234) || (style >= 280 && style <= 285)) return CTRL_CLASS_STATE;
    if (style == 440) return CTRL_CLASS_GRAPH;
    if (style == 460) return CTRL_CLASS_STRIP;
    if ((style >= 300 && style <= 318) || style == 340) return CTRL_CLASS_LIST;
    if (style >= 380 && style <= 394) return CTRL_CLASS_NONE;
    if (style == 510) return CTRL_CLASS_TABLE;
    return 0;
}

int CtrlNumSlots(const CTRL *ctrl) {
    const Counts n = GetCounts(ctrl);
    switch (ctrl->type) {
    case CTRL_CLASS_NONE:
        return 0;
    case CTRL_CLASS_BASIC:
        return 1;
    case CTRL_CLASS_STRING:
        return 2;
    case CTRL_CLASS_MSG:
        return 1;
    case CTRL_CLASS_STATE:
        return 3;
    case CTRL_CLASS_GRAPH:
        return 4 + n.a + n.b + n.c;
    case CTRL_CLASS_STRIP:
        return 3 + n.a + n.b;
    case CTRL_CLASS_LIST:
        return 1 + n.a + n.b;
    case CTRL_CLASS_TABLE:
        return 1 + n.a + n.b + n.a * n.b;
    }
    DoAssert(0, __FILE__, __LINE__, "unknown control class");
    return 0;
}

// ---- Record creation
// -----------------------------------------------------------------------------

template <typename T> static T *NewRecord() {
    return static_cast<T *>(Calloc(1, sizeof(T)));
}

// A zero-filled array of n string pointers; null (and success) for n == 0.
static bool NewStrArray(int n, char ***out) {
    *out = nullptr;
    if (n <= 0) return true;
    *out = static_cast<char **>(Calloc(static_cast<size_t>(n), sizeof(char *)));
    return *out != nullptr;
}

static unsigned char *NewFlags(int n) {
    auto *flags = static_cast<unsigned char *>(Malloc(static_cast<size_t>(n)));
    if (flags) memset(flags, SLOT_UNUSED, static_cast<size_t>(n));
    return flags;
}

static void FreeStrArray(char **&array, int n) {
    if (!array) return;
    for (int i = 0; i < n; ++i)
        free(array[i]);
    free(array);
    array = nullptr;
}

static void FreeStrs(int type, const Counts &n, CTRLSTRS &strs) {
    switch (type) {
    case CTRL_CLASS_BASIC:
        if (strs.pbasic) free(strs.pbasic->label);
        free(strs.pbasic);
        strs.pbasic = nullptr;
        break;
    case CTRL_CLASS_STRING:
        if (strs.pstring) {
            free(strs.pstring->label);
            free(strs.pstring->dfltValue);
        }
        free(strs.pstring);
        strs.pstring = nullptr;
        break;
    case CTRL_CLASS_MSG:
        if (strs.pmsg) free(strs.pmsg->text);
        free(strs.pmsg);
        strs.pmsg = nullptr;
        break;
    case CTRL_CLASS_STATE:
        if (strs.pstate) {
            free(strs.pstate->label);
            free(strs.pstate->onText);
            free(strs.pstate->offText);
        }
        free(strs.pstate);
        strs.pstate = nullptr;
        break;
    case CTRL_CLASS_GRAPH:
        if (GRAPHSTRS *s = strs.pgraph) {
            free(s->label);
            free(s->xName);
            free(s->lyName);
            free(s->ryName);
            free(s->flags);
            FreeStrArray(s->xItems, n.a);
            FreeStrArray(s->lyItems, n.b);
            FreeStrArray(s->ryItems, n.c);
        }
        free(strs.pgraph);
        strs.pgraph = nullptr;
        break;
    case CTRL_CLASS_STRIP:
        if (STRIPSTRS *s = strs.pstrip) {
            free(s->flags);
            free(s->label);
            free(s->xName);
            free(s->yName);
            FreeStrArray(s->xItems, n.a);
            FreeStrArray(s->yItems, n.b);
        }
        free(strs.pstrip);
        strs.pstrip = nullptr;
        break;
    case CTRL_CLASS_LIST:
        if (LISTSTRS *s = strs.plist) {
            free(s->label);
            free(s->flags);
            FreeStrArray(s->itemLabels, n.a);
            FreeStrArray(s->itemValues, n.b);
        }
        free(strs.plist);
        strs.plist = nullptr;
        break;
    case CTRL_CLASS_TABLE:
        if (TABLESTRS *s = strs.ptable) {
            free(s->flags);
            free(s->label);
            FreeStrArray(s->rowLabels, n.a);
            FreeStrArray(s->colLabels, n.b);
            FreeStrArray(s->cells, n.a * n.b);
        }
        free(strs.ptable);
        strs.ptable = nullptr;
        break;
    default:
        break;
    }
}

// One string record of the class, sized by the counts; 0 or -12 (nothing left allocated).
static int NewStrs(int type, const Counts &n, CTRLSTRS *strs) {
    *strs = CTRLSTRS{};
    bool ok = true;
    switch (type) {
    case CTRL_CLASS_NONE:
        return 0;
    case CTRL_CLASS_BASIC:
        if ((strs->pbasic = NewRecord<BASICSTRS>()))
            memset(strs->pbasic->flags, SLOT_UNUSED, sizeof strs->pbasic->flags);
        ok = strs->pbasic != nullptr;
        break;
    case CTRL_CLASS_STRING:
        if ((strs->pstring = NewRecord<STRINGSTRS>()))
            memset(strs->pstring->flags, SLOT_UNUSED, sizeof strs->pstring->flags);
        ok = strs->pstring != nullptr;
        break;
    case CTRL_CLASS_MSG:
        if ((strs->pmsg = NewRecord<MSGSTRS>()))
            memset(strs->pmsg->flags, SLOT_UNUSED, sizeof strs->pmsg->flags);
        ok = strs->pmsg != nullptr;
        break;
    case CTRL_CLASS_STATE:
        if ((strs->pstate = NewRecord<STATESTRS>()))
            memset(strs->pstate->flags, SLOT_UNUSED, sizeof strs->pstate->flags);
        ok = strs->pstate != nullptr;
        break;
    case CTRL_CLASS_GRAPH:
        if ((strs->pgraph = NewRecord<GRAPHSTRS>())) {
            GRAPHSTRS *s = strs->pgraph;
            ok = (s->flags = NewFlags(4 + n.a + n.b + n.c)) && NewStrArray(n.a, &s->xItems) &&
                 NewStrArray(n.b, &s->lyItems) && NewStrArray(n.c, &s->ryItems);
        } else {
            ok = false;
        }
        break;
    case CTRL_CLASS_STRIP:
        if ((strs->pstrip = NewRecord<STRIPSTRS>())) {
            STRIPSTRS *s = strs->pstrip;
            ok = (s->flags = NewFlags(3 + n.a + n.b)) && NewStrArray(n.a, &s->xItems) &&
                 NewStrArray(n.b, &s->yItems);
        } else {
            ok = false;
        }
        break;
    case CTRL_CLASS_LIST:
        if ((strs->plist = NewRecord<LISTSTRS>())) {
            LISTSTRS *s = strs->plist;
            ok = (s->flags = NewFlags(1 + n.a + n.b)) && NewStrArray(n.a, &s->itemLabels) &&
                 NewStrArray(n.b, &s->itemValues);
        } else {
            ok = false;
        }
        break;
    case CTRL_CLASS_TABLE:
        if ((strs->ptable = NewRecord<TABLESTRS>())) {
            TABLESTRS *s = strs->ptable;
            ok = (s->flags = NewFlags(1 + n.a + n.b + n.a * n.b)) &&
                 NewStrArray(n.a, &s->rowLabels) && NewStrArray(n.b, &s->colLabels) &&
                 NewStrArray(n.a * n.b, &s->cells);
        } else {
            ok = false;
        }
        break;
    default:
        DoAssert(0, __FILE__, __LINE__, "unknown control class");
        return 0;
    }
    if (!ok) {
        FreeStrs(type, n, *strs);
        return RT_ERR_OUT_OF_MEMORY;
    }
    return 0;
}

int AllocTitleStrsForPNL(PNL *pnl, int withDefaults) {
    DoAssert(pnl != nullptr, __FILE__, __LINE__, "pnl");
    if (!pnl->plocalStrs) {
        if (!(pnl->plocalStrs = NewRecord<TITLESTRS>())) return RT_ERR_OUT_OF_MEMORY;
        pnl->plocalStrs->flag = SLOT_UNUSED;
    }
    if (withDefaults && !pnl->pdefaultStrs) {
        if (!(pnl->pdefaultStrs = NewRecord<TITLESTRS>())) return RT_ERR_OUT_OF_MEMORY;
        pnl->pdefaultStrs->flag = SLOT_UNUSED;
    }
    return 0;
}

int AllocNameStrsForMENUITEM(MENUITEM *item, int withDefaults) {
    DoAssert(item != nullptr, __FILE__, __LINE__, "pmenuItem");
    if (!item->plocalStrs) {
        if (!(item->plocalStrs = NewRecord<NAMESTRS>())) return RT_ERR_OUT_OF_MEMORY;
        item->plocalStrs->flag = SLOT_UNUSED;
    }
    if (withDefaults && !item->pdefaultStrs) {
        if (!(item->pdefaultStrs = NewRecord<NAMESTRS>())) return RT_ERR_OUT_OF_MEMORY;
        item->pdefaultStrs->flag = SLOT_UNUSED;
    }
    return 0;
}

int AllocCountsForCTRL(CTRL *ctrl) {
    DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
    bool ok = true;
    switch (ctrl->type) {
    case CTRL_CLASS_GRAPH:
        if (!ctrl->counts.pgraph) ok = (ctrl->counts.pgraph = NewRecord<GRAPHCOUNTS>()) != nullptr;
        break;
    case CTRL_CLASS_STRIP:
        if (!ctrl->counts.pstrip) ok = (ctrl->counts.pstrip = NewRecord<STRIPCOUNTS>()) != nullptr;
        break;
    case CTRL_CLASS_LIST:
        if (!ctrl->counts.plist) ok = (ctrl->counts.plist = NewRecord<LISTCOUNTS>()) != nullptr;
        break;
    case CTRL_CLASS_TABLE:
        if (!ctrl->counts.ptable) ok = (ctrl->counts.ptable = NewRecord<TABLECOUNTS>()) != nullptr;
        break;
    default:
        break;
    }
    return ok ? 0 : RT_ERR_OUT_OF_MEMORY;
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

// ---- Reading texts from the run-time -----------------------------------------------------------

// Reads a text whose length comes first. With a flag (default strings), a length of 0 leaves the
// string null and the flag 'u'; without one (constant names) an empty name is stored as "".
template <typename LengthFn, typename TextFn>
static int ReadText(LengthFn getLength, TextFn getText, char **out, unsigned char *flag) {
    int length = 0;
    int rc = LOC_RT(getLength(&length));
    if (rc < 0) return rc;
    if (length < 0) length = 0;
    if (length == 0 && flag) return 0;
    const size_t size = static_cast<size_t>(length) + 1;
    HeapText text(static_cast<char *>(Malloc(size)));
    if (!text) return RT_ERR_OUT_OF_MEMORY;
    text.get()[0] = '\0';
    if (length > 0) {
        rc = LOC_RT(getText(text.get(), size));
        if (rc < 0) return rc;
    }
    free(*out);
    *out = text.release();
    if (flag) *flag = SLOT_VALID;
    return 0;
}

static int ReadCtrlText(int panel, int control, int textAttr, int lengthAttr, char **out,
                        unsigned char *flag) {
    return ReadText([&](int *len) { return GetCtrlAttribute(panel, control, lengthAttr, len); },
                    [&](char *buf, size_t size) {
                        return GetCtrlAttribute(panel, control, textAttr, buf, size);
                    },
                    out, flag);
}

static int ReadMenuText(int menuBar, int id, int textAttr, int lengthAttr, char **out,
                        unsigned char *flag) {
    return ReadText([&](int *len) { return GetMenuBarAttribute(menuBar, id, lengthAttr, len); },
                    [&](char *buf, size_t size) {
                        return GetMenuBarAttribute(menuBar, id, textAttr, buf, size);
                    },
                    out, flag);
}

// ---- Capture of a control ----------------------------------------------------------------------

static int ReadCounts(int panel, int control, CTRL *ctrl) {
    int rc = 0;
    auto clamp = [](int v) { return v < 0 ? 0 : v; };
    switch (ctrl->type) {
    case CTRL_CLASS_GRAPH: {
        GRAPHCOUNTS *c = ctrl->counts.pgraph;
        if ((rc = LOC_RT(GetNumAxisItems(panel, control, 0, &c->numXItems))) < 0 ||
            (rc = LOC_RT(GetNumAxisItems(panel, control, 1, &c->numLYItems))) < 0 ||
            (rc = LOC_RT(GetNumAxisItems(panel, control, 2, &c->numRYItems))) < 0)
            return rc;
        c->numXItems = clamp(c->numXItems);
        c->numLYItems = clamp(c->numLYItems);
        c->numRYItems = clamp(c->numRYItems);
        break;
    }
    case CTRL_CLASS_STRIP: {
        STRIPCOUNTS *c = ctrl->counts.pstrip;
        if ((rc = LOC_RT(GetNumAxisItems(panel, control, 0, &c->numXItems))) < 0 ||
            (rc = LOC_RT(GetNumAxisItems(panel, control, 1, &c->numYItems))) < 0)
            return rc;
        c->numXItems = clamp(c->numXItems);
        c->numYItems = clamp(c->numYItems);
        break;
    }
    case CTRL_CLASS_LIST: {
        LISTCOUNTS *c = ctrl->counts.plist;
        int valueType = 0;
        if ((rc = LOC_RT(GetNumListItems(panel, control, &c->numLabels))) < 0 ||
            (rc = LOC_RT(GetCtrlAttribute(panel, control, ATTR_DATA_TYPE, &valueType))) < 0)
            return rc;
        c->numLabels = clamp(c->numLabels);
        c->numValues = valueType == VAL_STRING ? c->numLabels : 0;
        break;
    }
    case CTRL_CLASS_TABLE: {
        TABLECOUNTS *c = ctrl->counts.ptable;
        if ((rc = LOC_RT(GetNumTableRows(panel, control, &c->numRows))) < 0 ||
            (rc = LOC_RT(GetNumTableColumns(panel, control, &c->numCols))) < 0)
            return rc;
        c->numRows = clamp(c->numRows);
        c->numCols = clamp(c->numCols);
        break;
    }
    default:
        break;
    }
    return 0;
}

static int ReadAxisItems(int panel, int control, int axis, int count, char **items,
                         unsigned char *flags) {
    for (int i = 0; i < count; ++i) {
        int rc =
            ReadText([&](int *len) { return GetAxisItemLabelLength(panel, control, axis, i, len); },
                     [&](char *buf, size_t size) {
                         double value = 0;
                         return GetAxisItem(panel, control, axis, i, buf, size, &value);
                     },
                     &items[i], &flags[i]);
        if (rc) return rc;
    }
    return 0;
}

// Reads a table cell's text as a string cell, restoring its own cell type afterwards (also when
// the read fails, so a failed capture leaves the table as it was).
static int ReadCell(int panel, int control, int col, int row, char **out, unsigned char *flag) {
    const Point cell = MakePoint(col, row);
    int cellType = 1;
    int rc = LOC_RT(GetTableCellAttribute(panel, control, cell, ATTR_CELL_TYPE, &cellType));
    if (rc < 0) return rc;
    if (cellType != 1 &&
        (rc = LOC_RT(SetTableCellAttribute(panel, control, cell, ATTR_CELL_TYPE, 1))) < 0)
        return rc;
    rc = ReadText(
        [&](int *len) { return GetTableCellValLength(panel, control, cell, len); },
        [&](char *buf, size_t size) { return GetTableCellVal(panel, control, cell, buf, size); },
        out, flag);
    if (cellType != 1) {
        int restore = LOC_RT(SetTableCellAttribute(panel, control, cell, ATTR_CELL_TYPE, cellType));
        if (rc == 0 && restore < 0) rc = restore;
    }
    return rc;
}

static int ReadDefaults(int panel, int control, CTRL *ctrl) {
    const Counts n = GetCounts(ctrl);
    CTRLSTRS &d = ctrl->defaultStrs;
    int rc = 0;
    auto label = [&](char **out, unsigned char *flag) {
        return ReadCtrlText(panel, control, ATTR_LABEL_TEXT, ATTR_LABEL_TEXT_LENGTH, out, flag);
    };
    switch (ctrl->type) {
    case CTRL_CLASS_NONE:
        return 0;
    case CTRL_CLASS_BASIC:
        return label(&d.pbasic->label, &d.pbasic->flags[0]);
    case CTRL_CLASS_STRING:
        if ((rc = label(&d.pstring->label, &d.pstring->flags[0]))) return rc;
        return ReadCtrlText(panel, control, ATTR_DFLT_VALUE, ATTR_DFLT_VALUE_LENGTH,
                            &d.pstring->dfltValue, &d.pstring->flags[1]);
    case CTRL_CLASS_MSG:
        return ReadCtrlText(panel, control, ATTR_DFLT_VALUE, ATTR_DFLT_VALUE_LENGTH, &d.pmsg->text,
                            &d.pmsg->flags[0]);
    case CTRL_CLASS_STATE: {
        STATESTRS *s = d.pstate;
        if ((rc = label(&s->label, &s->flags[0])) ||
            (rc = ReadCtrlText(panel, control, ATTR_ON_TEXT, ATTR_ON_TEXT_LENGTH, &s->onText,
                               &s->flags[1])))
            return rc;
        return ReadCtrlText(panel, control, ATTR_OFF_TEXT, ATTR_OFF_TEXT_LENGTH, &s->offText,
                            &s->flags[2]);
    }
    case CTRL_CLASS_GRAPH: {
        GRAPHSTRS *s = d.pgraph;
        if ((rc = label(&s->label, &s->flags[0])) ||
            (rc = ReadCtrlText(panel, control, ATTR_XNAME, ATTR_XNAME_LENGTH, &s->xName,
                               &s->flags[1])) ||
            (rc = LOC_RT(SetCtrlAttribute(panel, control, ATTR_ACTIVE_YAXIS, 1))) < 0 ||
            (rc = ReadCtrlText(panel, control, ATTR_YNAME, ATTR_YNAME_LENGTH, &s->lyName,
                               &s->flags[2])))
            return rc;
        if ((rc = LOC_RT(SetCtrlAttribute(panel, control, ATTR_ACTIVE_YAXIS, 2))) >= 0) {
            if (!(rc = ReadCtrlText(panel, control, ATTR_YNAME, ATTR_YNAME_LENGTH, &s->ryName,
                                    &s->flags[3])) &&
                !(rc = ReadAxisItems(panel, control, 0, n.a, s->xItems, s->flags + 4)) &&
                !(rc = ReadAxisItems(panel, control, 1, n.b, s->lyItems, s->flags + 4 + n.a)))
                rc = ReadAxisItems(panel, control, 2, n.c, s->ryItems, s->flags + 4 + n.a + n.b);
        }
        // The left axis is the active one again, whatever happened above.
        int restore = LOC_RT(SetCtrlAttribute(panel, control, ATTR_ACTIVE_YAXIS, 1));
        if (rc < 0) return rc;
        return restore < 0 ? restore : 0;
    }
    case CTRL_CLASS_STRIP: {
        STRIPSTRS *s = d.pstrip;
        if ((rc = label(&s->label, &s->flags[0])) ||
            (rc = ReadCtrlText(panel, control, ATTR_XNAME, ATTR_XNAME_LENGTH, &s->xName,
                               &s->flags[1])) ||
            (rc = ReadCtrlText(panel, control, ATTR_YNAME, ATTR_YNAME_LENGTH, &s->yName,
                               &s->flags[2])) ||
            (rc = ReadAxisItems(panel, control, 0, n.a, s->xItems, s->flags + 3)))
            return rc;
        return ReadAxisItems(panel, control, 1, n.b, s->yItems, s->flags + 3 + n.a);
    }
    case CTRL_CLASS_LIST: {
        LISTSTRS *s = d.plist;
        if ((rc = label(&s->label, &s->flags[0]))) return rc;
        for (int i = 0; i < n.a; ++i) {
            rc = ReadText([&](int *len) { return GetLabelLengthFromIndex(panel, control, i, len); },
                          [&](char *buf, size_t size) {
                              return GetLabelFromIndex(panel, control, i, buf, size);
                          },
                          &s->itemLabels[i], &s->flags[1 + i]);
            if (rc) return rc;
        }
        for (int i = 0; i < n.b; ++i) {
            rc = ReadText([&](int *len) { return GetValueLengthFromIndex(panel, control, i, len); },
                          [&](char *buf, size_t size) {
                              return GetValueFromIndex(panel, control, i, buf, size);
                          },
                          &s->itemValues[i], &s->flags[1 + n.a + i]);
            if (rc) return rc;
        }
        return 0;
    }
    case CTRL_CLASS_TABLE: {
        TABLESTRS *s = d.ptable;
        const int rows = n.a, cols = n.b;
        if ((rc = label(&s->label, &s->flags[0]))) return rc;
        for (int r = 1; r <= rows; ++r) {
            rc = ReadText(
                [&](int *len) {
                    return GetTableRowAttribute(panel, control, r, ATTR_LABEL_TEXT_LENGTH, len);
                },
                [&](char *buf, size_t size) {
                    return GetTableRowAttribute(panel, control, r, ATTR_LABEL_TEXT, buf, size);
                },
                &s->rowLabels[r - 1], &s->flags[r]);
            if (rc) return rc;
        }
        for (int c = 1; c <= cols; ++c) {
            rc = ReadText(
                [&](int *len) {
                    return GetTableColumnAttribute(panel, control, c, ATTR_LABEL_TEXT_LENGTH, len);
                },
                [&](char *buf, size_t size) {
                    return GetTableColumnAttribute(panel, control, c, ATTR_LABEL_TEXT, buf, size);
                },
                &s->colLabels[c - 1], &s->flags[rows + c]);
            if (rc) return rc;
        }
        for (int c = 1; c <= cols; ++c)
            for (int r = 1; r <= rows; ++r) {
                const int index = (c - 1) * rows + (r - 1);
                rc = ReadCell(panel, control, c, r, &s->cells[index],
                              &s->flags[1 + rows + cols + index]);
                if (rc) return rc;
            }
        return 0;
    }
    }
    DoAssert(0, __FILE__, __LINE__, "unknown control class");
    return 0;
}

int UIControlToCTRL(PNL *pnl, int control, CTRL *ctrl, int captureDefaults) {
    DoAssert(pnl != nullptr, __FILE__, __LINE__, "ppnl");
    DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
    const int panel = pnl->panel;
    ctrl->kind = UIOBJ_KIND_CTRL;
    ctrl->panel = pnl;
    ctrl->control = control;
    int rc = ReadCtrlText(panel, control, ATTR_CONSTANT_NAME, ATTR_CONSTANT_NAME_LENGTH,
                          &ctrl->name, nullptr);
    if (rc) return rc;
    int style = 0;
    if ((rc = LOC_RT(GetCtrlAttribute(panel, control, ATTR_CTRL_STYLE, &style))) < 0) return rc;
    ctrl->type = CtrlClassFromStyle(style);
    DoAssert(ctrl->type != 0, __FILE__, __LINE__, "unknown control style");
    if ((rc = AllocCountsForCTRL(ctrl)) || (rc = ReadCounts(panel, control, ctrl)) ||
        (rc = AllocStrsForCTRL(ctrl, captureDefaults)))
        return rc;
    return captureDefaults ? ReadDefaults(panel, control, ctrl) : 0;
}

// ---- Capture of a panel ------------------------------------------------------------------------

static void FreeCtrl(CTRL *ctrl);

static int CapturePanel(int panel, PNL *pnl, int captureDefaults, int clearCallbacks) {
    int rc =
        ReadText([&](int *len) { return GetPanelAttribute(panel, ATTR_CONSTANT_NAME_LENGTH, len); },
                 [&](char *buf, size_t size) {
                     return GetPanelAttribute(panel, ATTR_CONSTANT_NAME, buf, size);
                 },
                 &pnl->name, nullptr);
    if (rc || (rc = AllocTitleStrsForPNL(pnl, captureDefaults))) return rc;
    if (captureDefaults) {
        rc = ReadText(
            [&](int *len) { return GetPanelAttribute(panel, ATTR_TITLE_LENGTH, len); },
            [&](char *buf, size_t size) { return GetPanelAttribute(panel, ATTR_TITLE, buf, size); },
            &pnl->pdefaultStrs->title, &pnl->pdefaultStrs->flag);
        if (rc) return rc;
    }
    int control = 0;
    if ((rc = LOC_RT(GetPanelAttribute(panel, ATTR_PANEL_FIRST_CTRL, &control))) < 0) return rc;
    if (control <= 0) return 0;
    if (!(pnl->controls = ListCreate(static_cast<int>(sizeof(CTRL))))) return RT_ERR_OUT_OF_MEMORY;
    for (int count = 0; control > 0; ++count) {
        if (count >= kMaxControlsPerPanel) return RT_ERR_INVALID_CONTROL;
        if (clearCallbacks &&
            (rc = LOC_RT(InstallCtrlCallback(panel, control, nullptr, nullptr))) < 0)
            return rc;
        CTRL ctrl{};
        rc = UIControlToCTRL(pnl, control, &ctrl, captureDefaults);
        if (rc == 0 && !ListInsertItem(pnl->controls, &ctrl, LIST_POS_END))
            rc = RT_ERR_OUT_OF_MEMORY;
        if (rc) {
            FreeCtrl(&ctrl); // not in the list, so the list's release would not see it
            return rc;
        }
        if ((rc = LOC_RT(GetCtrlAttribute(panel, control, ATTR_NEXT_CTRL, &control))) < 0)
            return rc;
    }
    return 0;
}

int UIPanelToPNLAndCTRLs(int panel, PNL *pnl, int captureDefaults, int clearCallbacks) {
    DoAssert(pnl != nullptr, __FILE__, __LINE__, "ppnl");
    pnl->kind = UIOBJ_KIND_PNL;
    pnl->panel = panel;
    pnl->treeIds = nullptr;
    int rc = CapturePanel(panel, pnl, captureDefaults, clearCallbacks);
    if (rc) FreeDataForPNLAndCTRLs(pnl, 1, 1);
    return rc;
}

// ---- Capture of a menu bar ---------------------------------------------------------------------

static int NewMenuItem(ListHandle list, void *parent, int id, MENUITEM **out) {
    *out = nullptr;
    auto *item = NewRecord<MENUITEM>();
    if (!item) return RT_ERR_OUT_OF_MEMORY;
    if (!ListInsertItem(list, &item, LIST_POS_END)) {
        free(item);
        return RT_ERR_OUT_OF_MEMORY;
    }
    item->kind = UIOBJ_KIND_MENUITEM;
    item->pparent = parent;
    item->id = id;
    *out = item;
    return 0;
}

static int CaptureMenuItems(MENUITEM *parent, int menuBar, int menuId, int captureDefaults,
                            int clearCallbacks, int depth, int *entries) {
    if (depth > kMaxSubmenuDepth) return RT_ERR_INVALID_MENU_ITEM;
    if (!parent->children && !(parent->children = ListCreate(static_cast<int>(sizeof(MENUITEM *)))))
        return RT_ERR_OUT_OF_MEMORY;
    int item = 0;
    int rc = LOC_RT(GetMenuBarAttribute(menuBar, menuId, ATTR_FIRST_ITEM_ID, &item));
    if (rc < 0) return rc;
    while (item > 0) {
        if (++*entries > kMaxMenuEntries) return RT_ERR_INVALID_MENU_ITEM;
        if (clearCallbacks &&
            (rc = LOC_RT(InstallMenuCallback(menuBar, item, nullptr, nullptr))) < 0)
            return rc;
        int separator = 0;
        if ((rc = LOC_RT(
                 GetMenuBarAttribute(menuBar, item, ATTR_MENU_ITEM_IS_SEPARATOR, &separator))) < 0)
            return rc;
        if (separator == 0) {
            MENUITEM *rec = nullptr;
            if ((rc = NewMenuItem(parent->children, parent, item, &rec)) ||
                (rc = AllocNameStrsForMENUITEM(rec, captureDefaults)) ||
                (rc = ReadMenuText(menuBar, item, ATTR_CONSTANT_NAME, ATTR_CONSTANT_NAME_LENGTH,
                                   &rec->name, nullptr)))
                return rc;
            if (captureDefaults &&
                (rc = ReadMenuText(menuBar, item, ATTR_ITEM_NAME, ATTR_ITEM_NAME_LENGTH,
                                   &rec->pdefaultStrs->name, &rec->pdefaultStrs->flag)))
                return rc;
            int submenu = 0;
            if ((rc = LOC_RT(GetMenuBarAttribute(menuBar, item, ATTR_SUBMENU_ID, &submenu))) < 0)
                return rc;
            if (submenu >= 1 && (rc = CaptureMenuItems(rec, menuBar, submenu, captureDefaults,
                                                       clearCallbacks, depth + 1, entries)))
                return rc;
        }
        if ((rc = LOC_RT(GetMenuBarAttribute(menuBar, item, ATTR_NEXT_ITEM_ID, &item))) < 0)
            return rc;
    }
    return 0;
}

int UIMenuToMENUITEMs(MENUITEM *parent, int menuBar, int menuId, int captureDefaults,
                      int clearCallbacks) {
    DoAssert(parent != nullptr, __FILE__, __LINE__, "pparent");
    int entries = 0;
    return CaptureMenuItems(parent, menuBar, menuId, captureDefaults, clearCallbacks, 0, &entries);
}

static int CaptureMenuBar(int menuBar, MENUBAR *rec, int captureDefaults, int clearCallbacks) {
    int rc = ReadMenuText(menuBar, 0, ATTR_CONSTANT_NAME, ATTR_CONSTANT_NAME_LENGTH, &rec->name,
                          nullptr);
    if (rc) return rc;
    if (!(rec->menus = ListCreate(static_cast<int>(sizeof(MENUITEM *)))))
        return RT_ERR_OUT_OF_MEMORY;
    int menu = 0;
    if ((rc = LOC_RT(GetMenuBarAttribute(menuBar, 0, ATTR_FIRST_MENU_ID, &menu))) < 0) return rc;
    int entries = 0;
    while (menu > 0) {
        if (++entries > kMaxMenuEntries) return RT_ERR_INVALID_MENU_ITEM;
        if (clearCallbacks &&
            (rc = LOC_RT(InstallMenuCallback(menuBar, menu, nullptr, nullptr))) < 0)
            return rc;
        MENUITEM *item = nullptr;
        if ((rc = NewMenuItem(rec->menus, rec, menu, &item)) ||
            (rc = AllocNameStrsForMENUITEM(item, captureDefaults)) ||
            (rc = ReadMenuText(menuBar, menu, ATTR_CONSTANT_NAME, ATTR_CONSTANT_NAME_LENGTH,
                               &item->name, nullptr)))
            return rc;
        if (captureDefaults &&
            (rc = ReadMenuText(menuBar, menu, ATTR_MENU_NAME, ATTR_MENU_NAME_LENGTH,
                               &item->pdefaultStrs->name, &item->pdefaultStrs->flag)))
            return rc;
        int numItems = 0;
        if ((rc = LOC_RT(GetMenuBarAttribute(menuBar, menu, ATTR_NUM_MENU_ITEMS, &numItems))) < 0)
            return rc;
        if (numItems != 0 && (rc = CaptureMenuItems(item, menuBar, menu, captureDefaults,
                                                    clearCallbacks, 0, &entries)))
            return rc;
        if ((rc = LOC_RT(GetMenuBarAttribute(menuBar, menu, ATTR_NEXT_MENU_ID, &menu))) < 0)
            return rc;
    }
    return 0;
}

int UIMenubarToMENUBARAndMENUITEMs(int menuBar, MENUBAR *menuBarRec, int captureDefaults,
                                   int clearCallbacks) {
    DoAssert(menuBarRec != nullptr, __FILE__, __LINE__, "pmenubar");
    menuBarRec->kind = UIOBJ_KIND_MENUBAR;
    menuBarRec->menuBar = menuBar;
    menuBarRec->treeIds = nullptr;
    int rc = CaptureMenuBar(menuBar, menuBarRec, captureDefaults, clearCallbacks);
    if (rc) FreeDataForMENUBARAndMENUITEMs(menuBarRec, 1, 1);
    return rc;
}

// ---- Release -----------------------------------------------------------------------------------

static void FreeTreeIds(TREEIDS *&ids) {
    if (!ids) return;
    free(ids->ids);
    free(ids);
    ids = nullptr;
}

// A control record is gone after this, so everything it owns goes with it, whatever the flags say.
static void FreeCtrl(CTRL *ctrl) {
    const Counts n = GetCounts(ctrl);
    FreeStrs(ctrl->type, n, ctrl->defaultStrs);
    FreeStrs(ctrl->type, n, ctrl->localStrs);
    FreeTreeIds(ctrl->treeIds);
    switch (ctrl->type) {
    case CTRL_CLASS_GRAPH:
        free(ctrl->counts.pgraph);
        break;
    case CTRL_CLASS_STRIP:
        free(ctrl->counts.pstrip);
        break;
    case CTRL_CLASS_LIST:
        free(ctrl->counts.plist);
        break;
    case CTRL_CLASS_TABLE:
        free(ctrl->counts.ptable);
        break;
    default:
        break;
    }
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
            FreeCtrl(ctrl);
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

static void FreeMenuItem(MENUITEM *item) {
    if (item->children) {
        const int n = ListNumItems(item->children);
        for (int i = 1; i <= n; ++i) {
            auto **child = static_cast<MENUITEM **>(ListGetPtrToItem(item->children, i));
            DoAssert(child != nullptr && *child != nullptr, __FILE__, __LINE__, "ppchildMenuItem");
            FreeMenuItem(*child);
        }
        ListDispose(item->children);
        item->children = nullptr;
    }
    if (item->pdefaultStrs) free(item->pdefaultStrs->name);
    free(item->pdefaultStrs);
    if (item->plocalStrs) free(item->plocalStrs->name);
    free(item->plocalStrs);
    FreeTreeIds(item->treeIds);
    free(item->name);
    free(item);
}

void FreeDataForMENUBARAndMENUITEMs(MENUBAR *menuBar, int freeDefaults, int freeLocals) {
    (void)freeDefaults; // menu records are destroyed here, so their strings always go with them
    (void)freeLocals;
    if (!menuBar) return;
    if (menuBar->menus) {
        const int n = ListNumItems(menuBar->menus);
        for (int i = 1; i <= n; ++i) {
            auto **item = static_cast<MENUITEM **>(ListGetPtrToItem(menuBar->menus, i));
            DoAssert(item != nullptr && *item != nullptr, __FILE__, __LINE__, "ppmenuItem");
            FreeMenuItem(*item);
        }
        ListDispose(menuBar->menus);
        menuBar->menus = nullptr;
    }
    FreeTreeIds(menuBar->treeIds);
    free(menuBar->name);
    menuBar->name = nullptr;
}

// ---- Navigation --------------------------------------------------------------------------------

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

// ---- Tree identifiers --------------------------------------------------------------------------

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

// ---- Enumeration -------------------------------------------------------------------------------

int EnumCTRLLocals(CTRL *ctrl, const char *panelSection, LocalStrEnumCallback callback,
                   void *callbackData) {
    DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
    const int numSlots = CtrlNumSlots(ctrl);
    if (numSlots == 0 || !StrsPtr(ctrl->type, ctrl->localStrs)) return 0;
    HeapText section(JoinSection(panelSection, ctrl->name));
    if (!section) return RT_ERR_OUT_OF_MEMORY;
    for (int k = 0; k < numSlots; ++k) {
        SlotRef local, dflt;
        GetSlot(ctrl, ctrl->localStrs, k, &local);
        GetSlot(ctrl, ctrl->defaultStrs, k, &dflt);
        char key[kKeySize], desc[kDescSize];
        SlotKey(ctrl, k, key);
        SlotDescription(ctrl, k, desc);
        LOCALSTR str{section.get(),
                     key,
                     desc,
                     k,
                     local.flag,
                     local.str,
                     (dflt.flag && *dflt.flag == SLOT_VALID) ? *dflt.str : nullptr};
        if (int rc = callback(&str, callbackData)) return rc;
    }
    return 0;
}

int EnumPNLAndCTRLLocals(PNL *pnl, LocalStrEnumCallback callback, void *callbackData) {
    DoAssert(pnl != nullptr, __FILE__, __LINE__, "ppnl");
    if (pnl->plocalStrs) {
        const TITLESTRS *d = pnl->pdefaultStrs;
        LOCALSTR str{pnl->name ? pnl->name : "",
                     "Title",
                     "Panel title",
                     0,
                     &pnl->plocalStrs->flag,
                     &pnl->plocalStrs->title,
                     (d && d->flag == SLOT_VALID) ? d->title : nullptr};
        if (int rc = callback(&str, callbackData)) return rc;
    }
    const int n = ListNumItems(pnl->controls);
    for (int i = 1; i <= n; ++i) {
        auto *ctrl = static_cast<CTRL *>(ListGetPtrToItem(pnl->controls, i));
        DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
        if (int rc = EnumCTRLLocals(ctrl, pnl->name, callback, callbackData)) return rc;
    }
    return 0;
}

int EnumMENUITEMLocals(MENUITEM *item, const char *parentSection, LocalStrEnumCallback callback,
                       void *callbackData) {
    DoAssert(item != nullptr, __FILE__, __LINE__, "pmenuItem");
    HeapText section(JoinSection(parentSection, item->name));
    if (!section) return RT_ERR_OUT_OF_MEMORY;
    if (item->plocalStrs) {
        const NAMESTRS *d = item->pdefaultStrs;
        LOCALSTR str{section.get(),
                     "Name",
                     "Menu item name",
                     0,
                     &item->plocalStrs->flag,
                     &item->plocalStrs->name,
                     (d && d->flag == SLOT_VALID) ? d->name : nullptr};
        if (int rc = callback(&str, callbackData)) return rc;
    }
    const int n = ListNumItems(item->children);
    for (int i = 1; i <= n; ++i) {
        auto **child = static_cast<MENUITEM **>(ListGetPtrToItem(item->children, i));
        DoAssert(child != nullptr && *child != nullptr, __FILE__, __LINE__, "ppchildMenuItem");
        if (int rc = EnumMENUITEMLocals(*child, section.get(), callback, callbackData)) return rc;
    }
    return 0;
}

int EnumMENUBARAndMENUITEMLocals(MENUBAR *menuBar, LocalStrEnumCallback callback,
                                 void *callbackData) {
    DoAssert(menuBar != nullptr, __FILE__, __LINE__, "pmenubar");
    const int n = ListNumItems(menuBar->menus);
    for (int i = 1; i <= n; ++i) {
        auto **item = static_cast<MENUITEM **>(ListGetPtrToItem(menuBar->menus, i));
        DoAssert(item != nullptr && *item != nullptr, __FILE__, __LINE__, "ppmenuItem");
        if (int rc = EnumMENUITEMLocals(*item, menuBar->name, callback, callbackData)) return rc;
    }
    return 0;
}
