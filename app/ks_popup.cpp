// Popups, notices and the quit. See ks_popup.h.
#include "app/ks_popup.h"

#include "app/ks_ids.h"
#include "app/ks_state.h"
#include "localization/localize.h"
#include "platform/runtime.h"

namespace {

int retiredPopup = 0; // the finished popup kept loaded (KsRetirePopup)

} // namespace

int KsLoadPanelInLanguage(int panelId) {
    int panel = 0;
    if (LoadLocalizedPanel(0, kUiFile, panelId, langFilePath, &panel) >= 0) return panel;
    return LoadPanel(0, kUiFile, panelId);
}

int KsWaitForControl(int panel, int control, int orControl) {
    for (;;) {
        if (GetUserEvent(1, &temppanel, &tempctrl) < 0) return -1;
        if (temppanel != panel) continue;
        if (tempctrl == control || (orControl >= 0 && tempctrl == orControl)) return tempctrl;
    }
}

void KsShowLoadedNotice(int notice) {
    InstallPopup(notice);
    KsWaitForControl(notice, NOTICE_OK);
    RemovePopup(0);
    KsRetirePopup(notice);
}

int KsShowNotice(int panelId) {
    MessagePanel = KsLoadPanelInLanguage(panelId);
    if (MessagePanel < 0) return MessagePanel;
    KsShowLoadedNotice(MessagePanel);
    return 0;
}

void KsRetirePopup(int panel) {
    if (retiredPopup > 0 && retiredPopup != panel) DiscardPanel(retiredPopup);
    retiredPopup = panel;
}

void KsResetPopups(void) {
    if (retiredPopup > 0) DiscardPanel(retiredPopup);
    retiredPopup = 0;
}

void KsClosePortAndQuit(void) {
    if (commStatus == 0) CloseCom(HostConfig.ComPort);
    commStatus = -1;
    QuitUserInterface(0);
}
