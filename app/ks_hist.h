// The application's side of the results history: every result shown on the main panel is stored
// as it is shown, with the operator's entry and notes brought up to date when the result is
// logged, saved, or the program ends. The history is an addition: a database that cannot be
// opened or written never stops reception, display, the log or saving; results it could not take
// wait in memory and go in, in order, when it can take them again.
#pragma once

#include <cstdint>
#include <string>

#include "app/ks_record.h"
#include "history/history.h"

// Stores a result that has just been shown (typed non-zero: decoded from a typed test code). The
// database is opened here when it is not open yet. The stored row is the shown result's, whose
// entry and notes KsHistoryUpdateTexts keeps.
void KsHistoryStoreShown(const TestRecord &record, int typed);
// The main panel's entry and notes into the row of the shown result.
void KsHistoryUpdateTexts(void);
// Called when the loop is idle: opens the database once the main panel is up, and tries again,
// paced, to write results that wait.
void KsHistoryIdle(void);
// The end of the program: the shown result's texts go in, the database is closed.
void KsHistoryFinish(void);
// What the status line shows about the history: ok, or a warning in English and its code.
HistoryHealth KsHistoryHealth(void);
// Results waiting in memory for the database.
int KsHistoryWaiting(void);
// The open store (the history panel reads it); nullptr while the database is not open.
HistoryStore *KsHistoryStore(void);
// A result from the history goes on the main panel: the shown result's texts are kept and it
// stops following the panel's entry and notes; the panel's title gets the marker (the title comes
// back when the next result is shown).
void KsHistoryMarkOpened(const char *marker);
// 1 while the main panel shows a result opened from the history.
int KsHistoryOpenedShown(void);
// Where the database is (in the program folder), or "" when the folder cannot be had.
std::string KsHistoryPath(void);
// Called after each result or change of its texts went into the database (one listener: the
// workshop server's sender), on the thread of the user interface.
void KsHistoryOnChange(void (*listener)(void));
// Back to the state of a fresh run: the database closed, nothing waiting.
void KsResetHistoryState(void);
