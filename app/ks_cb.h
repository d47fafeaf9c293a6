// Menu and control callbacks of the main panel: save, print, port and language selection, logos,
// the readme viewer, about, quit, window events and the line limits of the typing text boxes.
// Every one of them is bound by name from the UI resource through the callback table.
#pragma once

void SaveMCB(int menuBar, int menuItem, void *callbackData, int panel);
void PrintMCB(int menuBar, int menuItem, void *callbackData, int panel);
void CommPortMCB(int menuBar, int menuItem, void *callbackData, int panel);
void SelLanguageMCB(int menuBar, int menuItem, void *callbackData, int panel);

// Logos: picture controls 16, 17, 18 of the main panel.
void LoadGraphic(int control);
int LoadGraphicCB(int panel, int control, int event, void *callbackData, int eventData1,
                  int eventData2);
void LoadGraphicMCB(int menuBar, int menuItem, void *callbackData, int panel);
void UnLoadGraphicMCB(int menuBar, int menuItem, void *callbackData, int panel);

// Readme viewer.
void ReadmeMCB(int menuBar, int menuItem, void *callbackData, int panel);
void PrintReadMeMCB(int menuBar, int menuItem, void *callbackData, int panel);
void ExitReadMeMCB(int menuBar, int menuItem, void *callbackData, int panel);
int ExitReadMeCB(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);

void AboutMCB(int menuBar, int menuItem, void *callbackData, int panel);
void Quit(void);
void ExitMCB(int menuBar, int menuItem, void *callbackData, int panel);
int MainPNLCB(int panel, int event, void *callbackData, int eventData1, int eventData2);
int TextEnterCB(int panel, int control, int event, void *callbackData, int eventData1,
                int eventData2);
