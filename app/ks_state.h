// The application's named globals: the settings and the records, the panels and popups on screen,
// the port state, the language and readme paths and the results log. They live for the whole run
// and are shared by every application module.
#pragma once

#include <climits>
#include <cstdio>

#include "app/ks_record.h"

// Room for a path the program builds for its own use (the language, readme and log files): the
// platform's full path length, so such a path is never cut. Only the settings file keeps paths
// in 260-byte fields.
enum { KS_FULL_PATH_SIZE = PATH_MAX };

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
extern char langFilePath[KS_FULL_PATH_SIZE];
extern char readmeFilePath[KS_FULL_PATH_SIZE];
extern int commStatus; // 1 open requested, 0 open, negative failed or closed
extern int Save2Log;   // 1 while the shown record is not yet in the results log
extern int logStarted; // 1 once this run's log has its header
extern char logFilePath[KS_FULL_PATH_SIZE]; // the results log, set when it is started

// Closes the port when it is open, discards the main panel and the readme viewer, and puts every
// global above back to its start value.
void KsResetGlobals(void);
