// The test seam of the UI run-time: tests drive the real panels headless through it.
//
// Input posted here goes through the same gate as the operator's (a popup refuses input to the
// panels behind it) and through the same widgets where there is one, so a test sees what an
// operator would. Application code never includes this header.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/runtime.h"
#include "platform/io/testing_io.h"

// ---- Input ------------------------------------------------------------------------------------

// Commits a control as its natural action would (a click on a button, Enter in a string, a
// selection in a ring). 0, RT_ERR_INPUT_REFUSED when a popup blocks the panel or the control
// takes no input (indicator mode, dimmed), or a handle error.
int RT_TestCommit(int panel, int control);
// Chooses a menu item (or a menu without items). 0, RT_ERR_INPUT_REFUSED or a handle error.
int RT_TestCommitMenuItem(int menuBar, int itemId);
// Types into a string, numeric or text box as key presses at the caret: '\n' is Enter, '\b'
// is Backspace. 0, RT_ERR_INPUT_REFUSED, RT_ERR_CLASS_MISMATCH or a handle error.
int RT_TestTypeText(int panel, int control, const char *text);
// Types as the window system delivers the operator's keys: to whatever widget has the keyboard
// focus when this runs (post it with RT_TestPost to type while the program is busy). 0,
// RT_ERR_NO_ACTIVE_CONTROL when nothing has the focus, or RT_ERR_NULL_POINTER.
int RT_TestTypeAtFocus(const char *text);
// Chooses item `index` of a ring or list box as the operator would.
int RT_TestSelectIndex(int panel, int control, int index);
// Clicks the window's close box. 0, RT_ERR_INPUT_REFUSED or a handle error.
int RT_TestClosePanel(int panel);
// A double click with the right mouse button on a control.
int RT_TestRightDoubleClick(int panel, int control);
// Runs `action` inside the event loop after `delayMs` (for input that must arrive while the
// program waits in GetUserEvent, a popup or RunUserInterface).
void RT_TestPost(std::function<void()> action, int delayMs = 0);

// ---- Scripted answers --------------------------------------------------------------------------

// One step of an answer to a popup: set a control's value, then (commit) commit a control.
struct RT_TestPopupStep {
    enum Kind { SET_INT, SET_DOUBLE, SET_STRING, COMMIT } kind;
    int control;
    int intValue = 0;
    double doubleValue = 0;
    std::string text;
};
// The next time a panel of `resourceId` is installed as a popup, the steps run (in the event
// loop, as the operator would act). Answers are used once, in the order given.
void RT_TestAnswerPopup(int resourceId, std::vector<RT_TestPopupStep> steps);
// The next file dialog is answered with `path` without being shown (nullptr: cancelled).
void RT_TestAnswerFileDialog(const char *path);
// The title and type list of the last file dialog asked for (shown or answered as above).
struct RT_TestFileDialogCall {
    std::string title;
    std::string fileTypes;
};
RT_TestFileDialogCall RT_TestLastFileDialog(void);
// The next print dialog is answered without being shown: accepted (the page goes into pdfPath,
// or into the printer output below when pdfPath is null) or cancelled; an accepting operator may
// change one print attribute in it (attribute 0: none), which GetPrintAttribute then reports.
void RT_TestAnswerPrintDialog(int accept, const char *pdfPath, int attribute = 0, int value = 0);
// From now on, printing to the printer goes into this PDF instead (nullptr: the real printer).
void RT_TestSetPrinterOutput(const char *pdfPath);
void RT_TestClearAnswers(void);

// ---- Reading state ------------------------------------------------------------------------------

struct RT_TestPanelState {
    bool exists = false;
    bool displayed = false;     // the run-time considers it shown
    bool windowVisible = false; // its Qt window is visible
    bool modal = false;
    int popupLevel = 0; // 1 = bottom of the popup stack, 0 = not a popup
    int resourceId = 0;
    int parent = 0;
    int activeControl = 0;
    std::string title; // the window's title as shown
};
RT_TestPanelState RT_TestGetPanelState(int panel);
int RT_TestPopupDepth(void);
// The text a control's widget shows now (value, selected item, switch text, button face; for a
// picture the size of its image as "WxH", empty when it shows none).
std::string RT_TestWidgetText(int panel, int control);
// Number of RT_Beep calls since start.
int RT_TestBeepCount(void);
// How often the idle-event timer has woken the event loop since start (delivered or not).
long RT_TestIdleWakeups(void);
// Saves the panel's window as it is on screen (its widgets, grabbed) to an image file.
// 0, RT_ERR_INVALID_PANEL or RT_ERR_IO.
int RT_TestSavePanelImage(int panel, const char *path);
// Deletes widgets of discarded panels now (the run-time defers it while events are delivered).
void RT_TestFlushDeletes(void);

// ---- Environment --------------------------------------------------------------------------------

// The decimal separator system attribute 1452 reports (0 restores the system's).
void RT_TestSetDecimalSeparator(char separator);
// The name RT_GetSystemLanguageName reports (nullptr or "" restores the system's).
void RT_TestSetSystemLanguageName(const char *name);
