// Capture: a loaded panel or menu bar read from the run-time into the object tree. Which texts a
// control has follows from its class (uiobjects_internal.h). See uiobjects.h.
#include "localization/uiobjects.h"

#include <cstdlib>

#include "localization/loc_internal.h"
#include "platform/runtime.h"
#include "toolbox/toolbox.h"

using namespace loc;

// A run-time whose next-control or next-item chain loops would otherwise keep the capture going
// forever; no real panel or menu comes near these numbers.
static constexpr int kMaxControlsPerPanel = 100000;
static constexpr int kMaxMenuEntries = 100000;
static constexpr int kMaxSubmenuDepth = 32;

// ---- Reading texts from the run-time ------------------------------------------------------------

namespace {

// Reads a text whose length comes first. With a flag (default strings), a length of 0 leaves the
// string null and the flag 'u'; without one (constant names) an empty name is stored as "".
template <typename LengthFn, typename TextFn>
int ReadText(LengthFn getLength, TextFn getText, char **out, unsigned char *flag) {
    HeapText text;
    int rc = ReadRuntimeText(getLength, getText, flag != nullptr, &text);
    if (rc || !text) return rc;
    free(*out);
    *out = text.release();
    if (flag) *flag = SLOT_VALID;
    return 0;
}

// Reads a text attribute and its length attribute; getAttribute(attribute, out...) asks the
// run-time for one attribute of the object.
template <typename GetAttribute>
int ReadAttributeText(GetAttribute getAttribute, int textAttr, int lengthAttr, char **out,
                      unsigned char *flag) {
    return ReadText([&](int *len) { return getAttribute(lengthAttr, len); },
                    [&](char *buf, size_t size) { return getAttribute(textAttr, buf, size); }, out,
                    flag);
}

int ReadCtrlText(int panel, int control, int textAttr, int lengthAttr, char **out,
                 unsigned char *flag) {
    return ReadAttributeText(
        [&](int attr, auto... args) { return GetCtrlAttribute(panel, control, attr, args...); },
        textAttr, lengthAttr, out, flag);
}

int ReadMenuText(int menuBar, int id, int textAttr, int lengthAttr, char **out,
                 unsigned char *flag) {
    return ReadAttributeText(
        [&](int attr, auto... args) { return GetMenuBarAttribute(menuBar, id, attr, args...); },
        textAttr, lengthAttr, out, flag);
}

int ReadPanelText(int panel, int textAttr, int lengthAttr, char **out, unsigned char *flag) {
    return ReadAttributeText(
        [&](int attr, auto... args) { return GetPanelAttribute(panel, attr, args...); }, textAttr,
        lengthAttr, out, flag);
}

// ---- Capture of a control -----------------------------------------------------------------------

// The counts of a control of a class with counted blocks, in the order of its count sources (count
// i of axis items is that of axis i); negative counts are taken as 0.
int ReadCounts(int panel, int control, CTRL *ctrl) {
    const CtrlClassDef &def = ClassOf(ctrl->type);
    auto clamp = [](int v) { return v < 0 ? 0 : v; };
    int values[kMaxCounts] = {};
    for (int i = 0; i < def.numCounts; ++i) {
        int rc = 0;
        switch (def.countSources[i]) {
        case CountSource::None:
            break;
        case CountSource::AxisItems:
            rc = LOC_RT(GetNumAxisItems(panel, control, i, &values[i]));
            break;
        case CountSource::ListItems:
            rc = LOC_RT(GetNumListItems(panel, control, &values[i]));
            break;
        case CountSource::StringValues: { // one per item when the values are strings, else none
            int valueType = 0;
            rc = LOC_RT(GetCtrlAttribute(panel, control, ATTR_DATA_TYPE, &valueType));
            values[i] = valueType == VAL_STRING ? clamp(values[0]) : 0;
            break;
        }
        case CountSource::TableRows:
            rc = LOC_RT(GetNumTableRows(panel, control, &values[i]));
            break;
        case CountSource::TableColumns:
            rc = LOC_RT(GetNumTableColumns(panel, control, &values[i]));
            break;
        }
        if (rc < 0) return rc;
    }
    SetCounts(ctrl, {clamp(values[0]), clamp(values[1]), clamp(values[2])});
    return 0;
}

// Reads item i of a counted block into out and flag.
int ReadBlockItem(int panel, int control, const CountedBlock &block, int i, int rows, char **out,
                  unsigned char *flag) {
    switch (block.source) {
    case BlockSource::AxisItems:
        return ReadText(
            [&](int *len) { return GetAxisItemLabelLength(panel, control, block.axis, i, len); },
            [&](char *buf, size_t size) {
                double value = 0;
                return GetAxisItem(panel, control, block.axis, i, buf, size, &value);
            },
            out, flag);
    case BlockSource::ListLabels:
        return ReadText(
            [&](int *len) { return GetLabelLengthFromIndex(panel, control, i, len); },
            [&](char *buf, size_t size) { return GetLabelFromIndex(panel, control, i, buf, size); },
            out, flag);
    case BlockSource::ListValues:
        return ReadText(
            [&](int *len) { return GetValueLengthFromIndex(panel, control, i, len); },
            [&](char *buf, size_t size) { return GetValueFromIndex(panel, control, i, buf, size); },
            out, flag);
    case BlockSource::RowLabels:
        return ReadAttributeText(
            [&](int attr, auto... args) {
                return GetTableRowAttribute(panel, control, i + 1, attr, args...);
            },
            ATTR_LABEL_TEXT, ATTR_LABEL_TEXT_LENGTH, out, flag);
    case BlockSource::ColumnLabels:
        return ReadAttributeText(
            [&](int attr, auto... args) {
                return GetTableColumnAttribute(panel, control, i + 1, attr, args...);
            },
            ATTR_LABEL_TEXT, ATTR_LABEL_TEXT_LENGTH, out, flag);
    case BlockSource::Cells: { // column-major, read as string cells
        const Point cell = MakePoint(i / rows + 1, i % rows + 1);
        return WithStringCell(panel, control, cell, [&] {
            return ReadText(
                [&](int *len) { return GetTableCellValLength(panel, control, cell, len); },
                [&](char *buf, size_t size) {
                    return GetTableCellVal(panel, control, cell, buf, size);
                },
                out, flag);
        });
    }
    }
    return 0;
}

// Reads the control's own texts into its default record: the fixed slots, then each block. A
// graph's right Y axis is made active for its texts and the left one is active again afterwards,
// whatever happened in between.
int ReadDefaults(int panel, int control, CTRL *ctrl) {
    const CtrlClassDef &def = ClassOf(ctrl->type);
    void *record = StrsPtr(ctrl->type, ctrl->defaultStrs);
    if (!record) return 0;
    unsigned char *flags = SlotFlags(def, record);
    int rc = 0;
    ActiveYAxis yAxis(panel, control);
    for (int k = 0; k < def.numFixed; ++k) {
        const FixedSlot &slot = def.fixed[k];
        if ((rc = yAxis.Select(slot.yAxis)) < 0) break;
        if ((rc = ReadCtrlText(panel, control, slot.textAttribute, slot.lengthAttribute,
                               FixedString(slot, record), &flags[k])))
            break;
    }
    const Counts n = GetCounts(ctrl);
    for (int b = 0, first = def.numFixed; rc == 0 && b < def.numBlocks; ++b) {
        const CountedBlock &block = def.blocks[b];
        const int length = BlockLength(block, n);
        char **items = *BlockArray(block, record);
        for (int i = 0; rc == 0 && i < length; ++i)
            rc = ReadBlockItem(panel, control, block, i, n.a, &items[i], &flags[first + i]);
        first += length;
    }
    rc = yAxis.Restore(rc);
    return rc < 0 ? rc : 0;
}

} // namespace

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

static int CapturePanel(int panel, PNL *pnl, int captureDefaults, int clearCallbacks) {
    int rc =
        ReadPanelText(panel, ATTR_CONSTANT_NAME, ATTR_CONSTANT_NAME_LENGTH, &pnl->name, nullptr);
    if (rc || (rc = AllocTitleStrsForPNL(pnl, captureDefaults))) return rc;
    if (captureDefaults &&
        (rc = ReadPanelText(panel, ATTR_TITLE, ATTR_TITLE_LENGTH, &pnl->pdefaultStrs->title,
                            &pnl->pdefaultStrs->flag)))
        return rc;
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
            FreeCtrlRecord(&ctrl); // not in the list, so the list's release would not see it
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

// Appends a record for menu or item id to list: its constant name and, with captureDefaults, its
// own text (nameAttr) as the default.
static int CaptureMenuEntry(ListHandle list, void *parent, int menuBar, int id, int nameAttr,
                            int nameLengthAttr, int captureDefaults, MENUITEM **out) {
    *out = nullptr;
    auto *item = static_cast<MENUITEM *>(Calloc(1, sizeof(MENUITEM)));
    if (!item) return RT_ERR_OUT_OF_MEMORY;
    if (!ListInsertItem(list, &item, LIST_POS_END)) {
        free(item);
        return RT_ERR_OUT_OF_MEMORY;
    }
    item->kind = UIOBJ_KIND_MENUITEM;
    item->pparent = parent;
    item->id = id;
    *out = item;
    int rc = 0;
    if ((rc = AllocNameStrsForMENUITEM(item, captureDefaults)) ||
        (rc = ReadMenuText(menuBar, id, ATTR_CONSTANT_NAME, ATTR_CONSTANT_NAME_LENGTH, &item->name,
                           nullptr)))
        return rc;
    if (captureDefaults)
        return ReadMenuText(menuBar, id, nameAttr, nameLengthAttr, &item->pdefaultStrs->name,
                            &item->pdefaultStrs->flag);
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
            if ((rc = CaptureMenuEntry(parent->children, parent, menuBar, item, ATTR_ITEM_NAME,
                                       ATTR_ITEM_NAME_LENGTH, captureDefaults, &rec)))
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
        if ((rc = CaptureMenuEntry(rec->menus, rec, menuBar, menu, ATTR_MENU_NAME,
                                   ATTR_MENU_NAME_LENGTH, captureDefaults, &item)))
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
