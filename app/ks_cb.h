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
// Panel height of the main panel: width x 571 / 445 with logo 3, width x 480 / 445 without.
void KsApplyHeightRule(int withLogo3);

// Readme viewer.
void ReadmeMCB(int menuBar, int menuItem, void *callbackData, int panel);
void PrintReadMeMCB(int menuBar, int menuItem, void *callbackData, int panel);
void ExitReadMeMCB(int menuBar, int menuItem, void *callbackData, int panel);
int ExitReadMeCB(int panel, int control, int event, void *callbackData, int eventData1,
                 int eventData2);
extern int readmePanelHandle;

void AboutMCB(int menuBar, int menuItem, void *callbackData, int panel);
void Quit(void);
void ExitMCB(int menuBar, int menuItem, void *callbackData, int panel);
int MainPNLCB(int panel, int event, void *callbackData, int eventData1, int eventData2);
int TextEnterCB(int panel, int control, int event, void *callbackData, int eventData1,
                int eventData2);

// Menu items of the main menu bar that the logo commands tell apart.
enum {
    MENU_LOAD_LOGO1 = 10,
    MENU_UNLOAD_LOGO1 = 11,
    MENU_LOAD_LOGO2 = 12,
    MENU_UNLOAD_LOGO2 = 13,
    MENU_LOAD_LOGO3 = 14,
    MENU_UNLOAD_LOGO3 = 15,
};
