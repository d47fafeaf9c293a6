// The results log "TCLOG" (one tab-separated line per result under a header of the main panel's
// labels) and the save command that copies it to a file of the operator's choosing.
#pragma once

#include "app/ks_record.h"

// Appends one data line for the record to the log, starting a new log (header first) when none
// has been started in this run. The line's date and time are those the record was shown at. Before
// the first write of a run truncates an old log, that log is kept as "TCLOG.bak". Failures end the
// call silently.
void Save2LogFile(TestRecord *record);
// Replaces every line feed, carriage return and tab of text by a blank, in place, so the text
// stays one column of one log row.
void Remove_NL(char *text);

// The save command: logs the pending result and copies the log to a chosen file in the "Data"
// folder; the copy-failed notice when the copy fails. Nothing happens when the dialog is cancelled
// or fails, or when the folder's path does not fit a path text.
void Save2File(void);
// Buttons of the save-before-quit popup: save and quit, quit without saving; others go back.
int SaveCB(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

// Back to the state of a fresh run (no log started, no backup made yet). The log's globals
// (logStarted, logFilePath) are in ks_state.h.
void KsResetLogState(void);
