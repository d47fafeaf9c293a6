// The results log "TCLOG" (one tab-separated line per result under a header of the main panel's
// labels) and the save command that copies it to a file of the operator's choosing.
#pragma once

#include "app/ks_record.h"

// Appends one data line for the record to the log, starting a new log (header first) when none
// has been started in this run. The line's date and time are those the record was shown at.
// Before the first write of a run, the previous log is kept as "TCLOG.bak"; when it cannot be, it
// stays as it is and this run's log is "TCLOG.<n>" (the operator is told which). A row goes to the
// file whole or not at all; rows the log cannot take (a full disk, a protected folder) wait in
// memory and go in, in order, when it can take them again (the operator is told once of each).
void Save2LogFile(TestRecord *record);
// Writes the rows that wait in memory, in order. Returns how many still wait (0 when the log has
// them all).
int KsFlushLog(void);
int KsLogRowsWaiting(void);
// KsFlushLog when rows wait and a while has passed since the last attempt (the idle callback
// calls it, so a log that can be written again catches up without a new record).
void KsRetryLog(void);
// Writes rows that never reached the log to standard error, as the last place left for them at
// the end of the program.
void KsReportUnwrittenRows(void);
// Replaces every line feed, carriage return and tab of text by a blank, in place, so the text
// stays one column of one log row.
void Remove_NL(char *text);

// The save command: logs the pending result and copies the log to a chosen file in the "Data"
// folder; the copy-failed notice when the copy fails (or the log still misses rows). Nothing
// happens when the dialog is cancelled or fails, or when the folder's path does not fit a path
// text.
void Save2File(void);
// The end of a request to end the program that nobody answered: the quit popup goes, the pending
// result is logged as the save command would log it, and the program ends normally.
void KsEndUnanswered(int popup);
// Buttons of the save-before-quit popup: save and quit, quit without saving; others go back.
int SaveCB(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);

// Back to the state of a fresh run (no log started, no backup made yet). The log's globals
// (logStarted, logFilePath) are in ks_state.h.
void KsResetLogState(void);
