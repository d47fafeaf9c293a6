// Localized loading and the apply step. See localize.h.
#include "localization/localize.h"

#include <cstdlib>
#include <memory>

#include "localization/langfileio.h"
#include "localization/loc_internal.h"
#include "platform/runtime.h"
#include "toolbox/core/toolbox.h"

using namespace loc;

namespace {

struct FreeDeleter {
    void operator()(void *p) const { free(p); }
};
using HeapText = std::unique_ptr<char, FreeDeleter>;

bool Selected(const TREEIDS *ids, int slot, int selector) {
    if (selector == -1) return true;
    return ids && slot >= 0 && slot < ids->numIds && ids->ids[slot] == selector;
}

// The text slot k receives, or null to leave it alone.
const char *SlotText(const CTRL *ctrl, int k, int selector, int useDefaults) {
    if (!Selected(ctrl->treeIds, k, selector)) return nullptr;
    SlotRef local;
    if (GetSlot(ctrl, ctrl->localStrs, k, &local) && *local.flag == SLOT_VALID)
        return *local.str ? *local.str : "";
    if (!useDefaults) return nullptr;
    SlotRef dflt;
    if (GetSlot(ctrl, ctrl->defaultStrs, k, &dflt) && *dflt.flag == SLOT_VALID && *dflt.str)
        return *dflt.str;
    return "";
}

// Axis items keep their values: each item's value is read back and passed unchanged.
int ApplyAxisItems(const CTRL *ctrl, int axis, int count, int firstSlot, int selector,
                   int useDefaults) {
    const int panel = ctrl->panel->panel, control = ctrl->control;
    for (int i = 0; i < count; ++i) {
        double value = 0;
        int rc = LOC_RT(GetAxisItem(panel, control, axis, i, nullptr, 0, &value));
        if (rc < 0) return rc;
        if (const char *text = SlotText(ctrl, firstSlot + i, selector, useDefaults))
            if ((rc = LOC_RT(ReplaceAxisItem(panel, control, axis, i, text, value))) < 0) return rc;
    }
    return 0;
}

// Reads a list item's label or string value into a heap buffer ("" when its length is 0).
template <typename LengthFn, typename TextFn>
int ReadListText(LengthFn getLength, TextFn getText, HeapText *out) {
    int length = 0;
    int rc = LOC_RT(getLength(&length));
    if (rc < 0) return rc;
    if (length < 0) length = 0;
    const size_t size = static_cast<size_t>(length) + 1;
    HeapText text(static_cast<char *>(Malloc(size)));
    if (!text) return RT_ERR_OUT_OF_MEMORY;
    text.get()[0] = '\0';
    if (length > 0 && (rc = LOC_RT(getText(text.get(), size))) < 0) return rc;
    *out = std::move(text);
    return 0;
}

int ApplyListItems(const CTRL *ctrl, int valueType, int selector, int useDefaults) {
    const int panel = ctrl->panel->panel, control = ctrl->control;
    const Counts n = GetCounts(ctrl);
    int rc = 0;
    for (int i = 0; i < n.a; ++i) {
        const char *label = SlotText(ctrl, 1 + i, selector, useDefaults);
        if (!label) continue;
        switch (valueType) {
        case VAL_STRING: {
            HeapText value;
            rc = ReadListText(
                [&](int *len) { return GetValueLengthFromIndex(panel, control, i, len); },
                [&](char *buf, size_t size) {
                    return GetValueFromIndex(panel, control, i, buf, size);
                },
                &value);
            if (rc == 0) rc = LOC_RT(ReplaceListItem(panel, control, i, label, value.get()));
            break;
        }
        case VAL_FLOAT:
        case VAL_DOUBLE:
        case VAL_UNSIGNED_INTEGER: { // a double holds every unsigned 32-bit value exactly
            double value = 0;
            if ((rc = LOC_RT(GetValueFromIndex(panel, control, i, &value))) >= 0)
                rc = LOC_RT(ReplaceListItem(panel, control, i, label, value));
            break;
        }
        default: {
            int value = 0;
            if ((rc = LOC_RT(GetValueFromIndex(panel, control, i, &value))) >= 0)
                rc = LOC_RT(ReplaceListItem(panel, control, i, label, value));
            break;
        }
        }
        if (rc < 0) return rc;
    }
    for (int i = 0; i < n.b; ++i) {
        const char *value = SlotText(ctrl, 1 + n.a + i, selector, useDefaults);
        if (!value) continue;
        DoAssert(valueType == VAL_STRING, __FILE__, __LINE__, "valType == VAL_STRING");
        HeapText label;
        rc = ReadListText(
            [&](int *len) { return GetLabelLengthFromIndex(panel, control, i, len); },
            [&](char *buf, size_t size) { return GetLabelFromIndex(panel, control, i, buf, size); },
            &label);
        if (rc < 0 || (rc = LOC_RT(ReplaceListItem(panel, control, i, label.get(), value))) < 0)
            return rc;
    }
    return 0;
}

// Every cell is written as a string cell and gets its own type back, translated or not.
int ApplyTableCells(const CTRL *ctrl, int selector, int useDefaults) {
    const int panel = ctrl->panel->panel, control = ctrl->control;
    const Counts n = GetCounts(ctrl);
    const int rows = n.a, cols = n.b;
    for (int c = 1; c <= cols; ++c)
        for (int r = 1; r <= rows; ++r) {
            const Point cell = MakePoint(c, r);
            int cellType = 1;
            int rc = LOC_RT(GetTableCellAttribute(panel, control, cell, ATTR_CELL_TYPE, &cellType));
            if (rc < 0) return rc;
            if (cellType != 1 &&
                (rc = LOC_RT(SetTableCellAttribute(panel, control, cell, ATTR_CELL_TYPE, 1))) < 0)
                return rc;
            const int slot = 1 + rows + cols + (c - 1) * rows + (r - 1);
            if (const char *text = SlotText(ctrl, slot, selector, useDefaults))
                rc = LOC_RT(SetTableCellVal(panel, control, cell, text));
            if (cellType != 1) {
                const int restore =
                    LOC_RT(SetTableCellAttribute(panel, control, cell, ATTR_CELL_TYPE, cellType));
                if (rc >= 0) rc = restore;
            }
            if (rc < 0) return rc;
        }
    return 0;
}

} // namespace

// ---- Apply step --------------------------------------------------------------------------------

int PNLLocalStrsToUIPanel(PNL *pnl, int selector, int useDefaults) {
    DoAssert(pnl != nullptr, __FILE__, __LINE__, "ppnl");
    DoAssert(pnl->plocalStrs != nullptr, __FILE__, __LINE__, "plocalStrs");
    if (!Selected(pnl->treeIds, 0, selector)) return 0;
    const char *title = nullptr;
    if (pnl->plocalStrs->flag == SLOT_VALID)
        title = pnl->plocalStrs->title ? pnl->plocalStrs->title : "";
    else if (useDefaults)
        title =
            (pnl->pdefaultStrs && pnl->pdefaultStrs->flag == SLOT_VALID && pnl->pdefaultStrs->title)
                ? pnl->pdefaultStrs->title
                : "";
    if (!title) return 0;
    const int rc = LOC_RT(SetPanelAttribute(pnl->panel, ATTR_TITLE, title));
    return rc < 0 ? rc : 0;
}

int CTRLLocalStrsToUIControl(CTRL *ctrl, int selector, int useDefaults) {
    DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
    if (ctrl->type == CTRL_CLASS_NONE) return 0;
    DoAssert(StrsPtr(ctrl->type, ctrl->localStrs) != nullptr, __FILE__, __LINE__, "localStrs");
    const int panel = ctrl->panel->panel, control = ctrl->control;
    const Counts n = GetCounts(ctrl);
    auto setText = [&](int slot, int attribute) {
        const char *text = SlotText(ctrl, slot, selector, useDefaults);
        return text ? LOC_RT(SetCtrlAttribute(panel, control, attribute, text)) : 0;
    };
    int rc = 0;
    switch (ctrl->type) {
    case CTRL_CLASS_BASIC:
        rc = setText(0, ATTR_LABEL_TEXT);
        break;
    case CTRL_CLASS_STRING: {
        int style = 0;
        if ((rc = LOC_RT(GetCtrlAttribute(panel, control, ATTR_CTRL_STYLE, &style))) < 0 ||
            (rc = setText(0, ATTR_LABEL_TEXT)) < 0)
            break;
        if (const char *text = SlotText(ctrl, 1, selector, useDefaults)) {
            // A text box keeps its typed text beside the default value; clear it first.
            if (style == CTRL_TEXT_BOX && (rc = LOC_RT(ResetTextBox(panel, control, ""))) < 0)
                break;
            rc = LOC_RT(SetCtrlAttribute(panel, control, ATTR_DFLT_VALUE, text));
        }
        break;
    }
    case CTRL_CLASS_MSG:
        rc = setText(0, ATTR_DFLT_VALUE);
        break;
    case CTRL_CLASS_STATE:
        if ((rc = setText(0, ATTR_LABEL_TEXT)) >= 0 && (rc = setText(1, ATTR_ON_TEXT)) >= 0)
            rc = setText(2, ATTR_OFF_TEXT);
        break;
    case CTRL_CLASS_GRAPH: {
        if ((rc = setText(0, ATTR_LABEL_TEXT)) < 0 || (rc = setText(1, ATTR_XNAME)) < 0 ||
            (rc = LOC_RT(SetCtrlAttribute(panel, control, ATTR_ACTIVE_YAXIS, 1))) < 0 ||
            (rc = setText(2, ATTR_YNAME)) < 0)
            break;
        if ((rc = LOC_RT(SetCtrlAttribute(panel, control, ATTR_ACTIVE_YAXIS, 2))) >= 0 &&
            (rc = setText(3, ATTR_YNAME)) >= 0 &&
            (rc = ApplyAxisItems(ctrl, 0, n.a, 4, selector, useDefaults)) >= 0 &&
            (rc = ApplyAxisItems(ctrl, 1, n.b, 4 + n.a, selector, useDefaults)) >= 0)
            rc = ApplyAxisItems(ctrl, 2, n.c, 4 + n.a + n.b, selector, useDefaults);
        // The left axis is the active one afterwards, also when a step above failed.
        const int restore = LOC_RT(SetCtrlAttribute(panel, control, ATTR_ACTIVE_YAXIS, 1));
        if (rc >= 0) rc = restore;
        break;
    }
    case CTRL_CLASS_STRIP:
        if ((rc = setText(0, ATTR_LABEL_TEXT)) >= 0 && (rc = setText(1, ATTR_XNAME)) >= 0 &&
            (rc = setText(2, ATTR_YNAME)) >= 0 &&
            (rc = ApplyAxisItems(ctrl, 0, n.a, 3, selector, useDefaults)) >= 0)
            rc = ApplyAxisItems(ctrl, 1, n.b, 3 + n.a, selector, useDefaults);
        break;
    case CTRL_CLASS_LIST: {
        int valueType = 0;
        if ((rc = LOC_RT(GetCtrlAttribute(panel, control, ATTR_DATA_TYPE, &valueType))) >= 0 &&
            (rc = setText(0, ATTR_LABEL_TEXT)) >= 0)
            rc = ApplyListItems(ctrl, valueType, selector, useDefaults);
        break;
    }
    case CTRL_CLASS_TABLE: {
        if ((rc = setText(0, ATTR_LABEL_TEXT)) < 0) break;
        for (int r = 1; r <= n.a && rc >= 0; ++r)
            if (const char *text = SlotText(ctrl, r, selector, useDefaults))
                rc = LOC_RT(SetTableRowAttribute(panel, control, r, ATTR_LABEL_TEXT, text));
        for (int c = 1; c <= n.b && rc >= 0; ++c)
            if (const char *text = SlotText(ctrl, n.a + c, selector, useDefaults))
                rc = LOC_RT(SetTableColumnAttribute(panel, control, c, ATTR_LABEL_TEXT, text));
        if (rc >= 0) rc = ApplyTableCells(ctrl, selector, useDefaults);
        break;
    }
    default:
        DoAssert(0, __FILE__, __LINE__, "unknown control class");
    }
    return rc < 0 ? rc : 0;
}

int PNLAndCTRLLocalsToPanelAndControls(PNL *pnl) {
    DoAssert(pnl != nullptr, __FILE__, __LINE__, "ppnl");
    int rc = PNLLocalStrsToUIPanel(pnl, -1, 0);
    if (rc < 0) {
        LangFileSetFailedSection(pnl->name);
        return rc;
    }
    const int n = ListNumItems(pnl->controls);
    for (int i = 1; i <= n; ++i) {
        auto *ctrl = static_cast<CTRL *>(ListGetPtrToItem(pnl->controls, i));
        DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
        if ((rc = CTRLLocalStrsToUIControl(ctrl, -1, 0)) < 0) {
            HeapText section(JoinSection(pnl->name, ctrl->name));
            LangFileSetFailedSection(section ? section.get() : "");
            return rc;
        }
    }
    return 0;
}

int MENUITEMLocalStrsToUIMenu(MENUITEM *item, int recurse, int useDefaults) {
    DoAssert(item != nullptr, __FILE__, __LINE__, "pmenuItem");
    DoAssert(item->plocalStrs != nullptr, __FILE__, __LINE__, "plocalStrs");
    const int menuBar = GetMenubarHandleFromMENUITEM(item);
    DoAssert(item->pparent != nullptr, __FILE__, __LINE__, "pparent");
    const bool isMenu = *static_cast<int *>(item->pparent) == UIOBJ_KIND_MENUBAR;
    const int attribute = isMenu ? ATTR_MENU_NAME : ATTR_ITEM_NAME;
    const char *name = nullptr;
    if (item->plocalStrs->flag == SLOT_VALID)
        name = item->plocalStrs->name ? item->plocalStrs->name : "";
    else if (useDefaults)
        name = (item->pdefaultStrs && item->pdefaultStrs->flag == SLOT_VALID &&
                item->pdefaultStrs->name)
                   ? item->pdefaultStrs->name
                   : "";
    if (name) {
        const int rc = LOC_RT(SetMenuBarAttribute(menuBar, item->id, attribute, name));
        if (rc < 0) return rc;
    }
    if (recurse) {
        const int n = ListNumItems(item->children);
        for (int i = 1; i <= n; ++i) {
            auto **child = static_cast<MENUITEM **>(ListGetPtrToItem(item->children, i));
            DoAssert(child != nullptr && *child != nullptr, __FILE__, __LINE__, "ppchildMenuItem");
            MENUITEMLocalStrsToUIMenu(*child, recurse, useDefaults);
        }
    }
    return 0;
}

int MENUBARAndMENUITEMLocalStrsToUIMenuAndMenuItems(MENUBAR *menuBar) {
    DoAssert(menuBar != nullptr, __FILE__, __LINE__, "pmenubar");
    const int n = ListNumItems(menuBar->menus);
    for (int i = 1; i <= n; ++i) {
        auto **item = static_cast<MENUITEM **>(ListGetPtrToItem(menuBar->menus, i));
        DoAssert(item != nullptr && *item != nullptr, __FILE__, __LINE__, "ppmenuItem");
        MENUITEMLocalStrsToUIMenu(*item, 1, 0);
    }
    return 0;
}

// ---- Entry points ------------------------------------------------------------------------------

int TranslateLocalizationError(int code) {
    switch (code) {
    case LOC_ERR_NO_MEMORY:
        return RT_ERR_OUT_OF_MEMORY;
    case LOC_ERR_NULL_ARGUMENT:
        return RT_ERR_NULL_POINTER;
    case LOC_ERR_NOT_LANGUAGE_FILE:
    case LOC_ERR_INI:
    case LOC_ERR_MISSING:
        return RT_ERR_LANGUAGE_FILE;
    case -5:
    case -6:
        return RT_ERR_ATTRIBUTE_TYPE;
    case LOC_ERR_CLASS_MISMATCH:
        return RT_ERR_CLASS_MISMATCH;
    case LOC_ERR_COUNT_MISMATCH:
        return RT_ERR_COUNT_MISMATCH;
    case LOC_ERR_READ:
        return RT_ERR_IO;
    case LOC_ERR_OPEN:
        return RT_ERR_FILE_NOT_FOUND;
    default:
        return code;
    }
}

int LocalizeMenuBar(int menuBar, const char *languageFile) {
    MENUBAR rec{};
    LangFileSetFailedSection("");
    int rc = LOC_ERR_NULL_ARGUMENT;
    if (languageFile && !(rc = UIMenubarToMENUBARAndMENUITEMs(menuBar, &rec, 0, 0)) &&
        !(rc = LangFileToMENUBARAndMENUITEMLocalStrs(languageFile, &rec)))
        MENUBARAndMENUITEMLocalStrsToUIMenuAndMenuItems(&rec);
    FreeDataForMENUBARAndMENUITEMs(&rec, 1, 1);
    return TranslateLocalizationError(rc);
}

int LocalizePanel(int panel, const char *languageFile) {
    PNL pnl{};
    LangFileSetFailedSection("");
    int rc = LOC_ERR_NULL_ARGUMENT;
    if (languageFile && !(rc = UIPanelToPNLAndCTRLs(panel, &pnl, 0, 0)) &&
        !(rc = LangFileToPNLAndCTRLLocalStrs(languageFile, &pnl)))
        rc = PNLAndCTRLLocalsToPanelAndControls(&pnl);
    FreeDataForPNLAndCTRLs(&pnl, 0, 1);
    if (rc) return TranslateLocalizationError(rc);
    const int menuBar = GetPanelMenuBar(panel);
    if (menuBar > 0) return LocalizeMenuBar(menuBar, languageFile);
    return 0;
}

int LoadLocalizedPanel(int parentPanel, const char *resourceFile, int panelResourceId,
                       const char *languageFile, int *panelHandle) {
    if (!panelHandle || !resourceFile || !languageFile) {
        if (panelHandle) *panelHandle = 0;
        return TranslateLocalizationError(LOC_ERR_NULL_ARGUMENT);
    }
    *panelHandle = 0;
    const int panel = LoadPanel(parentPanel, resourceFile, panelResourceId);
    if (panel < 0) return TranslateLocalizationError(panel);
    *panelHandle = panel;
    const int rc = LocalizePanel(panel, languageFile);
    if (rc < 0) {
        if (panel > 0) DiscardPanel(panel);
        *panelHandle = 0;
    }
    return rc;
}

int LoadLocalizedMenuBar(int panel, const char *resourceFile, int menuBarResourceId,
                         const char *languageFile, int *menuBarHandle) {
    if (!menuBarHandle || !languageFile || !resourceFile) {
        if (menuBarHandle) *menuBarHandle = 0;
        return TranslateLocalizationError(LOC_ERR_NULL_ARGUMENT);
    }
    *menuBarHandle = 0;
    const int menuBar = LoadMenuBar(panel, resourceFile, menuBarResourceId);
    if (menuBar < 0) return TranslateLocalizationError(menuBar);
    *menuBarHandle = menuBar;
    const int rc = LocalizeMenuBar(menuBar, languageFile);
    if (rc < 0) {
        if (menuBar > 0) DiscardMenuBar(menuBar);
        *menuBarHandle = 0;
    }
    return rc;
}
