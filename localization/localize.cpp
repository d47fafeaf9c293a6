// Localized loading and the apply step. See localize.h.
#include "localization/localize.h"

#include <cstdlib>

#include "localization/langfileio.h"
#include "localization/loc_internal.h"
#include "platform/runtime.h"
#include "toolbox/toolbox.h"

using namespace loc;

namespace {

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

// The text a panel title or menu name record gives, as SlotText.
template <typename Strs>
const char *RecordText(const Strs *local, const Strs *dflt, char *Strs::*text, int useDefaults) {
    if (local->flag == SLOT_VALID) return local->*text ? local->*text : "";
    if (!useDefaults) return nullptr;
    return dflt && dflt->flag == SLOT_VALID && dflt->*text ? dflt->*text : "";
}

// What one apply of a control's texts works with.
struct ApplyContext {
    const CTRL *ctrl;
    int panel;
    int control;
    int selector;
    int useDefaults;
    int valueType; // of a list's values
    const char *Text(int slot) const { return SlotText(ctrl, slot, selector, useDefaults); }
};

// Axis items keep their values: each item's value is read back and passed unchanged.
int ApplyAxisItems(const ApplyContext &x, int axis, int count, int firstSlot) {
    for (int i = 0; i < count; ++i) {
        double value = 0;
        int rc = LOC_RT(GetAxisItem(x.panel, x.control, axis, i, nullptr, 0, &value));
        if (rc < 0) return rc;
        if (const char *text = x.Text(firstSlot + i))
            if ((rc = LOC_RT(ReplaceAxisItem(x.panel, x.control, axis, i, text, value))) < 0)
                return rc;
    }
    return 0;
}

// List item labels keep their items' values, read back in the list's value type.
int ApplyListLabels(const ApplyContext &x, int count, int firstSlot) {
    const int panel = x.panel, control = x.control;
    for (int i = 0; i < count; ++i) {
        const char *label = x.Text(firstSlot + i);
        if (!label) continue;
        int rc = 0;
        switch (x.valueType) {
        case VAL_STRING: {
            HeapText value;
            rc = ReadRuntimeText(
                [&](int *len) { return GetValueLengthFromIndex(panel, control, i, len); },
                [&](char *buf, size_t size) {
                    return GetValueFromIndex(panel, control, i, buf, size);
                },
                false, &value);
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
    return 0;
}

// String item values keep their items' labels.
int ApplyListValues(const ApplyContext &x, int count, int firstSlot) {
    const int panel = x.panel, control = x.control;
    for (int i = 0; i < count; ++i) {
        const char *value = x.Text(firstSlot + i);
        if (!value) continue;
        DoAssert(x.valueType == VAL_STRING, __FILE__, __LINE__, "valType == VAL_STRING");
        HeapText label;
        int rc = ReadRuntimeText(
            [&](int *len) { return GetLabelLengthFromIndex(panel, control, i, len); },
            [&](char *buf, size_t size) { return GetLabelFromIndex(panel, control, i, buf, size); },
            false, &label);
        if (rc < 0 || (rc = LOC_RT(ReplaceListItem(panel, control, i, label.get(), value))) < 0)
            return rc;
    }
    return 0;
}

// Every cell is written as a string cell and gets its own type back, translated or not.
int ApplyTableCells(const ApplyContext &x, int rows, int count, int firstSlot) {
    for (int i = 0; i < count; ++i) { // column-major
        const Point cell = MakePoint(i / rows + 1, i % rows + 1);
        const int rc = WithStringCell(x.panel, x.control, cell, [&] {
            const char *text = x.Text(firstSlot + i);
            return text ? LOC_RT(SetTableCellVal(x.panel, x.control, cell, text)) : 0;
        });
        if (rc < 0) return rc;
    }
    return 0;
}

// The texts of one counted block; the first negative run-time result ends it.
int ApplyBlock(const ApplyContext &x, const CountedBlock &block, const Counts &n, int firstSlot) {
    const int count = BlockLength(block, n);
    int rc = 0;
    switch (block.source) {
    case BlockSource::AxisItems:
        return ApplyAxisItems(x, block.axis, count, firstSlot);
    case BlockSource::ListLabels:
        return ApplyListLabels(x, count, firstSlot);
    case BlockSource::ListValues:
        return ApplyListValues(x, count, firstSlot);
    case BlockSource::RowLabels:
        for (int r = 1; r <= count && rc >= 0; ++r)
            if (const char *text = x.Text(firstSlot + r - 1))
                rc = LOC_RT(SetTableRowAttribute(x.panel, x.control, r, ATTR_LABEL_TEXT, text));
        return rc;
    case BlockSource::ColumnLabels:
        for (int c = 1; c <= count && rc >= 0; ++c)
            if (const char *text = x.Text(firstSlot + c - 1))
                rc = LOC_RT(SetTableColumnAttribute(x.panel, x.control, c, ATTR_LABEL_TEXT, text));
        return rc;
    case BlockSource::Cells:
        return ApplyTableCells(x, n.a, count, firstSlot);
    }
    return 0;
}

bool ClearsTextBox(const CtrlClassDef &def) {
    for (int k = 0; k < def.numFixed; ++k)
        if (def.fixed[k].clearsTextBox) return true;
    return false;
}

bool HasListLabels(const CtrlClassDef &def) {
    for (int b = 0; b < def.numBlocks; ++b)
        if (def.blocks[b].source == BlockSource::ListLabels) return true;
    return false;
}

} // namespace

// ---- Apply step --------------------------------------------------------------------------------

int PNLLocalStrsToUIPanel(PNL *pnl, int selector, int useDefaults) {
    DoAssert(pnl != nullptr, __FILE__, __LINE__, "ppnl");
    DoAssert(pnl->plocalStrs != nullptr, __FILE__, __LINE__, "plocalStrs");
    if (!Selected(pnl->treeIds, 0, selector)) return 0;
    const char *title =
        RecordText(pnl->plocalStrs, pnl->pdefaultStrs, &TITLESTRS::title, useDefaults);
    if (!title) return 0;
    const int rc = LOC_RT(SetPanelAttribute(pnl->panel, ATTR_TITLE, title));
    return rc < 0 ? rc : 0;
}

// The fixed texts in slot order, then each block. A text box's style and a list's value type are
// asked before anything is set. A graph's right Y axis is made active for its texts and the left
// one is active afterwards, also when a step failed.
int CTRLLocalStrsToUIControl(CTRL *ctrl, int selector, int useDefaults) {
    DoAssert(ctrl != nullptr, __FILE__, __LINE__, "pctrl");
    if (ctrl->type == CTRL_CLASS_NONE) return 0;
    DoAssert(StrsPtr(ctrl->type, ctrl->localStrs) != nullptr, __FILE__, __LINE__, "localStrs");
    const CtrlClassDef &def = ClassOf(ctrl->type);
    ApplyContext x{ctrl, ctrl->panel->panel, ctrl->control, selector, useDefaults, 0};
    int style = 0, rc = 0;
    if (ClearsTextBox(def) &&
        (rc = LOC_RT(GetCtrlAttribute(x.panel, x.control, ATTR_CTRL_STYLE, &style))) < 0)
        return rc;
    if (HasListLabels(def) &&
        (rc = LOC_RT(GetCtrlAttribute(x.panel, x.control, ATTR_DATA_TYPE, &x.valueType))) < 0)
        return rc;
    ActiveYAxis yAxis(x.panel, x.control);
    for (int k = 0; k < def.numFixed; ++k) {
        const FixedSlot &slot = def.fixed[k];
        if ((rc = yAxis.Select(slot.yAxis)) < 0) break;
        const char *text = x.Text(k);
        if (!text) continue;
        // A text box keeps its typed text beside the default value; clear it first.
        if (slot.clearsTextBox && style == CTRL_TEXT_BOX &&
            (rc = LOC_RT(ResetTextBox(x.panel, x.control, ""))) < 0)
            break;
        if ((rc = LOC_RT(SetCtrlAttribute(x.panel, x.control, slot.textAttribute, text))) < 0)
            break;
    }
    const Counts n = GetCounts(ctrl);
    for (int b = 0, first = def.numFixed; rc >= 0 && b < def.numBlocks; ++b) {
        rc = ApplyBlock(x, def.blocks[b], n, first);
        first += BlockLength(def.blocks[b], n);
    }
    rc = yAxis.Restore(rc);
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
    const char *name =
        RecordText(item->plocalStrs, item->pdefaultStrs, &NAMESTRS::name, useDefaults);
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
