// The application's named globals: the settings and the records, the panels and popups on screen,
// the port state, the language and readme paths and the results log. They live for the whole run
// and are shared by every application module.
#pragma once

#include <cstdio>

#include "app/ks_record.h"

extern HostConfigRecord HostConfig;
extern TestRecord DataInput;    // the record being received or decoded
extern TestRecord NewDataInput; // the last completed record, used by the log and the save
extern int panelHandle;         // the main panel
extern int MessagePanel;        // the notice popup currently shown
extern int temppanel, tempctrl; // panel and control of the last event while a popup waits
extern int SavePanelHandle;     // the save-before-quit popup
extern int readmePanelHandle;   // the readme viewer
extern FILE *file;              // the settings or readme file while it is read or written
extern int Size;                // size returned by GetFileInfo
extern char langFilePath[KS_PATH_WIDTH];
extern char readmeFilePath[KS_PATH_WIDTH];
extern int commStatus;                  // 1 open requested, 0 open, negative failed or closed
extern int Save2Log;                    // 1 while the shown record is not yet in the results log
extern int logStarted;                  // 1 once this run's log has its header
extern char logFilePath[KS_PATH_WIDTH]; // the results log, set when it is started

// Closes the port when it is open, discards the main panel and the readme viewer, and puts every
// global above back to its start value.
void KsResetGlobals(void);
