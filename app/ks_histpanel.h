// The history panel (Results > History, Ctrl+H): the stored results newest first, found by any
// part of their texts and by date, counted; one vehicle's results together; a result opened on
// the main panel (marked as from the history), and the rows in view exported to CSV.
#pragma once

// Results > History: shows the panel (brings it forward when it is up).
void HistoryMCB(int menuBar, int menuItem, void *callbackData, int panel);
// The panel's controls: the search and date boxes refresh the list as they change; Open, the
// vehicle's results, Export and Close.
int HistoryCB(int panel, int control, int event, void *callbackData, int eventData1,
              int eventData2);
int HistoryPanelCB(int panel, int event, void *callbackData, int eventData1, int eventData2);
// The panel's handle while it is up, else 0.
int KsHistoryPanel(void);
// Discards the panel; back to the state of a fresh run.
void KsResetHistoryPanel(void);
