// The application's named globals. See ks_state.h.
#include "app/ks_state.h"

#include <cstring>

#include "platform/runtime.h"

HostConfigRecord HostConfig;
TestRecord DataInput;
TestRecord NewDataInput;
int panelHandle = 0;
int MessagePanel = 0;
int temppanel = 0;
int tempctrl = 0;
int SavePanelHandle = 0;
int readmePanelHandle = 0;
FILE *file = nullptr;
int Size = 0;
char langFilePath[KS_FULL_PATH_SIZE];
char readmeFilePath[KS_FULL_PATH_SIZE];
int commStatus = 1;
int Save2Log = 0;
int logStarted = 0;
char logFilePath[KS_FULL_PATH_SIZE] = "";

void KsResetGlobals(void) {
    if (commStatus == 0) CloseCom(HostConfig.ComPort);
    if (readmePanelHandle > 0) DiscardPanel(readmePanelHandle);
    if (panelHandle > 0) DiscardPanel(panelHandle);
    std::memset(&HostConfig, 0, sizeof HostConfig);
    std::memset(&DataInput, 0, sizeof DataInput);
    std::memset(&NewDataInput, 0, sizeof NewDataInput);
    panelHandle = MessagePanel = temppanel = tempctrl = SavePanelHandle = 0;
    readmePanelHandle = 0;
    Size = 0;
    langFilePath[0] = readmeFilePath[0] = '\0';
    commStatus = 1;
    Save2Log = 0;
    logStarted = 0;
    logFilePath[0] = '\0';
}
