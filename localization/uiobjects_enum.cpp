// Enumeration of the localizable strings of a tree, in slot order. See uiobjects.h.
#include "localization/uiobjects.h"

#include "localization/loc_internal.h"
#include "toolbox/toolbox.h"

using namespace loc;

// The one string of a panel title or menu name record (nothing without a local record).
template <typename Strs>
static int EnumText(const char *section, const char *key, const char *description, Strs *local,
                    const Strs *dflt, char *Strs::*text, LocalStrEnumCallback callback,
                    void *callbackData) {
    if (!local) return 0;
    LOCALSTR str{section,
                 key,
                 description,
                 0,
                 &local->flag,
                 &(local->*text),
                 (dflt && dflt->flag == SLOT_VALID) ? dflt->*text : nullptr};
    return callback(&str, callbackData);
}

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
    if (int rc = EnumText(pnl->name ? pnl->name : "", "Title", "Panel title", pnl->plocalStrs,
                          pnl->pdefaultStrs, &TITLESTRS::title, callback, callbackData))
        return rc;
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
    if (int rc = EnumText(section.get(), "Name", "Menu item name", item->plocalStrs,
                          item->pdefaultStrs, &NAMESTRS::name, callback, callbackData))
        return rc;
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
