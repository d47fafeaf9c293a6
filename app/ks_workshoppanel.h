// Settings > Workshop server: the bench's name and its connections to the workshop's PostgreSQL
// server, a button that tries them and says in the operator's words what failed, and OK, which
// writes workshop.ini and sends with the new settings from then on. Cancel (Escape, the close
// box) leaves the file as it was.
#pragma once

// Settings > Workshop server: shows the panel as a popup, filled from workshop.ini.
void WorkshopMCB(int menuBar, int menuItem, void *callbackData, int panel);
// The panel's controls: Enter in a box goes on to the next one; Test connection, OK, Cancel.
int WorkshopCB(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);
// Shows a finished test's outcome; called on every turn of the main callback, since the test runs
// on a thread of its own.
void KsWorkshopPanelIdle(void);
// The panel's handle while it is up, else 0.
int KsWorkshopPanel(void);
// 1 while a test of the panel's connections runs.
int KsWorkshopTesting(void);
// Discards the panel and waits for any test still running; back to the state of a fresh run.
void KsResetWorkshopPanel(void);
