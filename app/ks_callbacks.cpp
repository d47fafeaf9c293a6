// The callback table: every function the UI resource binds by name. A name the resource uses and
// this table lacks makes the panel fail to load, so the table and "ks_read.ui.json" must agree.
// See ks_callbacks.h.
#include "app/ks_callbacks.h"

#include "app/ks_cb.h"
#include "app/ks_hist.h"
#include "app/ks_workshop.h"
#include "app/ks_workshoppanel.h"
#include "app/ks_histpanel.h"
#include "app/ks_read.h"
#include "app/ks_save.h"
#include "platform/runtime.h"

namespace {

template <typename F> void *Fn(F *function) {
    return reinterpret_cast<void *>(function);
}

const RT_Callback kCallbacks[] = {
    {"TestcodeCD", RT_CTRL_CALLBACK, Fn(TestcodeCD)},
    {"SaveCB", RT_CTRL_CALLBACK, Fn(SaveCB)},
    {"TextEnterCB", RT_CTRL_CALLBACK, Fn(TextEnterCB)},
    {"LoadGraphicCB", RT_CTRL_CALLBACK, Fn(LoadGraphicCB)},
    {"ExitReadMeCB", RT_CTRL_CALLBACK, Fn(ExitReadMeCB)},
    {"MainPNLCB", RT_PANEL_CALLBACK, Fn(MainPNLCB)},
    {"SaveMCB", RT_MENU_CALLBACK, Fn(SaveMCB)},
    {"PrintMCB", RT_MENU_CALLBACK, Fn(PrintMCB)},
    {"CommPortMCB", RT_MENU_CALLBACK, Fn(CommPortMCB)},
    {"SelLanguageMCB", RT_MENU_CALLBACK, Fn(SelLanguageMCB)},
    {"LoadGraphicMCB", RT_MENU_CALLBACK, Fn(LoadGraphicMCB)},
    {"UnLoadGraphicMCB", RT_MENU_CALLBACK, Fn(UnLoadGraphicMCB)},
    {"ReadmeMCB", RT_MENU_CALLBACK, Fn(ReadmeMCB)},
    {"PrintReadMeMCB", RT_MENU_CALLBACK, Fn(PrintReadMeMCB)},
    {"ExitReadMeMCB", RT_MENU_CALLBACK, Fn(ExitReadMeMCB)},
    {"AboutMCB", RT_MENU_CALLBACK, Fn(AboutMCB)},
    {"ExitMCB", RT_MENU_CALLBACK, Fn(ExitMCB)},
    {"HistoryMCB", RT_MENU_CALLBACK, Fn(HistoryMCB)},
    {"HistoryCB", RT_CTRL_CALLBACK, Fn(HistoryCB)},
    {"HistoryPanelCB", RT_PANEL_CALLBACK, Fn(HistoryPanelCB)},
    {"WorkshopMCB", RT_MENU_CALLBACK, Fn(WorkshopMCB)},
    {"WorkshopCB", RT_CTRL_CALLBACK, Fn(WorkshopCB)},
};

} // namespace

void KsRegisterCallbacks(void) {
    RT_RegisterCallbacks(kCallbacks, static_cast<int>(sizeof kCallbacks / sizeof kCallbacks[0]));
}

int KsReadMain(char **argv) {
    KsRegisterCallbacks();
    if (KsStartup(argv) < 0) return -1;
    RunUserInterface();
    KsResetWorkshopPanel();
    KsWorkshopFinish();
    KsHistoryFinish();
    return 0;
}
