// The acquisition side of ks_read: start-up and the settings file, the main callback that polls
// the serial port and receives the tester's records, the display of a completed record and the
// decoding of typed test codes. The globals below are shared with the command callbacks
// (ks_cb, ks_save) and live for the whole run.
#pragma once

#include <cstdio>

#include "app/ks_record.h"

// ---- File and resource names -------------------------------------------------------------------

extern const char kUiFile[];             // "ks_read.ui.json", in the program folder
extern const char kSettingsFile[];       // "ks.ini", in the current directory
extern const char kLegacyLanguageFile[]; // "C:\ks.ini", mapped by the run-time

// Panels of the UI resource.
enum {
    PNL_ABOUT = 1,
    PNL_PORT_FAILED = 2,
    PNL_PORT = 3,
    PNL_QUIT = 4,
    PNL_COPY_FAILED = 5,
    PNL_LANGUAGE_FAILED = 6,
    PNL_LANGUAGE = 7,
    PNL_NOTHING_TO_SAVE = 8,
    PNL_MAIN = 9,
    PNL_README_MISSING = 10,
    PNL_README = 11,
    PNL_RECORD_TIMEOUT = 12,
    PNL_SAVE_BEFORE_QUIT = 13,
    PNL_BAD_TESTCODE = 14,
};
// Controls of the main panel.
enum {
    MAIN_INFO = 2,   // text box: an empty line, then the six information lines
    MAIN_TCOMP = 3,  // ring, by index
    MAIN_INVEH = 4,  // ring, by index
    MAIN_SETPNT = 5, // number display
    MAIN_SYSTEM = 6, // ring, by index
    MAIN_DATE = 7,
    MAIN_ENTRY = 8,  // operator entry
    MAIN_TCODE = 9,  // test code, typed or received
    MAIN_BVOLT = 10, // number display
    MAIN_SOC = 11,   // ring, by index; one item has the value -1
    MAIN_BRSLT = 12, // ring, by value
    MAIN_NOTES = 13, // text box
    MAIN_CENTRE1 = 14,
    MAIN_CENTRE2 = 15,
    MAIN_LOGO1 = 16,
    MAIN_LOGO2 = 17,
    MAIN_LOGO3 = 18,
};
// Popups are closed (or answered) by their control 2.
enum { NOTICE_OK = 2 };
enum {
    KS_INFO_BOX_LINES = 7,  // text box 2: the empty first line and six information lines
    KS_NOTES_BOX_LINES = 4, // text box 13
};

// ---- Globals -----------------------------------------------------------------------------------

extern HostConfigRecord HostConfig;
extern TestRecord DataInput;    // the record being received or decoded
extern TestRecord NewDataInput; // the last completed record, used by the log and the save
extern int panelHandle;         // the main panel
extern int MessagePanel;        // the notice popup currently shown
extern int temppanel, tempctrl; // panel and control of the last event while a popup waits
extern int SavePanelHandle;     // the save-before-quit popup
extern FILE *file;              // the settings or readme file while it is read or written
extern int Size;                // size returned by GetFileInfo
extern char langFilePath[KS_PATH_WIDTH];
extern char readmeFilePath[KS_PATH_WIDTH];
extern int commStatus; // 1 open requested, 0 open, negative failed or closed
extern int Save2Log;   // 1 while the shown record is not yet in the results log

// ---- Start-up ----------------------------------------------------------------------------------

// Hands the run-time the application's callback table (call before InitRuntime).
void KsRegisterCallbacks(void);
// Start-up up to the event loop: initialise the run-time, read or create the settings, establish
// the language, load, localize, lay out and show the main panel, fill the information lines.
// Returns 0 when the main panel is up; -1 when the run-time cannot be initialised, no language can
// be established at first start, or no main panel can be loaded.
int KsStartup(char **argv);
// The whole program: callback table, start-up, event loop. Returns main's result.
int KsReadMain(char **argv);
// Puts every global of the application back to its start value and discards its panels, so a
// process can run the start-up again (the tests do).
void KsResetState(void);

// ---- Settings file -----------------------------------------------------------------------------

// Writes the 940 bytes of HostConfig to "ks.ini" in the current directory: first to a temporary
// file beside it, then renamed over it, so the file is never left with a wrong size.
// Returns 0, or -1 when the file could not be written (the old file is then unchanged).
int KsWriteSettings(void);
// Reads "ks.ini" into HostConfig when it exists with exactly 940 bytes. Returns 1 when read,
// 0 when absent, of another size or unreadable (HostConfig is then unchanged).
int KsReadSettings(void);

// ---- Notices -----------------------------------------------------------------------------------

// Shows a notice panel of the resource as a modal popup (localized, else plain) and waits for its
// control 2. Returns 0 after the popup was answered, negative when the panel could not be loaded
// (nothing was shown).
int KsShowNotice(int panelId);

// A popup panel whose work is done stays loaded (MessagePanel keeps naming it) until the next
// one is done; then the earlier one is discarded. So at most one finished popup is kept, and a
// popup still waited on further up the call stack is never discarded under its caller.
void KsRetirePopup(int panel);

// ---- Reception, display, test codes ------------------------------------------------------------

int KSMainCB(int handle, int control, int event, void *callbackData, int eventData1,
             int eventData2);
// Shows DataInput on the main panel, refreshes the information lines of the settings and writes
// them.
void KsShowRecord(void);
void ClearData(void);
int TestcodeCD(int panel, int control, int event, void *callbackData, int eventData1,
               int eventData2);
void TCError(void);
// Start-up steps 12 to 15: centring and label layout of the main panel (also after a language
// change).
void KsLayoutMainPanel(void);
// Puts the caret of text box 2 after its last line and takes back the surplus line break.
void KsTrimInfoBox(void);
